#include "real_export_services.h"

#include <windows.h>

#include <algorithm>

#include "driver/driver.h"
#include "driver/servers.h"
#include "export/clipboard.h"
#include "export/download.h"
#include "export/file_write.h"

Text RealExportServices::DialogFileName() {
  return fileName_.empty() ? nullptr : JoinTexts({fileName_.c_str()});
}

ByteSet RealExportServices::DownloadList(DownloadOutcome* outcome) {
  return HttpReadFile(url_.c_str(), outcome);
}

bool RealExportServices::WriteListFile(const char* path, const ByteSetData* bytes, DWORD* error) {
  return WriteBytesToFile(path, {bytes}, error);
}

bool RealExportServices::PutOnClipboard(const char* text) { return SetClipboardText(text); }

std::string ClipboardNow() {
  std::string text;
  return IsClipboardFormatAvailable(CF_TEXT) && ReadClipboardText(&text) ? text : "(none)";
}

std::string FileNow(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return "(missing)";
  return ReadWholeFile(path);
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}
