// 通用对话框1: the file-dialog component behind the save-and-copy command.
// It has a window of its own (never shown) so that it sits in the main
// window's stacking order like the other controls; its state is `fileName`.
#pragma once

#include <windows.h>

#include <string>

#include "export/values.h"

// Values of CommonDialogSettings::kind.
constexpr int kOpenFileDialog = 0;
constexpr int kSaveFileDialog = 1;

struct CommonDialogSettings {
  int kind = kSaveFileDialog;
  std::string title;
  std::string fileName;
  std::string filter;
  int initialFilter = 0;
  std::string initialDirectory;
  std::string defaultExtension;
  bool promptToCreate = false;
  bool fileMustExist = true;
  bool overwritePrompt = true;
  bool pathMustExist = true;
  bool noChangeDirectory = false;
};

class CommonDialog {
 public:
  explicit CommonDialog(const CommonDialogSettings& settings) : settings_(settings) {}
  // Shows the dialog modally over the main window; true when a name was
  // confirmed, which then becomes FileName. Other kinds than the two file
  // dialogs show nothing and return false.
  bool Open();
  // A copy of the confirmed path, or missing when empty; the caller owns it.
  Text FileName() const;
  const CommonDialogSettings& Settings() const { return settings_; }

 private:
  CommonDialogSettings settings_;
};

// Creates the component's hidden window as a child of `parent`; the component
// lives as long as that window. Null when the window cannot be created.
HWND CreateCommonDialogControl(HWND parent, int id, const RECT& place, DWORD style,
                               const CommonDialogSettings& settings);
// The component of a window made by CreateCommonDialogControl, else null.
CommonDialog* CommonDialogFromWindow(HWND hwnd);
