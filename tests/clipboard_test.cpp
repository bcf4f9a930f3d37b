#include "export/clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/driver.h"

namespace {

constexpr char kHoldFlag[] = "--hold-clipboard";
constexpr char kHeldEvent[] = "varnook-clipboard-test-held";
constexpr char kReleaseEvent[] = "varnook-clipboard-test-release";

// Started again as a child with kHoldFlag, this program plays the other
// program that keeps the clipboard open; it never reaches the tests.
struct ClipboardHolder {
  ClipboardHolder() {
    if (!strstr(GetCommandLineA(), kHoldFlag)) return;
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHeldEvent);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kReleaseEvent);
    // Held through a window: a holder without one would not keep out another
    // opener without one under Wine.
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!held || !release || !window || !OpenClipboard(window)) ExitProcess(1);
    SetEvent(held);
    WaitForSingleObject(release, 60000);
    CloseClipboard();
    ExitProcess(0);
  }
} holder;

bool ClipboardText(std::string* text) {
  if (!IsClipboardFormatAvailable(CF_TEXT)) return false;
  return ReadClipboardText(text);
}

TEST(SetClipboardText, PutsTheTextAsCfText) {
  // "列表" as GBK bytes, handed on unchanged.
  const char* texts[] = {"udp://tracker.example:1337/announce\r\n", "", "\xc1\xd0\xb1\xed"};
  for (const char* text : texts) {
    ASSERT_TRUE(PutClipboardText("something else"));
    EXPECT_TRUE(SetClipboardText(text)) << text;
    std::string got = "unread";
    EXPECT_TRUE(ClipboardText(&got)) << text;
    EXPECT_EQ(got, text);
  }
  EXPECT_TRUE(SetClipboardText(nullptr));
  std::string got = "unread";
  EXPECT_TRUE(ClipboardText(&got));
  EXPECT_EQ(got, "");
}

TEST(SetClipboardText, ClipboardHeldByAnotherProgram) {
  ASSERT_TRUE(PutClipboardText("before"));
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, kHeldEvent);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
  ASSERT_TRUE(held && release);

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = "\"" + std::string(exe) + "\" " + kHoldFlag;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &child));
  HANDLE waits[] = {held, child.hProcess};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0) << "holder did not start";

  EXPECT_FALSE(SetClipboardText("after"));

  SetEvent(release);
  WaitForSingleObject(child.hProcess, 30000);
  DWORD code = 1;
  GetExitCodeProcess(child.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  CloseHandle(held);
  CloseHandle(release);

  std::string got;
  EXPECT_TRUE(ClipboardText(&got));
  EXPECT_EQ(got, "before");
}

}  // namespace
