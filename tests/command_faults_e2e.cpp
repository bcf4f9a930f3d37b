// The command through the real window and its save dialog when the world
// does not cooperate: a full volume, a reserved device name, the clipboard
// held by another program. The old file and the clipboard keep what they had,
// no temporary file is left, and one box tells the user.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/clipboard_holder.h"
#include "driver/driver.h"
#include "driver/servers.h"
#include "real_export_services.h"

namespace {

constexpr int kNameCombo = 0x47C;  // cmb13 of the save dialog
constexpr int kNameEdit = 0x480;   // edt1
constexpr int kMessageText = 0xFFFF;
constexpr char kErrorCaption[] = "\xB4\xED\xCE\xF3";  // "错误"
// "无法复制到剪贴板"
constexpr char kClipboardBusy[] = "\xCE\xDE\xB7\xA8\xB8\xB4\xD6\xC6\xB5\xBD\xBC\xF4\xCC\xF9\xB0\xE5";
const std::string kOld = "old list\r\n";
const bool kHolderRole = RunClipboardHolderIfAsked();

HWND NameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kNameCombo)) {
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    return edit ? edit : combo;
  }
  return GetDlgItem(dialog, kNameEdit);
}

// A visible dialog of the program: the save dialog, or (saveDialog false) a box.
HWND FindDialog(DWORD pid, bool saveDialog) {
  struct Search {
    DWORD pid;
    bool saveDialog;
    HWND found;
  } search{pid, saveDialog, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s->pid || !IsWindowVisible(hwnd) || ClassNameOf(hwnd) != "#32770") return TRUE;
        if ((NameBox(hwnd) != nullptr) != s->saveDialog) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class CommandFaults : public testing::Test {
 protected:
  void SetUp() override {
    SetListBehaviour("");
    ClearRequests();
    ASSERT_TRUE(program.Start()) << "no main window";
    // The panel's own request first, so that the command's come after it.
    ASSERT_TRUE(WaitUntil([] { return !RequestsFor(kListPath).empty(); }, 20000));
    button = FindChildByText(program.Window(), kButtonText);
    ASSERT_NE(button, nullptr);
  }
  void TearDown() override { program.Kill(); }

  // Clicks the button, confirms `name` in the save dialog, and answers Yes
  // when the dialog asks whether to replace it.
  void SaveAs(const std::string& name) {
    BringToFront(program.Window());
    ClickCenter(button);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindDialog(program.ProcessId(), true)) != nullptr; }))
        << "no save dialog";
    SendMessageA(NameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    ASSERT_TRUE(WaitUntil([&] {
      HWND question = FindDialog(program.ProcessId(), false);
      if (question && GetWindow(question, GW_OWNER) == dialog) PostMessageA(question, WM_COMMAND, IDYES, 0);
      return !IsWindow(dialog);
    })) << "the dialog stayed open";
  }

  // The run's one box, owned by the main window; closed, its text returned.
  std::string TakeErrorBox() {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindDialog(program.ProcessId(), false)) != nullptr; }, 30000)) {
      ADD_FAILURE() << "no box";
      return "";
    }
    EXPECT_EQ(TextOf(box), kErrorCaption);
    EXPECT_EQ(GetWindow(box, GW_OWNER), program.Window());
    std::string text = TextOf(GetDlgItem(box, kMessageText));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    DWORD_PTR result;
    EXPECT_TRUE(SendMessageTimeoutA(program.Window(), WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result));
    EXPECT_EQ(FindDialog(program.ProcessId(), false), nullptr) << "a second box";
    return text;
  }

  Program program;
  HWND button = nullptr;
};

TEST_F(CommandFaults, FullVolume) {
  const char* full = getenv("VARNOOK_FULL_DIR");
  ASSERT_NE(full, nullptr);
  std::string folder = full, path = folder + "\\list.txt", filler = folder + "\\filler";
  ASSERT_TRUE(WriteWholeFile(path, kOld));
  HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char block[4096] = {};
  DWORD written = 0;
  while (WriteFile(file, block, sizeof block, &written, nullptr) && written == sizeof block) {
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  CloseHandle(file);
  ASSERT_TRUE(PutClipboardText("clipboard before"));

  SaveAs(folder + "\\list");
  std::string text = TakeErrorBox();
  EXPECT_NE(text.find(path), std::string::npos) << text;
  EXPECT_EQ(FileNow(path), kOld);
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"filler", "list.txt"}));
  EXPECT_EQ(ClipboardNow(), SampleList());
  DeleteFileA(filler.c_str());
  DeleteFileA(path.c_str());
}

TEST_F(CommandFaults, ReservedDeviceName) {
  std::string folder = MakeTempFolder("device");
  ASSERT_TRUE(PutClipboardText("clipboard before"));
  // The dialog takes the device for an existing file and asks to replace it.
  SaveAs(folder + "\\CON");
  std::string text = TakeErrorBox();
  EXPECT_NE(text.find(folder + "\\CON.txt"), std::string::npos) << text;
  EXPECT_TRUE(FilesIn(folder).empty());
  EXPECT_EQ(ClipboardNow(), SampleList());
}

TEST_F(CommandFaults, ClipboardHeldByAnotherProgram) {
  ASSERT_TRUE(PutClipboardText("clipboard before"));
  ClipboardHolder other;
  ASSERT_TRUE(other.Holding()) << "the holder did not start";

  std::string folder = MakeTempFolder("clip");
  SaveAs(folder + "\\list");
  std::string text = TakeErrorBox();
  EXPECT_NE(text.find(kClipboardBusy), std::string::npos) << text;
  // The file was saved all the same.
  EXPECT_EQ(FileNow(folder + "\\list.txt"), SampleList());

  EXPECT_EQ(other.Release(), 0u);
  EXPECT_EQ(ClipboardNow(), "clipboard before");
}

}  // namespace
