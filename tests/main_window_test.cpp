// The main window built in this process by the shell's own start-up steps,
// for what another process cannot see (fonts and icons are per process).
#include <gtest/gtest.h>

#include <cstring>

#include "app/main_window.h"
#include "app/shell.h"

namespace {

class MainWindowInProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Started from elsewhere, as from a shortcut with another working folder.
    SetCurrentDirectoryA("C:\\");
    InitShell();  // this test program carries the program's resources
    GetCurrentDirectoryA(MAX_PATH, folderAfterInit);
    LoadStartupWindow(kMainWindowId);
  }
  static char folderAfterInit[MAX_PATH];
  HWND Window() { return MainWindow(); }
};

char MainWindowInProcess::folderAfterInit[MAX_PATH];

TEST_F(MainWindowInProcess, TheProgramFolderIsTheCurrentFolderAfterStartUp) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  *strrchr(path, '\\') = '\0';
  EXPECT_STREQ(folderAfterInit, path);
}

TEST_F(MainWindowInProcess, WindowAndButtonUseTheDefaultGuiFontAndTheIconIsSet) {
  HWND w = Window();
  ASSERT_NE(w, nullptr);
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(w, WM_GETFONT, 0, 0)), font);
  HWND button = GetDlgItem(w, 104);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)), font);

  auto big = reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, ICON_BIG, 0));
  auto small = reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(big, nullptr);
  ASSERT_NE(small, nullptr);
  struct Want {
    HICON icon;
    LONG size;
  } wants[] = {{big, 32}, {small, 16}};
  for (const auto& want : wants) {
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(want.icon, &info));
    BITMAP bm{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, want.size);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

TEST_F(MainWindowInProcess, ClosingTheWindowPostsQuitWithZeroAfterTheLoopStarted) {
  HWND w = Window();
  ASSERT_NE(w, nullptr);
  PostMessageA(w, WM_CLOSE, 0, 0);
  RunMessageLoop();  // returns once the window is gone
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(MainWindow(), nullptr);
  EXPECT_EQ(QuitCode(), 0);
}

}  // namespace
