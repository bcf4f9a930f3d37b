#include "app/shell.h"

#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/html_viewer.h"
#include "app/main_window.h"
#include "app/routines.h"
#include "app/window_data.h"

namespace {

// "运行时出错!\r\n\r\n"
const char kFatalHead[] = "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n";
// "错误代码："
const char kCodeLabel[] = "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba";
// "错误信息："
const char kMessageLabel[] = "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba";
// "载入窗口模板数据段出错!"
const char kBadWindowData[] = "\xd4\xd8\xc8\xeb\xb4\xb0\xbf\xda\xc4\xa3\xb0\xe5\xca\xfd\xbe\xdd\xb6\xce\xb3\xf6\xb4\xed!";
// "载入启动窗口失败"
const char kStartupWindowFailed[] = "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc";

// The window descriptions live in this resource (res/main_window.dat).
const char kWindowDataName[] = "WINDOWDATA";

struct OpenWindow {
  int id;
  HWND hwnd;
};

// Everything the shell holds for the program's run.
struct Shell {
  HANDLE heap = nullptr;
  bool oleInitialized = false;
  DWORD guiThread = 0;
  std::string programFolder, programFile;
  std::vector<WindowDesc> windows;
  std::vector<OpenWindow> open;
  std::vector<ExitRoutine> exitRoutines;
  std::vector<HICON> icons;
  bool loopEntered = false;
  int quitCode = 0;
};

Shell& TheShell() {
  static Shell shell;
  return shell;
}

// Reads the descriptions and binds each event's routine; false when the data
// is missing, damaged or names a routine the program does not have.
bool LoadWindowDescriptions(Shell& s) {
  HRSRC found = FindResourceA(nullptr, kWindowDataName, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  std::vector<WindowDesc> windows;
  if (!ReadWindowData(static_cast<const unsigned char*>(data), SizeofResource(nullptr, found), &windows))
    return false;
  for (auto& w : windows) {
    for (auto& c : w.controls) {
      for (auto& b : c.events) {
        if (b.routine.empty()) continue;
        b.bound = FindRoutine(b.routine);
        if (!b.bound) return false;
      }
    }
  }
  s.windows = std::move(windows);
  return true;
}

}  // namespace

// "错误"
const char kErrorCaption[] = "\xb4\xed\xce\xf3";

void OnProgramEnd() {}
void InitGlobals() {}

int ProgramStart() {
  InitShell();
  InitGlobals();
  AddExitRoutine(OnProgramEnd);
  LoadStartupWindow(kMainWindowId);
  RunMessageLoop();
  return 0;
}

void InitShell() {
  Shell& s = TheShell();
  s.heap = GetProcessHeap();
  if (!s.oleInitialized) {
    OleInitialize(nullptr);
    s.oleInitialized = true;
  }
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string full = path;
  size_t slash = full.rfind('\\');
  if (slash == std::string::npos) {
    s.programFolder.clear();
    s.programFile = full;
  } else {
    s.programFolder = full.substr(0, slash);
    s.programFile = full.substr(slash + 1);
  }
  SetCurrentDirectoryA(s.programFolder.c_str());
  s.guiThread = GetCurrentThreadId();
  if (!LoadWindowDescriptions(s)) FatalError(kBadWindowData, 0);
}

void AddExitRoutine(ExitRoutine routine) {
  auto& list = TheShell().exitRoutines;
  if (std::find(list.begin(), list.end(), routine) == list.end()) list.push_back(routine);
}

void LoadStartupWindow(int windowId) {
  Shell& s = TheShell();
  for (const auto& w : s.windows) {
    if (w.window.id != windowId) continue;
    if (CreateMainWindow(w)) return;
    break;
  }
  FatalError(kStartupWindowFailed, 0);
}

void RunMessageLoop() {
  Shell& s = TheShell();
  s.loopEntered = true;
  if (s.open.empty()) return;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // The browser gets the first look at its keys, then the window's own rules.
    if (HtmlViewerPreTranslate(&msg) || MainWindowPreTranslate(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  s.quitCode = static_cast<int>(msg.wParam);
}

int QuitCode() { return TheShell().quitCode; }

void EndProgram(int) {
  Shell& s = TheShell();
  s.windows.clear();
  std::vector<ExitRoutine> routines;
  routines.swap(s.exitRoutines);
  for (ExitRoutine r : routines) r();
  for (HICON icon : s.icons) DestroyIcon(icon);
  s.icons.clear();
  s.open.clear();
  if (s.oleInitialized) {
    OleUninitialize();
    s.oleInitialized = false;
  }
}

std::string FatalErrorText(const char* message, int code) {
  std::string text = kFatalHead;
  if (code != 0) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", code);
    text += kCodeLabel;
    text += number;
    text += "\r\n\r\n";
  }
  if (message && *message) {
    text += kMessageLabel;
    text += message;
    text += "\r\n";
  }
  return text;
}

void FatalError(const char* message, int code) {
  MessageBoxA(nullptr, FatalErrorText(message, code).c_str(), kErrorCaption, MB_ICONERROR | MB_OK);
  TheShell().exitRoutines.clear();
  EndProgram(-1);
  ExitProcess(static_cast<UINT>(-1));
}

HANDLE ShellHeap() {
  Shell& s = TheShell();
  return s.heap ? s.heap : GetProcessHeap();
}

HWND MainWindow() {
  for (const auto& w : TheShell().open)
    if (w.id == kMainWindowId) return w.hwnd;
  return nullptr;
}

void NoteWindowOpened(int windowId, HWND hwnd) { TheShell().open.push_back({windowId, hwnd}); }

void NoteWindowClosed(int windowId) {
  Shell& s = TheShell();
  auto it = std::find_if(s.open.begin(), s.open.end(), [&](const OpenWindow& w) { return w.id == windowId; });
  if (it == s.open.end()) return;
  s.open.erase(it);
  if (s.open.empty() && s.loopEntered) PostQuitMessage(0);
}

void KeepIcon(HICON icon) {
  if (icon) TheShell().icons.push_back(icon);
}
