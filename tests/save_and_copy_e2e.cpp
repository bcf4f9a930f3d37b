// The button's command from end to end: the real program, its save dialog,
// the local list server, the file system and the clipboard.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/servers.h"

namespace {

using namespace std::string_literals;

constexpr int kNameCombo = 0x47C;  // cmb13
constexpr int kNameEdit = 0x480;   // edt1
constexpr int kMessageText = 0xFFFF;
constexpr char kErrorCaption[] = "\xB4\xED\xCE\xF3";  // "错误"
constexpr char kClipboardBefore[] = "clipboard before the run";

// The save dialog's name box, or null when `dialog` is no save dialog.
HWND NameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kNameCombo)) {
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    return edit ? edit : combo;
  }
  return GetDlgItem(dialog, kNameEdit);
}

struct DialogSearch {
  DWORD pid;
  bool saveDialog;
  HWND found = nullptr;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !IsWindowVisible(hwnd) || ClassNameOf(hwnd) != "#32770") return TRUE;
  if ((NameBox(hwnd) != nullptr) != search->saveDialog) return TRUE;
  search->found = hwnd;
  return FALSE;
}

// A visible "#32770" of the program: the save dialog or another box.
HWND FindDialog(DWORD pid, bool saveDialog) {
  DialogSearch search{pid, saveDialog};
  EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ClipboardText() {
  std::string text;
  return ReadClipboardText(&text) ? text : "(no text on the clipboard)";
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

RECT WindowRect(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  return rc;
}

// One started program whose list requests after the panel's own are served
// as the test says.
class SaveAndCopyE2e : public testing::Test {
 protected:
  void TearDown() override {
    SetListBehaviour("");
    program.Kill();
  }

  // `runs`: list.json entries, in order, for the requests after the panel's.
  void Start(const std::vector<std::string>& runs, const std::string& cwd = "") {
    std::string sequence = R"({"mode": "ok"})";  // the panel's own request
    for (const std::string& entry : runs) sequence += ", " + entry;
    SetListBehaviour(R"({"sequence": [)" + sequence + "]}");
    ClearRequests();
    ASSERT_TRUE(PutClipboardText(kClipboardBefore));
    ASSERT_TRUE(program.Start("", cwd)) << "no main window";
    ASSERT_TRUE(WaitUntil([] { return !RequestsFor(kListPath).empty(); }, 20000))
        << "the panel did not ask for the list";
    requestsBefore = RequestsFor(kListPath).size();
    button = FindChildByText(program.Window(), kButtonText);
    ASSERT_NE(button, nullptr);
  }

  // Body bytes the server serves from the state folder under `name`.
  static std::string BodyEntry(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteWholeFile(StatePath(name), bytes));
    return R"({"mode": "ok", "body_file": ")" + name + R"("})";
  }

  size_t RunRequests() const { return RequestsFor(kListPath).size() - requestsBefore; }

  HWND ClickButton() {
    BringToFront(program.Window());
    ClickCenter(button);
    return WaitForSaveDialog();
  }

  HWND WaitForSaveDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindDialog(program.ProcessId(), true)) != nullptr; });
    EXPECT_NE(dialog, nullptr) << "no save dialog";
    return dialog;
  }

  // Types `name` (unless empty: the name box as it is) and confirms; answers
  // Yes to the dialog's own question about replacing a file when it comes.
  void Confirm(HWND dialog, const std::string& name, bool expectReplaceQuestion = false) {
    if (!name.empty()) SendMessageA(NameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    if (expectReplaceQuestion) {
      HWND question = nullptr;
      ASSERT_TRUE(WaitUntil([&] {
        question = FindDialog(program.ProcessId(), false);
        return question && GetWindow(question, GW_OWNER) == dialog;
      })) << "the dialog did not ask about replacing the file";
      PostMessageA(question, WM_COMMAND, IDYES, 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
  }

  void Cancel(HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
  }

  // Waits for the run to end with the clipboard holding `text`.
  void WaitForClipboard(const std::string& text) {
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == text; }, 20000))
        << "clipboard: " << ClipboardText().substr(0, 80);
    WaitUntilIdle();
  }

  // Waits for the one error box of the run, checks how it is shown and
  // closes it; returns its text.
  std::string TakeErrorBox() {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindDialog(program.ProcessId(), false)) != nullptr; }, 20000);
    if (!box) {
      ADD_FAILURE() << "no error box";
      return "";
    }
    EXPECT_EQ(TextOf(box), kErrorCaption);
    EXPECT_EQ(GetWindow(box, GW_OWNER), program.Window());
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    std::string text = TextOf(GetDlgItem(box, kMessageText));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    WaitUntilIdle();
    EXPECT_EQ(FindDialog(program.ProcessId(), false), nullptr) << "a second box";
    return text;
  }

  // The GUI thread is back in a message loop once it answers.
  void WaitUntilIdle() {
    DWORD_PTR result;
    EXPECT_TRUE(SendMessageTimeoutA(program.Window(), WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result));
  }

  void ExpectNoErrorBox() {
    WaitUntilIdle();
    HWND box = FindDialog(program.ProcessId(), false);
    EXPECT_EQ(box, nullptr) << "unexpected box: " << TextOf(box) << ": "
                            << TextOf(GetDlgItem(box, kMessageText));
  }

  Program program;
  HWND button = nullptr;
  size_t requestsBefore = 0;
};

