// Driving varnook.exe from a test: start it, find its windows, look at them
// with the ordinary Win32 calls, send input, read the clipboard.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// GBK texts the tests look for.
extern const char kMainTitle[];   // "varnook-自动获取"
extern const char kButtonText[];  // "保存并复制到粘贴板"
extern const char kLabelText[];   // "数据来源自GitHub开源项目"

// The program under test (VARNOOK_EXE), as a Windows path.
std::string ProgramPath();
// A fresh folder under the test run's state folder, for a test's own files.
std::string MakeTempFolder(const std::string& name);

// Polls `done` every 20 ms until it holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// One started copy of the program; terminated if still running at the end.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts `exe` (default: ProgramPath()) in `folder` (default: the test's own)
  // and waits for its main window to be shown.
  bool Start(const std::string& exe = "", const std::string& folder = "",
             const std::string& extraEnv = "");
  // Starts the process only, for tests that expect no main window.
  bool Launch(const std::string& exe = "", const std::string& folder = "",
              const std::string& extraEnv = "");
  HWND Window() const { return window_; }
  DWORD ProcessId() const { return info_.dwProcessId; }
  HANDLE Process() const { return info_.hProcess; }
  // Waits for the process to end; its exit code, or STILL_ACTIVE on time-out.
  DWORD WaitExit(DWORD timeoutMs = 10000);
  void Kill();

 private:
  PROCESS_INFORMATION info_{};
  HWND window_ = nullptr;
};

// The first visible top-level window of `pid` with this class ("" = any) and
// this caption prefix ("" = any), or nullptr.
HWND FindTopWindow(DWORD pid, const std::string& className, const std::string& title = "");
HWND WaitForTopWindow(DWORD pid, const std::string& className, const std::string& title = "",
                      DWORD timeoutMs = 10000);
// Direct children of `parent` in z-order (top first).
std::vector<HWND> ChildrenInZOrder(HWND parent);
HWND FindChildByText(HWND parent, const std::string& text);
std::string ClassNameOf(HWND hwnd);
std::string TextOf(HWND hwnd);
// The rectangle of `child` in its parent's client coordinates.
RECT PlaceInParent(HWND child);
// The window that has the keyboard focus in `hwnd`'s thread.
HWND FocusOf(HWND hwnd);

// Input through SendInput, as a user would give it.
void BringToFront(HWND hwnd);
void ClickAt(HWND hwnd, int x, int y);  // client coordinates of hwnd
void ClickCenter(HWND hwnd);
void PressKey(WORD vk, bool shift = false, bool ctrl = false, bool alt = false);

// The clipboard's CF_TEXT, or nullptr-like "absent" flag.
bool ReadClipboardText(std::string* text);
bool PutClipboardText(const std::string& text);
