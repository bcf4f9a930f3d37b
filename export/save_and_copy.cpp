#include "export/save_and_copy.h"

#include <string>

#include "app/main_window.h"
#include "app/shell.h"
#include "export/clipboard.h"
#include "export/common_dialog.h"
#include "export/download_error.h"
#include "export/file_write.h"

namespace {

constexpr char kTxtExtension[] = ".txt";
constexpr size_t kTxtLength = sizeof(kTxtExtension) - 1;
// "文件“" path "”未改动。"
constexpr char kFileBefore[] = "\xCE\xC4\xBC\xFE\xA1\xB0";
constexpr char kFileUnchanged[] = "\xA1\xB1\xCE\xB4\xB8\xC4\xB6\xAF\xA1\xA3";
// "无法写入文件“" path "”：" reason
constexpr char kCannotWriteBefore[] = "\xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB\xCE\xC4\xBC\xFE\xA1\xB0";
constexpr char kCannotWriteAfter[] = "\xA1\xB1\xA3\xBA";
// "剪贴板未改动。"
constexpr char kClipboardUnchanged[] = "\xBC\xF4\xCC\xF9\xB0\xE5\xCE\xB4\xB8\xC4\xB6\xAF\xA1\xA3";
// "无法复制到剪贴板：剪贴板可能正被其他程序占用。"
constexpr char kClipboardBusy[] =
    "\xCE\xDE\xB7\xA8\xB8\xB4\xD6\xC6\xB5\xBD\xBC\xF4\xCC\xF9\xB0\xE5\xA3\xBA"
    "\xBC\xF4\xCC\xF9\xB0\xE5\xBF\xC9\xC4\xDC\xD5\xFD\xB1\xBB\xC6\xE4\xCB\xFB"
    "\xB3\xCC\xD0\xF2\xD5\xBC\xD3\xC3\xA1\xA3";

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Failures are gathered so that one run shows at most one message box.
void AddSentence(std::string* report, const std::string& sentence) {
  if (!report->empty()) *report += "\r\n";
  *report += sentence;
}

// Says first what failed and why, then what was left alone.
std::string FileLeftAlone(const std::string& why, const char* path) {
  return why + kFileBefore + path + kFileUnchanged;
}

// Between the dialog and the end of the run the window handles no message;
// the wait cursor says so. Input given meanwhile is dropped rather than
// acted on afterwards, so a click on the frozen button starts nothing.
class BusyWindow {
 public:
  BusyWindow() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~BusyWindow() {
    // One look at the queue first: each PeekMessage costs a trip to the
    // window system, and usually there is nothing to drop.
    if (HIWORD(GetQueueStatus(QS_INPUT))) {
      MSG message;
      while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
      }
      while (PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
      }
      while (PeekMessageA(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
      }
    }
    SetCursor(previous_);
  }
  BusyWindow(const BusyWindow&) = delete;
  BusyWindow& operator=(const BusyWindow&) = delete;

 private:
  HCURSOR previous_;
};

// The first download, into the confirmed file. A failed download leaves the
// file as it was.
void SaveToFile(ExportServices& services, std::string* report) {
  TextValue chosenName(services.DialogFileName());
  TextValue path(SavePathFor(chosenName.get()));
  chosenName.reset();

  // The download is written as it came: a copy of it would cost a list's
  // worth of memory and time and change no byte.
  DownloadOutcome outcome;
  ByteSetValue fileBytes(services.DownloadList(&outcome));
  if (outcome.kind != DownloadOutcome::kOk) {
    AddSentence(report, FileLeftAlone(DescribeDownloadFailure(outcome), path.get()));
    return;
  }

  DWORD error = 0;
  if (!services.WriteListFile(path.get(), fileBytes ? fileBytes.get() : &EmptyByteSet, &error)) {
    AddSentence(report, kCannotWriteBefore + std::string(path.get()) + kCannotWriteAfter + ErrorText(error));
  }
  path.reset();
  fileBytes.reset();
}

// A second, separate download onto the clipboard. A failed download leaves
// the clipboard as it was.
void CopyToClipboard(ExportServices& services, std::string* report) {
  DownloadOutcome outcome;
  ByteSetValue secondDownload(services.DownloadList(&outcome));
  if (outcome.kind != DownloadOutcome::kOk) {
    AddSentence(report, DescribeDownloadFailure(outcome) + kClipboardUnchanged);
    return;
  }
  // The text takes over the download's storage rather than copying it.
  TextValue clipboardText(MoveToText(secondDownload.release()));

  if (!services.PutOnClipboard(clipboardText ? clipboardText.get() : EmptyText)) {
    AddSentence(report, kClipboardBusy);
  }
  clipboardText.reset();
}

// The program's own services: 通用对话框1 of the main window, the list URL,
// the real file, clipboard and message box.
class ProgramServices final : public ExportServices {
 public:
  ProgramServices() : dialog_(CommonDialogFromWindow(GetDlgItem(MainWindow(), kCommonDialogId))) {}

  bool OpenDialog() override { return dialog_ && dialog_->Open(); }
  Text DialogFileName() override { return dialog_ ? dialog_->FileName() : nullptr; }
  ByteSet DownloadList(DownloadOutcome* outcome) override { return HttpReadFile(kListUrl, outcome); }
  bool WriteListFile(const char* path, const ByteSetData* bytes, DWORD* error) override {
    return WriteBytesToFile(path, {bytes}, error);
  }
  bool PutOnClipboard(const char* text) override { return SetClipboardText(text); }
  void ShowError(const char* text) override {
    MessageBoxA(MainWindow(), text, kErrorCaption, MB_ICONWARNING | MB_OK);
  }

 private:
  CommonDialog* dialog_;
};

}  // namespace

Text SavePathFor(const char* chosenName) {
  size_t length = TextLength(chosenName);
  bool hasTxt = length >= kTxtLength;
  for (size_t i = 0; hasTxt && i < kTxtLength; ++i) {
    hasTxt = AsciiLower(chosenName[length - kTxtLength + i]) == kTxtExtension[i];
  }
  return hasTxt ? JoinTexts({chosenName}) : JoinTexts({chosenName, kTxtExtension});
}

void RunSaveAndCopy(ExportServices& services) {
  // A cancelled dialog writes nothing: neither the last confirmed file nor
  // a ".txt" in the current folder. The run still makes its two separate
  // requests, the first one's list going nowhere, and fills the clipboard.
  bool confirmed = services.OpenDialog();
  std::string report;
  {
    BusyWindow busy;
    if (confirmed) {
      SaveToFile(services, &report);
    } else {
      DownloadOutcome unused;
      ReleaseValue(services.DownloadList(&unused));
    }
    CopyToClipboard(services, &report);
  }
  if (!report.empty()) services.ShowError(report.c_str());
}

void SaveAndCopy() {
  ProgramServices services;
  RunSaveAndCopy(services);
}
