// The main window as a user meets it: started as a separate process and
// looked at with the ordinary Win32 calls. (Wine answers no cross-process
// WM_GETFONT or WM_GETICON; main_window_test checks those in-process.)
#include <gtest/gtest.h>

#include "app/layout.h"
#include "driver/driver.h"
#include "driver/servers.h"

namespace {

const char kBadWindowData[] =  // "载入窗口模板数据段出错!"
    "\xd4\xd8\xc8\xeb\xb4\xb0\xbf\xda\xc4\xa3\xb0\xe5\xca\xfd\xbe\xdd\xb6\xce\xb3\xf6\xb4\xed!";
const char kStartupWindowFailed[] =  // "载入启动窗口失败"
    "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(program.Start()) << "no main window appeared"; }
  HWND Control(int index) { return ChildrenInZOrder(program.Window()).at(index); }
  Program program;
};

TEST_F(MainWindow, IsCentredWithItsExactOuterSizeAndStyles) {
  HWND w = program.Window();
  EXPECT_EQ(TextOf(w), kMainTitle);
  RECT rc;
  GetWindowRect(w, &rc);
  EXPECT_EQ(rc.right - rc.left, 661);
  EXPECT_EQ(rc.bottom - rc.top, 595);

  // The screens the sandbox runs this test on, and where the window must land.
  struct Screen {
    int w, h, x, y;
  } screens[] = {{1024, 768, 181, 86}, {800, 600, 69, 2}, {640, 480, -10, -57}};
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  const Screen* screen = nullptr;
  for (const auto& s : screens)
    if (s.w == sw && s.h == sh) screen = &s;
  ASSERT_NE(screen, nullptr) << "unexpected screen " << sw << "x" << sh;
  EXPECT_EQ(rc.left, screen->x);
  EXPECT_EQ(rc.top, screen->y);

  DWORD style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
  for (DWORD bit : {DWORD{WS_CAPTION}, DWORD{WS_SYSMENU}, DWORD{WS_MINIMIZEBOX}, DWORD{WS_CLIPCHILDREN}}) EXPECT_EQ(style & bit, bit) << bit;
  for (DWORD bit : {DWORD{WS_THICKFRAME}, DWORD{WS_MAXIMIZEBOX}, DWORD{WS_CHILD}, DWORD{WS_POPUP}}) EXPECT_EQ(style & bit, 0u) << bit;
  EXPECT_EQ(GetWindowLongA(w, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
  EXPECT_EQ(GetWindow(w, GW_OWNER), nullptr);
  DWORD classStyle = static_cast<DWORD>(GetClassLongPtrA(w, GCL_STYLE));
  EXPECT_EQ(classStyle, static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
  EXPECT_EQ(GetClassLongPtrA(w, GCLP_HBRBACKGROUND), 0u);
}

TEST_F(MainWindow, ControlsAreStackedInListOrderAtTheirPlaces) {
  struct Want {
    const char* className;
    RECT place;
    bool visible, tabStop;
  } want[] = {
      {"VarnookLabel", {466, 468, 618, 492}, true, false},
      {"VarnookPictureBox", {448, 288, 624, 464}, true, false},
      {"VarnookCommonDialog", {400, 16, 472, 80}, false, false},
      {"Button", {149, 529, 469, 561}, true, true},
      {"VarnookHtmlViewer", {-2, -2, 654, 520}, true, true},
  };
  std::vector<HWND> children = ChildrenInZOrder(program.Window());
  ASSERT_EQ(children.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    HWND c = children[i];
    EXPECT_STRCASEEQ(ClassNameOf(c).c_str(), want[i].className) << i;
    RECT rc = PlaceInParent(c);
    EXPECT_EQ(rc.left, want[i].place.left) << i;
    EXPECT_EQ(rc.top, want[i].place.top) << i;
    EXPECT_EQ(rc.right, want[i].place.right) << i;
    EXPECT_EQ(rc.bottom, want[i].place.bottom) << i;
    EXPECT_EQ(IsWindowVisible(c) != FALSE, want[i].visible) << i;
    LONG style = GetWindowLongA(c, GWL_STYLE);
    EXPECT_EQ((style & WS_TABSTOP) != 0, want[i].tabStop) << i;
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS), WS_CHILD | WS_CLIPSIBLINGS) << i;
  }
  EXPECT_EQ(TextOf(children[0]), kLabelText);
  EXPECT_EQ(TextOf(children[3]), kButtonText);
  LONG button = GetWindowLongA(children[3], GWL_STYLE);
  EXPECT_EQ(button & 0x0F, BS_PUSHBUTTON);  // not a default button: Enter clicks nothing
  EXPECT_EQ(button & (BS_CENTER | BS_VCENTER | BS_MULTILINE), BS_CENTER | BS_VCENTER | BS_MULTILINE);
}

TEST_F(MainWindow, LabelAndPictureArePaintedOverThePanel) {
  // Sample the screen where the label's text cannot reach (its right end) and
  // where the picture lies: neither may show the panel's white.
  BringToFront(program.Window());
  Sleep(300);
  HDC screen = GetDC(nullptr);
  POINT label{610, 470}, picture{536, 376};
  ClientToScreen(program.Window(), &label);
  ClientToScreen(program.Window(), &picture);
  COLORREF labelPixel = GetPixel(screen, label.x, label.y);
  COLORREF picturePixel = GetPixel(screen, picture.x, picture.y);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(labelPixel, GetSysColor(COLOR_BTNFACE));
  EXPECT_NE(picturePixel, RGB(255, 255, 255));
}

TEST_F(MainWindow, FocusStartsInThePanelAndTabMovesBetweenPanelAndButton) {
  HWND panel = Control(4), button = Control(3);
  BringToFront(program.Window());
  auto focusIn = [&](HWND c) {
    return WaitUntil([&] {
      HWND f = FocusOf(program.Window());
      return f == c || IsChild(c, f);
    }, 3000);
  };
  EXPECT_TRUE(focusIn(panel));
  PressKey(VK_TAB);
  EXPECT_TRUE(focusIn(button));
  PressKey(VK_TAB);
  EXPECT_TRUE(focusIn(panel));
  PressKey(VK_TAB);
  ASSERT_TRUE(focusIn(button));
  PressKey(VK_TAB, /*shift=*/true);  // the order has two stops: back is the panel too
  EXPECT_TRUE(focusIn(panel));
  PressKey(VK_ESCAPE, /*shift=*/true);  // Shift+Esc closes nothing
  Sleep(300);
  EXPECT_TRUE(IsWindow(program.Window()));
}

TEST_F(MainWindow, GetsTheFocusBackWhereItWasAfterAnotherWindowWasActive) {
  HWND button = Control(3);
  BringToFront(program.Window());
  PressKey(VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(program.Window()) == button; }, 3000));
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
  BringToFront(other);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }, 3000));
  BringToFront(program.Window());
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(program.Window()) == button; }, 3000));
  DestroyWindow(other);
}

