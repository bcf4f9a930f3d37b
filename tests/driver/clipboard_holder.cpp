#include "driver/clipboard_holder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kHoldFlag[] = "--hold-clipboard=";

// Event names private to one parent process.
std::string EventName(const char* what, DWORD parent) {
  return "varnook-clipboard-" + std::string(what) + "-" + std::to_string(parent);
}

}  // namespace

bool RunClipboardHolderIfAsked() {
  const char* flag = std::strstr(GetCommandLineA(), kHoldFlag);
  if (!flag) return false;
  DWORD parent = std::strtoul(flag + sizeof kHoldFlag - 1, nullptr, 10);
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, EventName("held", parent).c_str());
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, EventName("release", parent).c_str());
  // Held through a window: under Wine a holder without one does not keep out
  // another opener without one.
  HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!held || !release || !window || !OpenClipboard(window)) ExitProcess(1);
  SetEvent(held);
  WaitForSingleObject(release, 120000);
  CloseClipboard();
  ExitProcess(0);
}

ClipboardHolder::ClipboardHolder() {
  DWORD self = GetCurrentProcessId();
  held_ = CreateEventA(nullptr, TRUE, FALSE, EventName("held", self).c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, EventName("release", self).c_str());
  if (!held_ || !release_) return;
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = "\"" + std::string(exe) + "\" " + kHoldFlag + std::to_string(self);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child_))
    return;
  HANDLE waits[] = {held_, child_.hProcess};
  holding_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
}

DWORD ClipboardHolder::Release() {
  DWORD code = STILL_ACTIVE;
  if (release_) SetEvent(release_);
  if (child_.hProcess) {
    WaitForSingleObject(child_.hProcess, 30000);
    GetExitCodeProcess(child_.hProcess, &code);
    CloseHandle(child_.hProcess);
    CloseHandle(child_.hThread);
    child_ = {};
  }
  holding_ = false;
  return code;
}

ClipboardHolder::~ClipboardHolder() {
  Release();
  if (held_) CloseHandle(held_);
  if (release_) CloseHandle(release_);
}
