#include "bench/launch.h"

#include <windows.h>

#include "bench/measure.h"

namespace {

constexpr DWORD kStartLimitMs = 20000;
constexpr DWORD kCloseLimitMs = 5000;

struct WindowSearch {
  DWORD pid;
  const char* className;
  HWND found;
};

bool HasClass(HWND hwnd, const char* className) {
  char name[64] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return lstrcmpA(name, className) == 0;
}

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !IsWindowVisible(hwnd) || !HasClass(hwnd, search->className)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  if (!HasClass(hwnd, search->className)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND FindTop(DWORD pid, const char* className) {
  WindowSearch search{pid, className, nullptr};
  EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindChild(HWND parent, const char* className) {
  WindowSearch search{0, className, nullptr};
  EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Asks for the length first, so that polling a partly filled panel stays cheap.
bool ShowsText(HWND panel, const std::string& text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(panel, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length)) return false;
  if (length != text.size()) return false;
  std::string shown(text.size() + 1, '\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(panel, WM_GETTEXT, shown.size(), reinterpret_cast<LPARAM>(&shown[0]),
                           SMTO_ABORTIFHUNG, 1000, &got))
    return false;
  shown.resize(got);
  return shown == text;
}

// Polls `done` every millisecond, for at most kStartLimitMs.
template <typename Done>
bool PollUntil(const Stopwatch& clock, Done done) {
  double limit = clock.Ms() + kStartLimitMs;
  while (!done()) {
    if (clock.Ms() > limit) return false;
    Sleep(1);
  }
  return true;
}

class StartedProcess {
 public:
  ~StartedProcess() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
      if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(info_.hProcess, kCloseLimitMs) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, kCloseLimitMs);
      }
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Start(const std::string& exe, const std::string& folder) {
    std::string command = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &info_) != FALSE;
  }
  HANDLE Process() const { return info_.hProcess; }
  DWORD Id() const { return info_.dwProcessId; }
  void SetWindow(HWND window) { window_ = window; }

 private:
  PROCESS_INFORMATION info_{};
  HWND window_ = nullptr;
};

}  // namespace

LaunchTimes TimeLaunch(const std::string& exe, const std::string& folder, const char* windowClass,
                       const char* panelClass, const std::string& panelText) {
  LaunchTimes times;
  StartedProcess program;
  Stopwatch clock;
  if (!program.Start(exe, folder)) return times;
  if (WaitForInputIdle(program.Process(), kStartLimitMs) != 0) return times;
  HWND window = nullptr;
  if (!PollUntil(clock, [&] { return (window = FindTop(program.Id(), windowClass)) != nullptr; }))
    return times;
  times.shownMs = clock.Ms();
  program.SetWindow(window);
  if (!panelClass) return times;

  HWND panel = nullptr;
  if (!PollUntil(clock, [&] {
        if (!panel) panel = FindChild(window, panelClass);
        return panel && ShowsText(panel, panelText);
      }))
    return times;
  times.textMs = clock.Ms();
  return times;
}