TEST_F(SaveAndCopyE2e, NewNameIsSavedWithTxtAndALaterRunOffersItAgain) {
  std::string second = "udp://second.example:1337/announce\n";
  Start({R"({"mode": "ok"})", R"({"mode": "ok"})", BodyEntry("second.txt", second)});
  std::string folder = MakeTempFolder("new");

  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(NameBox(dialog)), "");
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), program.Window());
  EXPECT_FALSE(IsWindowEnabled(program.Window())) << "the window takes input under the dialog";
  EXPECT_TRUE(WaitUntil(
      [&] {
        RECT d = WindowRect(dialog), w = WindowRect(program.Window());
        return abs((d.left + d.right) - (w.left + w.right)) <= 2 &&
               abs((d.top + d.bottom) - (w.top + w.bottom)) <= 2;
      },
      3000))
      << "the dialog is not centred over the window";
  Confirm(dialog, folder + "\\list");
  WaitForClipboard(SampleList());
  EXPECT_EQ(ReadWholeFile(folder + "\\list.txt"), SampleList());
  EXPECT_FALSE(FileExists(folder + "\\list"));
  EXPECT_EQ(RunRequests(), 2u);
  ExpectNoErrorBox();
  EXPECT_TRUE(IsWindowEnabled(program.Window()));
  EXPECT_EQ(FocusOf(program.Window()), button);

  // The next run offers the confirmed name; cancelling there writes nothing,
  // although the server now has a different list, and still copies.
  requestsBefore = RequestsFor(kListPath).size();
  dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  std::string offered = TextOf(NameBox(dialog));
  EXPECT_TRUE(offered == folder + "\\list" || offered == "list") << offered;
  Cancel(dialog);
  WaitForClipboard(second);
  EXPECT_EQ(ReadWholeFile(folder + "\\list.txt"), SampleList());
  EXPECT_EQ(RunRequests(), 2u);
  ExpectNoErrorBox();

  // Confirming the offered name as it stands writes the same file again.
  requestsBefore = RequestsFor(kListPath).size();
  dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, "");
  WaitForClipboard(second);
  EXPECT_EQ(ReadWholeFile(folder + "\\list.txt"), second);
  EXPECT_EQ(RunRequests(), 2u);
}

TEST_F(SaveAndCopyE2e, NameEndingInTxtInAnyCaseIsWrittenAsConfirmed) {
  Start({});
  std::string folder = MakeTempFolder("txt");
  ASSERT_TRUE(WriteWholeFile(folder + "\\list.txt", "old list"));

  // The dialog asks about list.txt, and list.txt is what gets replaced.
  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\list.txt", /*expectReplaceQuestion=*/true);
  WaitForClipboard(SampleList());
  EXPECT_EQ(ReadWholeFile(folder + "\\list.txt"), SampleList());
  EXPECT_FALSE(FileExists(folder + "\\list.txt.txt"));

  ASSERT_TRUE(PutClipboardText(kClipboardBefore));
  dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\upper.TXT");
  WaitForClipboard(SampleList());
  EXPECT_EQ(ReadWholeFile(folder + "\\upper.TXT"), SampleList());
  EXPECT_FALSE(FileExists(folder + "\\upper.TXT.txt"));
  ExpectNoErrorBox();
}

TEST_F(SaveAndCopyE2e, CancelOnTheFirstRunWritesNothingAndStillCopies) {
  std::string cwd = MakeTempFolder("cwd");
  Start({}, cwd);
  BringToFront(program.Window());
  PressKey(VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(program.Window()) == button; }, 3000));
  // Enter runs nothing: had it opened the dialog, the Space after it would
  // land in the dialog's name box.
  PressKey(VK_RETURN);
  PressKey(VK_SPACE);
  HWND dialog = WaitForSaveDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(NameBox(dialog)), "");
  Cancel(dialog);
  WaitForClipboard(SampleList());
  EXPECT_FALSE(FileExists(cwd + "\\.txt"));
  EXPECT_EQ(RunRequests(), 2u);
  ExpectNoErrorBox();
}

