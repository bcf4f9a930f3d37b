// The browser panel as a user meets it in the real program: the list shown
// right after start, the error page, the keys, and closing mid-load.
//
// This machine's Wine has no HTML engine, so the panel holds the built-in
// text viewer, whose text WM_GETTEXT reads from outside the process.
#include <gtest/gtest.h>

#include <string>

#include "app/text_viewer_engine.h"
#include "driver/driver.h"
#include "driver/servers.h"
#include "export/download.h"

namespace {

// "无法显示该网页"
const char kCannotShow[] = "\xCE\xDE\xB7\xA8\xCF\xD4\xCA\xBE\xB8\xC3\xCD\xF8\xD2\xB3";

std::string ShownList(const std::string& bytes) {
  return TextForEdit(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

constexpr int kNameCombo = 0x47C;  // cmb13 of the save dialog
constexpr int kNameEdit = 0x480;   // edt1

// The save dialog's name box.
HWND NameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kNameCombo)) {
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    return edit ? edit : combo;
  }
  return GetDlgItem(dialog, kNameEdit);
}

std::string ClipboardText() {
  std::string text;
  return ReadClipboardText(&text) ? text : std::string();
}

// How many windows of `pid` are visible at the top level.
int VisibleTopWindows(DWORD pid) {
  struct Count {
    DWORD pid;
    int windows = 0;
  } count{pid};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* c = reinterpret_cast<Count*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == c->pid && IsWindowVisible(w)) ++c->windows;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.windows;
}

class PanelE2e : public testing::Test {
 protected:
  void TearDown() override {
    SetListBehaviour("");
    program.Kill();
  }

  void Start(const std::string& listBehaviour = "") {
    SetListBehaviour(listBehaviour);
    ClearRequests();
    ASSERT_TRUE(program.Start()) << "no main window";
    panel = FindWindowExA(program.Window(), nullptr, "VarnookHtmlViewer", nullptr);
    ASSERT_NE(panel, nullptr);
    viewer = GetWindow(panel, GW_CHILD);
    ASSERT_EQ(ClassNameOf(viewer), "VarnookTextViewer")
        << "without an HTML engine the built-in viewer shows the list";
    button = FindChildByText(program.Window(), kButtonText);
    ASSERT_NE(button, nullptr);
  }

  bool InPanel(HWND focus) const { return focus && IsChild(panel, focus); }

  Program program;
  HWND panel = nullptr, viewer = nullptr, button = nullptr;
};

TEST_F(PanelE2e, ShowsTheListRightAfterStartFetchedWithTheRequestRules) {
  Start();
  std::string want = ShownList(SampleList());
  ASSERT_TRUE(WaitUntil([&] { return TextOf(viewer) == want; }, 20000))
      << "shown: " << TextOf(viewer).substr(0, 200);

  auto requests = RequestsFor(kListPath);
  ASSERT_EQ(requests.size(), 1u) << "only the panel asks for the list at start";
  const LoggedRequest& r = requests[0];
  EXPECT_TRUE(r.tls);
  EXPECT_EQ(r.port, kHttpsPort);
  EXPECT_EQ(r.Header("Host"), "raw.githubusercontent.com");
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.version, "HTTP/1.0");
  EXPECT_EQ(r.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(r.Header("Accept"), "*/*");
}

TEST_F(PanelE2e, AFailingServerGivesTheErrorPageAndNoMessageBox) {
  Start(R"({"mode": "status", "status": 503})");
  ASSERT_TRUE(
      WaitUntil([&] { return TextOf(viewer).compare(0, sizeof kCannotShow - 1, kCannotShow) == 0; }, 20000))
      << "shown: " << TextOf(viewer).substr(0, 200);
  std::string page = TextOf(viewer);
  EXPECT_NE(page.find("503"), std::string::npos) << page;
  EXPECT_NE(page.find(kListUrl), std::string::npos) << page;
  EXPECT_EQ(VisibleTopWindows(program.ProcessId()), 1) << "only the main window may be shown";
  EXPECT_EQ(FindTopWindow(program.ProcessId(), "#32770"), nullptr);
}

// The command fetches the list twice on its own; the panel keeps what it
// showed although the server now serves something else.
TEST_F(PanelE2e, SaveAndCopyDoesNotReloadThePanel) {
  const std::string other = "udp://other.example:1337/announce\n";
  ASSERT_TRUE(WriteWholeFile(StatePath("other_list.txt"), other));
  Start(R"({"sequence": [{"mode": "ok"}, {"mode": "ok", "body_file": "other_list.txt"}]})");
  std::string shown = ShownList(SampleList());
  ASSERT_TRUE(WaitUntil([&] { return TextOf(viewer) == shown; }, 20000));
  ASSERT_TRUE(PutClipboardText("before"));

  BringToFront(program.Window());
  ClickCenter(button);
  HWND dialog = WaitForTopWindow(program.ProcessId(), "#32770");
  ASSERT_NE(dialog, nullptr) << "no save dialog";
  ASSERT_TRUE(WaitUntil([&] { return NameBox(dialog) != nullptr; }));
  std::string name = MakeTempFolder("panel") + "\\list";
  SendMessageA(NameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  ASSERT_TRUE(WaitUntil([&] { return ClipboardText() == other; }, 20000)) << "the command did not finish";

  EXPECT_EQ(RequestsFor(kListPath).size(), 3u) << "the panel's one request and the command's two";
  EXPECT_EQ(TextOf(viewer), shown);
}

TEST_F(PanelE2e, TabAndShiftTabMoveBetweenPanelAndButton) {
  Start();
  BringToFront(program.Window());
  ASSERT_TRUE(WaitUntil([&] { return InPanel(FocusOf(program.Window())); }))
      << "the focus starts in the panel";
  PressKey(VK_TAB);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(program.Window()) == button; }));
  PressKey(VK_TAB);
  EXPECT_TRUE(WaitUntil([&] { return InPanel(FocusOf(program.Window())); }));
  PressKey(VK_TAB, true);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(program.Window()) == button; }));
  PressKey(VK_TAB, true);
  EXPECT_TRUE(WaitUntil([&] { return InPanel(FocusOf(program.Window())); }));
}

TEST_F(PanelE2e, EscFromInsideThePanelClosesTheWindow) {
  Start();
  BringToFront(program.Window());
  ASSERT_TRUE(WaitUntil([&] { return InPanel(FocusOf(program.Window())); }));
  PressKey(VK_ESCAPE);
  EXPECT_EQ(program.WaitExit(10000), 0u);
}

// The list server holds the panel's request open ("hang"), so the window is
// closed while the panel's worker still waits for the body.
TEST_F(PanelE2e, ClosingWhileTheListLoadsEndsWithExitCodeZero) {
  Start(R"({"mode": "hang"})");
  ASSERT_TRUE(WaitUntil([] { return !RequestsFor(kListPath).empty(); }, 20000));
  ASSERT_EQ(TextOf(viewer), "") << "the load was meant to be still running";
  PostMessageA(program.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitExit(10000), 0u);
}

}  // namespace
