// The save-and-copy command in-process with the real download, file write and
// clipboard behind it: only the dialog's answer is given by the test, and the
// message box is recorded instead of shown.
#pragma once

#include <string>
#include <vector>

#include "export/save_and_copy.h"

class RealExportServices : public ExportServices {
 public:
  // `url` is fetched for both downloads; `fileName` is what the dialog confirms.
  RealExportServices(const std::string& url, const std::string& fileName) : url_(url), fileName_(fileName) {}

  bool OpenDialog() override { return true; }
  Text DialogFileName() override;
  ByteSet DownloadList(DownloadOutcome* outcome) override;
  bool WriteListFile(const char* path, const ByteSetData* bytes, DWORD* error) override;
  bool PutOnClipboard(const char* text) override;
  void ShowError(const char* text) override { messages.push_back(text); }

  std::vector<std::string> messages;

 private:
  std::string url_, fileName_;
};

// The clipboard's CF_TEXT, or "(none)" when it holds no text.
std::string ClipboardNow();

// The file's bytes, or "(missing)" when it cannot be read.
std::string FileNow(const std::string& path);

// The names in `folder`, "." and ".." left out.
std::vector<std::string> FilesIn(const std::string& folder);