TEST_F(SaveAndCopyE2e, ZeroByteEndsTheClipboardTextButNotTheFile) {
  std::string list = "udp://a.example:1/announce\n\0udp://b.example:2/announce\n"s;
  std::string entry = BodyEntry("zero.txt", list);
  Start({entry, entry});
  std::string folder = MakeTempFolder("zero");
  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\list");
  WaitForClipboard("udp://a.example:1/announce\n");
  EXPECT_EQ(ReadWholeFile(folder + "\\list.txt"), list);
}

struct FirstFailure {
  const char* name;
  const char* entry;
  // A part of the reason the box must give, or null: a reset surfaces as a
  // broken-off transfer or as a network error, as the timing falls.
  const char* inText;
};

class FirstDownloadFails : public SaveAndCopyE2e, public testing::WithParamInterface<FirstFailure> {};

TEST_P(FirstDownloadFails, FileKeepsItsContentAndTheClipboardIsStillSet) {
  Start({GetParam().entry, R"({"mode": "ok"})"});
  std::string folder = MakeTempFolder(GetParam().name);
  std::string path = folder + "\\list.txt";
  ASSERT_TRUE(WriteWholeFile(path, "old list"));
  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\list");
  std::string text = TakeErrorBox();
  EXPECT_NE(text.find(path), std::string::npos) << text;
  if (GetParam().inText) {
    EXPECT_NE(text.find(GetParam().inText), std::string::npos) << text;
  }
  EXPECT_EQ(ReadWholeFile(path), "old list");
  EXPECT_EQ(ClipboardText(), SampleList());
  EXPECT_EQ(RunRequests(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirstDownloadFails,
    testing::Values(FirstFailure{"notfound", R"({"mode": "status", "status": 404})", "404"},
                    FirstFailure{"dropped", R"({"mode": "drop"})", nullptr}),
    [](const testing::TestParamInfo<FirstFailure>& info) { return std::string(info.param.name); });

TEST_F(SaveAndCopyE2e, FailedSecondDownloadLeavesTheClipboard) {
  Start({R"({"mode": "ok"})", R"({"mode": "status", "status": 500})"});
  std::string folder = MakeTempFolder("second");
  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\list");
  std::string text = TakeErrorBox();
  EXPECT_NE(text.find("500"), std::string::npos) << text;
  EXPECT_EQ(ClipboardText(), kClipboardBefore);
  EXPECT_EQ(ReadWholeFile(folder + "\\list.txt"), SampleList());
}

TEST_F(SaveAndCopyE2e, BothDownloadsFailingChangeNothingAndAreToldInOneBox) {
  Start({R"({"mode": "status", "status": 404})", R"({"mode": "status", "status": 503})"});
  std::string folder = MakeTempFolder("both");
  std::string path = folder + "\\list.txt";
  ASSERT_TRUE(WriteWholeFile(path, "old list"));
  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\list");
  std::string text = TakeErrorBox();
  EXPECT_NE(text.find("404"), std::string::npos) << text;
  EXPECT_NE(text.find("503"), std::string::npos) << text;
  EXPECT_EQ(ReadWholeFile(path), "old list");
  EXPECT_EQ(ClipboardText(), kClipboardBefore);
}

// The target cannot be replaced: the file stays, the box names it, the
// clipboard is still set.
class UnwritableTarget : public SaveAndCopyE2e {
 protected:
  void RunAgainst(const std::string& folder) {
    std::string path = folder + "\\list.txt";
    HWND dialog = ClickButton();
    ASSERT_NE(dialog, nullptr);
    Confirm(dialog, folder + "\\list");
    std::string text = TakeErrorBox();
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_EQ(ClipboardText(), SampleList());
  }
};

TEST_F(UnwritableTarget, ReadOnlyFile) {
  Start({});
  std::string folder = MakeTempFolder("readonly");
  std::string path = folder + "\\list.txt";
  ASSERT_TRUE(WriteWholeFile(path, "old list"));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  RunAgainst(folder);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadWholeFile(path), "old list");
}

TEST_F(UnwritableTarget, FileHeldOpenByAnotherProgram) {
  Start({});
  std::string folder = MakeTempFolder("held");
  std::string path = folder + "\\list.txt";
  ASSERT_TRUE(WriteWholeFile(path, "old list"));
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  RunAgainst(folder);
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(path), "old list");
}

TEST_F(SaveAndCopyE2e, ChineseNameInAChineseFolder) {
  Start({});
  std::string folder = MakeTempFolder("\xB2\xE2\xCA\xD4\xC4\xBF\xC2\xBC");  // "测试目录"
  std::string name = "\xC1\xD0\xB1\xED";                                    // "列表"
  HWND dialog = ClickButton();
  ASSERT_NE(dialog, nullptr);
  Confirm(dialog, folder + "\\" + name);
  WaitForClipboard(SampleList());
  EXPECT_EQ(ReadWholeFile(folder + "\\" + name + ".txt"), SampleList());
  ExpectNoErrorBox();
}

}  // namespace
