#include "app/shell.h"

#include <gtest/gtest.h>

#include <thread>

#include "driver/driver.h"
#include "driver/servers.h"

TEST(FatalErrorText, HasTheCodeLineOnlyForANonZeroCode) {
  struct Case {
    const char* message;
    int code;
    const char* want;
  } cases[] = {
      // "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"
      {"\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc", 0,
       "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba"
       "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc\r\n"},
      // "运行时出错!\r\n\r\n错误代码：-5\r\n\r\n错误信息：x\r\n"
      {"x", -5,
       "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba-5\r\n\r\n"
       "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xbax\r\n"},
      // no message, no code: the head alone
      {"", 0, "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(FatalErrorText(c.message, c.code), c.want) << c.code;
}

namespace {
int runs[3];
void First() { ++runs[0]; }
void Second() { ++runs[1]; }
void MarkRan() { WriteWholeFile(StatePath("shell_test_exit_ran"), "ran"); }
}  // namespace

TEST(ExitRoutines, RunOnceInOrderOfRegistrationAndNeverTwice) {
  static std::string order;
  AddExitRoutine([] { order += "a"; });
  AddExitRoutine(First);
  AddExitRoutine(Second);
  AddExitRoutine(First);  // already listed: not added again
  EndProgram(0);
  EXPECT_EQ(runs[0], 1);
  EXPECT_EQ(runs[1], 1);
  EXPECT_EQ(order, "a");
  EndProgram(0);  // nothing left to do
  EXPECT_EQ(runs[0], 1);
  EXPECT_EQ(runs[1], 1);
}

TEST(FatalErrorDeathTest, ShowsTheBoxThenEndsWithMinusOneWithoutTheExitRoutines) {
  DeleteFileA(StatePath("shell_test_exit_ran").c_str());
  DeleteFileA(StatePath("shell_test_box").c_str());
  EXPECT_EXIT(
      {
        AddExitRoutine(MarkRan);
        // Another thread reads the box and dismisses it, as a user would.
        std::thread([] {
          HWND box = WaitForTopWindow(GetCurrentProcessId(), "#32770", "", 10000);
          std::string seen = TextOf(box) + "|";
          for (HWND c : ChildrenInZOrder(box)) seen += TextOf(c) + "|";
          WriteWholeFile(StatePath("shell_test_box"), seen);
          PostMessageA(box, WM_COMMAND, IDOK, 0);
        }).detach();
        FatalError("boom", 7);
      },
      ::testing::ExitedWithCode(-1), "");
  std::string box = ReadWholeFile(StatePath("shell_test_box"));
  EXPECT_NE(box.find("\xb4\xed\xce\xf3|"), std::string::npos) << box;  // caption "错误"
  EXPECT_NE(box.find(FatalErrorText("boom", 7)), std::string::npos) << box;
  EXPECT_EQ(ReadWholeFile(StatePath("shell_test_exit_ran")), "");
}
