// Varnook: shows the public tracker list live and saves a fresh copy of it
// to a file and to the clipboard.
#include <windows.h>

#include "app/shell.h"
#include "export/download.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The program shows its own messages; no critical-error or open-file boxes.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  ProgramStart();
  CloseDownloads();
  EndProgram(0);
  ExitProcess(static_cast<UINT>(QuitCode()));
}
