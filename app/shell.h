// The program's life cycle: start-up, the message loop, the normal end and
// the fatal-error box.
#pragma once

#include <windows.h>

#include <string>

using ExitRoutine = void (*)();

int ProgramStart();
// The exit code carried by the WM_QUIT that ended the loop.
int QuitCode();
void InitShell();
void AddExitRoutine(ExitRoutine routine);
void LoadStartupWindow(int windowId);
void RunMessageLoop();
void EndProgram(int exitCode);
// Shows the error box ("运行时出错!" with the code and message) and ends the
// process with exit code -1 without running the exit routines.
[[noreturn]] void FatalError(const char* message, int code);
// The caption of the program's error boxes, the fatal one and the command's: "错误".
extern const char kErrorCaption[];
// The box's text, built as the box shows it.
std::string FatalErrorText(const char* message, int code);

// The shell's heap, recorded at start-up (the process heap).
HANDLE ShellHeap();
// The program's main window, or nullptr before it exists / after it is gone.
HWND MainWindow();
// Tells the shell that a described window has been destroyed; posts WM_QUIT
// once none is left and the loop has been entered.
void NoteWindowClosed(int windowId);
void NoteWindowOpened(int windowId, HWND hwnd);
// Icons loaded at run time, destroyed when the program ends.
void KeepIcon(HICON icon);
