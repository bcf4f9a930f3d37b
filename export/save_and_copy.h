// The program's one command: save a fresh list to a file and put another
// fresh copy on the clipboard.
#pragma once

#include <windows.h>

#include "export/download.h"
#include "export/values.h"

// Run by a click on 按钮1.
void SaveAndCopy();

// What the command asks of the world. The program's own are the dialog of
// 通用对话框1, the list download, the file write, the clipboard and a message
// box over the main window; tests put theirs in its place.
class ExportServices {
 public:
  virtual ~ExportServices() = default;
  // True when the user confirmed a name.
  virtual bool OpenDialog() = 0;
  // The name confirmed last, or missing; the caller owns it.
  virtual Text DialogFileName() = 0;
  // One fresh download of the list; the caller owns the result.
  virtual ByteSet DownloadList(DownloadOutcome* outcome) = 0;
  // Never leaves the target damaged; on failure *error holds the reason.
  virtual bool WriteListFile(const char* path, const ByteSetData* bytes, DWORD* error) = 0;
  virtual bool PutOnClipboard(const char* text) = 0;
  virtual void ShowError(const char* text) = 0;
};

// The command's steps on `services`.
void RunSaveAndCopy(ExportServices& services);

// The file a confirmed name is saved to: the name itself when it already ends
// in ".txt" (any letter case), otherwise the name with ".txt" appended.
// Always allocated; the caller owns it.
Text SavePathFor(const char* chosenName);
