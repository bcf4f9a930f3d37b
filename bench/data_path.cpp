#include "bench/data_path.h"

#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <cstdio>

#include "bench/measure.h"
#include "export/clipboard.h"
#include "export/download.h"
#include "export/file_write.h"
#include "export/save_and_copy.h"
#include "export/values.h"

namespace {

// The program's services, but for the dialog: it confirms `path` at once.
// Each service's time is added to `steps`.
class DataPathServices final : public ExportServices {
 public:
  DataPathServices(const std::string& path, PathSteps* steps) : path_(path), steps_(steps) {}
  bool OpenDialog() override { return true; }
  Text DialogFileName() override { return JoinTexts({path_.c_str()}); }
  ByteSet DownloadList(DownloadOutcome* outcome) override {
    Stopwatch clock;
    ByteSet list = HttpReadFile(kListUrl, outcome);
    steps_->downloads += clock.Ms();
    return list;
  }
  bool WriteListFile(const char* path, const ByteSetData* bytes, DWORD* error) override {
    Stopwatch clock;
    bool written = WriteBytesToFile(path, {bytes}, error);
    steps_->file += clock.Ms();
    return written;
  }
  bool PutOnClipboard(const char* text) override {
    Stopwatch clock;
    bool placed = SetClipboardText(text);
    steps_->clipboard += clock.Ms();
    return placed;
  }
  void ShowError(const char* text) override {
    failed_ = true;
    fprintf(stderr, "bench: the data path reported: %s\n", text);
  }
  bool Failed() const { return failed_; }

 private:
  std::string path_;
  PathSteps* steps_;
  bool failed_ = false;
};

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

PROCESS_MEMORY_COUNTERS_EX MemoryCounters() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters;
}

}  // namespace

PathSteps OurDataPath(const std::string& path) {
  PathSteps steps;
  DataPathServices services(path, &steps);
  Stopwatch clock;
  RunSaveAndCopy(services);
  steps.total = clock.Ms();
  if (services.Failed()) steps.total = -1;
  return steps;
}

bool RunsUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

int RunPeakMemoryChild(const std::string& path, const std::string& resultFile) {
  // Loads every library the data path uses (TLS, certificates, clipboard),
  // so that the figures below count the data and not the code.
  ByteSetValue small(HttpReadFile("https://localhost/len/16384"));
  if (!small || !WriteBytesToFile((path + ".warm").c_str(), {small.get()}, nullptr)) return 2;
  TextValue text(ToText(small.get()));
  if (!SetClipboardText(text.get())) return 2;
  small.reset();
  text.reset();

  PROCESS_MEMORY_COUNTERS_EX before = MemoryCounters();
  PathSteps steps;
  DataPathServices services(path, &steps);
  RunSaveAndCopy(services);
  PROCESS_MEMORY_COUNTERS_EX after = MemoryCounters();
  if (services.Failed()) return 3;

  FILE* out = fopen(resultFile.c_str(), "w");
  if (!out) return 4;
  fprintf(out, "%lld %lld %lld\n",
          static_cast<long long>(after.PeakPagefileUsage) - static_cast<long long>(before.PagefileUsage),
          static_cast<long long>(after.PeakWorkingSetSize) - static_cast<long long>(before.WorkingSetSize),
          FileSize(path));
  fclose(out);
  return 0;
}

PeakMemory MeasurePeakMemory(const std::string& self, const std::string& path,
                             const std::string& resultFile) {
  PeakMemory peak;
  DeleteFileA(resultFile.c_str());
  std::string command = "\"" + self + "\" --peak-child \"" + path + "\" \"" + resultFile + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return peak;
  WaitForSingleObject(info.hProcess, 120000);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  if (code != 0) {
    fprintf(stderr, "bench: the peak-memory child ended with %lu\n", code);
    return peak;
  }
  FILE* in = fopen(resultFile.c_str(), "r");
  if (!in) return peak;
  if (fscanf(in, "%lld %lld %lld", &peak.privateGrowth, &peak.workingGrowth, &peak.listSize) != 3) peak = {};
  fclose(in);
  return peak;
}