TEST_F(MainWindow, LetsWindowsEndTheSessionWithoutAsking) {
  EXPECT_EQ(SendMessageA(program.Window(), WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_TRUE(IsWindow(program.Window()));
}

TEST_F(MainWindow, CannotBeMaximisedButCanBeMinimisedAndRestored) {
  HWND w = program.Window();
  SendMessageA(w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  SendMessageA(w, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  RECT rc;
  GetWindowRect(w, &rc);
  EXPECT_EQ(rc.right - rc.left, 661);
  EXPECT_FALSE(IsZoomed(w));
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(w) != FALSE; }, 3000));
  ShowWindow(w, SW_RESTORE);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(w); }, 3000));
}

TEST(MainWindowClose, EveryWayOfClosingEndsWithExitCodeZero) {
  enum How { kEsc, kEscOnButton, kAltF4, kCloseBox, kSystemMenu };
  for (How how : {kEsc, kEscOnButton, kAltF4, kCloseBox, kSystemMenu}) {
    Program program;
    ASSERT_TRUE(program.Start()) << how;
    HWND w = program.Window();
    BringToFront(w);
    switch (how) {
      case kEsc: PressKey(VK_ESCAPE); break;
      case kEscOnButton:
        PressKey(VK_TAB);
        Sleep(200);
        PressKey(VK_ESCAPE);
        break;
      case kAltF4: PressKey(VK_F4, false, false, /*alt=*/true); break;
      case kCloseBox: PostMessageA(w, WM_CLOSE, 0, 0); break;
      case kSystemMenu: PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
    EXPECT_EQ(program.WaitExit(), 0u) << how;
  }
}

TEST(MainWindowClose, TwoCopiesRunSideBySide) {
  Program a, b;
  ASSERT_TRUE(a.Start());
  ASSERT_TRUE(b.Start());
  EXPECT_NE(a.Window(), b.Window());
  PostMessageA(a.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(a.WaitExit(), 0u);
  EXPECT_TRUE(IsWindowVisible(b.Window()));
  PostMessageA(b.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(b.WaitExit(), 0u);
}

// A copy of the program whose window description is replaced by `data`.
std::string ProgramWithWindowData(const std::string& name, const std::string& data) {
  std::string exe = MakeTempFolder(name) + "\\varnook.exe";
  if (!CopyFileA(ProgramPath().c_str(), exe.c_str(), FALSE)) return "";
  HANDLE update = BeginUpdateResourceA(exe.c_str(), FALSE);
  if (!update) return "";
  BOOL ok = UpdateResourceA(update, MAKEINTRESOURCEA(10), "WINDOWDATA", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                            data.empty() ? nullptr : const_cast<char*>(data.data()),
                            static_cast<DWORD>(data.size()));
  return EndUpdateResourceA(update, !ok) && ok ? exe : "";
}

std::string StoredWindowData() { return ReadWholeFile(VARNOOK_RES_DIR "/main_window.dat"); }

TEST(FatalStart, DamagedOrMissingWindowsShowTheBoxAndEndWithMinusOne) {
  std::string stored = StoredWindowData();
  ASSERT_GT(stored.size(), 100u);
  std::string otherWindow = stored;
  otherWindow[9] = 2;  // the one window's identifier is no longer the start-up window's
  std::string badType = stored;
  badType[8] = 9;
  struct Case {
    const char* name;
    std::string data;
    const char* message;
  } cases[] = {
      {"truncated", stored.substr(0, stored.size() / 2), kBadWindowData},
      {"badtype", badType, kBadWindowData},
      {"nowindow", otherWindow, kStartupWindowFailed},
  };
  for (const auto& c : cases) {
    std::string exe = ProgramWithWindowData(c.name, c.data);
    ASSERT_FALSE(exe.empty()) << c.name;
    Program program;
    ASSERT_TRUE(program.Launch(exe)) << c.name;
    HWND box = WaitForTopWindow(program.ProcessId(), "#32770");
    ASSERT_NE(box, nullptr) << c.name;
    EXPECT_EQ(TextOf(box), "\xb4\xed\xce\xf3") << c.name;  // "错误"
    std::string want = std::string("\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n") +
                       "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba" + c.message + "\r\n";
    bool found = false;
    for (HWND child : ChildrenInZOrder(box)) found |= TextOf(child) == want;
    EXPECT_TRUE(found) << c.name;
    EXPECT_EQ(FindTopWindow(program.ProcessId(), "VarnookMainWindow"), nullptr) << c.name;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program.WaitExit(), static_cast<DWORD>(-1)) << c.name;
  }
}

}  // namespace
