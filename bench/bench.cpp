// make bench: how close Varnook comes to what the platform allows. Every row
// is measured in this run against its floor, measured in the same run, and
// printed as one table (bench/run.sh starts it inside the test sandbox).
//
//   bench.exe --program EXE --floor EXE [--runs N] [--big-runs N] [--curl-ms MS] [--verbose]
//   bench.exe --peak-child PATH RESULT   (row 3's fresh process)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/text_viewer_engine.h"
#include "bench/data_path.h"
#include "bench/floor_download.h"
#include "bench/launch.h"
#include "bench/measure.h"
#include "export/download.h"
#include "export/values.h"

namespace {

constexpr long long kKiB = 1024;
constexpr long long kMiB = 1024 * kKiB;
constexpr long long kBigList = 64 * kMiB;
constexpr char kBigListFile[] = "bench-list-64m.txt";

struct Options {
  std::string program, floorProgram;
  int runs = 15;
  int bigRuns = 7;
  double curlMs = -1;
  bool verbose = false;
};

struct Setting {
  std::string stateDir, self;
};

std::string StatePath(const Setting& s, const std::string& name) { return s.stateDir + "\\" + name; }

bool WriteWhole(const std::string& path, const std::string& bytes) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  DWORD size = GetFileSize(file, nullptr);
  bytes.resize(size);
  DWORD got = 0;
  if (!ReadFile(file, &bytes[0], size, &got, nullptr)) got = 0;
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

// What the list server answers on the list's path: the sample list of about
// 16 KB by default, or a file of the state folder.
bool ServeList(const Setting& s, const char* bodyFile) {
  std::string path = StatePath(s, "list.json");
  if (!bodyFile) return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  return WriteWhole(path, std::string(R"({"mode": "ok", "body_file": ")") + bodyFile + "\"}");
}

// A list of `size` bytes made of the sample list's lines, repeated.
bool MakeBigList(const Setting& s, long long size) {
  std::string sample = ReadWhole(StatePath(s, "sample_list.txt"));
  if (sample.empty()) return false;
  std::string list;
  list.reserve(static_cast<size_t>(size));
  while (static_cast<long long>(list.size()) < size) list += sample;
  list.resize(static_cast<size_t>(size));
  return WriteWhole(StatePath(s, kBigListFile), list);
}

std::string SizeName(long long bytes) {
  if (bytes >= kMiB) return Format("%.0f MB", static_cast<double>(bytes) / kMiB);
  return Format("%.0f KB", static_cast<double>(bytes) / kKiB);
}

// The medians of each part of the data path's runs (warm-up left out).
void PrintSteps(const char* label, const std::vector<PathSteps>& runs) {
  std::vector<double> downloads, file, clipboard, rest;
  for (size_t i = 1; i < runs.size(); ++i) {
    const PathSteps& r = runs[i];
    downloads.push_back(r.downloads);
    file.push_back(r.file);
    clipboard.push_back(r.clipboard);
    rest.push_back(r.total - r.downloads - r.file - r.clipboard);
  }
  fprintf(stderr, "%s downloads %.1f, file %.1f, clipboard %.1f, the rest %.1f (ms, medians)\n", label,
          Median(downloads), Median(file), Median(clipboard), Median(rest));
}

TableRow RatioRow(const std::string& number, const std::string& measure, const PairResult& r, double target) {
  TableRow row;
  row.number = number;
  row.measure = measure;
  row.ours = FormatMs(r.ours);
  row.floor = FormatMs(r.floor);
  row.target = Format("<= %.2f", target);
  if (r.ratio < 0) {
    row.ratio = "-";
    row.verdict = TableRow::kFailed;
    return row;
  }
  row.ratio = Format("%.3f", r.ratio);
  row.verdict = r.ratio <= target ? TableRow::kMet : TableRow::kMissed;
  return row;
}

// Row 1: HttpReadFile against the bare read loop. Bodies with a length come
// over HTTPS, the list's own scheme. Bodies without one come over plain HTTP:
// over HTTPS the local server, having sent its TLS close_notify, holds the
// connection for up to 2 s waiting for the client's; WinINet under Wine
// neither answers it nor takes it for the end of the body, so every such
// fetch, bare or ours, lasts 2 s more, which would hide all else in the row.
struct DownloadFigures {
  double bigHttps = -1;
};

std::string DownloadUrl(long long size, bool announced) {
  if (announced && size < kBigList) return "https://localhost/len/" + std::to_string(size);
  if (announced) return "https://localhost/big/" + std::to_string(size);
  return "http://127.0.0.1:8080/" + std::string(size < kBigList ? "nolen/" : "bignolen/") +
         std::to_string(size);
}

// One fetch of `url` by HttpReadFile, timed; -1 unless all `size` bytes came.
TimedStep OurFetch(const std::string& url, long long size) {
  return [url, size]() -> double {
    DownloadOutcome outcome;
    Stopwatch clock;
    ByteSetValue body(HttpReadFile(url.c_str(), &outcome));
    double ms = clock.Ms();
    return ByteCount(body.get()) == size ? ms : -1;
  };
}

// The same fetch by the bare read loop.
TimedStep FloorFetch(FloorDownloader& floor, const std::string& url, long long size) {
  return [&floor, url, size]() -> double {
    FloorBody body;
    Stopwatch clock;
    long long got = floor.Fetch(url.c_str(), &body);
    double ms = clock.Ms();
    return got == size ? ms : -1;
  };
}

DownloadFigures DownloadRows(const Options& o, Table* table) {
  DownloadFigures figures;
  FloorDownloader floor(static_cast<size_t>(kBigList));
  for (bool announced : {true, false}) {
    for (long long size : {16 * kKiB, 1 * kMiB}) {
      std::string url = DownloadUrl(size, announced);
      PairResult r = MeasurePair(o.runs, OurFetch(url, size), FloorFetch(floor, url, size));
      if (o.verbose) PrintRuns(url, r);
      std::string what = "HttpReadFile " + SizeName(size) +
                         (announced ? ", length announced (HTTPS)" : ", no length (HTTP)");
      table->Add(RatioRow("1", what, r, 1.05));
    }
    if (announced) {
      std::string url = DownloadUrl(kBigList, true);
      PairResult r = MeasurePair(o.bigRuns, OurFetch(url, kBigList), FloorFetch(floor, url, kBigList));
      if (o.verbose) PrintRuns(url, r);
      table->Add(RatioRow("1", "HttpReadFile 64 MB, length announced (HTTPS)", r, 1.05));
      figures.bigHttps = r.ours;
    }
  }

  // 64 MB without a length, and its growth against the same body with one
  // (both over HTTP), measured together so that they see the same machine.
  std::string without = DownloadUrl(kBigList, false);
  std::string with = "http://127.0.0.1:8080/big/" + std::to_string(kBigList);
  std::vector<std::vector<double>> t =
      MeasureRotation(o.bigRuns, {OurFetch(without, kBigList), FloorFetch(floor, without, kBigList),
                                  OurFetch(with, kBigList), FloorFetch(floor, with, kBigList)});
  PairResult withoutLength = Pair(t[0], t[1]);
  PairResult growth = Pair(t[0], t[2]);
  PairResult bareGrowth = Pair(t[1], t[3]);
  if (o.verbose) {
    PrintRuns(without, withoutLength);
    PrintRuns(with, Pair(t[2], t[3]));
  }
  table->Add(RatioRow("1", "HttpReadFile 64 MB, no length (HTTP)", withoutLength, 1.05));
  std::string platform = bareGrowth.ratio > 0 ? Format("%.2f", bareGrowth.ratio) : "-";
  table->Add(RatioRow("1",
                      "HttpReadFile 64 MB (HTTP): no length vs length announced (Floor = with length; the "
                      "bare loop's own ratio: " +
                          platform + ")",
                      growth, 1.1));
  return figures;
}

// Row 2: the data path against two bare downloads, one WriteFile and one
// SetClipboardData.
void DataPathRows(const Options& o, const Setting& s, Table* table) {
  FloorDownloader floor(static_cast<size_t>(kBigList));
  struct Case {
    const char* bodyFile;
    long long size;
  };
  const Case cases[] = {{nullptr, 0}, {kBigListFile, kBigList}};
  for (const Case& c : cases) {
    if (!ServeList(s, c.bodyFile)) {
      table->Add(RatioRow("2", "data path: cannot set the list", PairResult(), 1.1));
      continue;
    }
    long long size =
        c.size ? c.size : static_cast<long long>(ReadWhole(StatePath(s, "sample_list.txt")).size());
    std::string ourFile = StatePath(s, "bench-ours.txt");
    std::string floorFile = StatePath(s, "bench-floor.txt");
    std::vector<PathSteps> oursSteps, floorSteps;
    auto ours = [&] {
      oursSteps.push_back(OurDataPath(ourFile));
      return oursSteps.back().total;
    };
    auto bare = [&] {
      floorSteps.push_back(FloorDataPath(floor, kListUrl, floorFile));
      return floorSteps.back().total;
    };
    PairResult r = MeasurePair(c.size ? o.bigRuns : o.runs, ours, bare);
    if (o.verbose) {
      PrintRuns("data path " + SizeName(size), r);
      PrintSteps("  ours ", oursSteps);
      PrintSteps("  floor", floorSteps);
    }
    // The path must really have saved the whole list.
    if (ReadWhole(ourFile).size() != static_cast<size_t>(size)) r = PairResult();
    table->Add(RatioRow("2", "SaveAndCopy data path, " + SizeName(size) + " list", r, 1.1));
  }
  ServeList(s, nullptr);
}

// Row 3: in a fresh process, so that the earlier rows leave no peak behind.
void PeakMemoryRow(const Options& o, const Setting& s, Table* table) {
  TableRow row;
  row.number = "3";
  row.measure = "peak memory of the 64 MB data path / list size";
  row.target = "<= 2.10";
  std::vector<double> ratios;
  bool wine = RunsUnderWine();
  if (ServeList(s, kBigListFile)) {
    for (int i = 0; i < (o.bigRuns + 1) / 2; ++i) {
      PeakMemory peak =
          MeasurePeakMemory(s.self, StatePath(s, "bench-peak.txt"), StatePath(s, "bench-peak.out"));
      if (o.verbose)
        fprintf(stderr, "peak memory: private bytes +%lld, working set +%lld, list %lld\n",
                peak.privateGrowth, peak.workingGrowth, peak.listSize);
      long long growth = wine ? peak.workingGrowth : peak.privateGrowth;
      if (growth < 0 || peak.listSize != kBigList) break;
      ratios.push_back(static_cast<double>(growth) / static_cast<double>(peak.listSize));
    }
  }
  ServeList(s, nullptr);
  if (ratios.empty()) {
    row.ours = row.floor = row.ratio = "-";
    row.verdict = TableRow::kFailed;
  } else {
    double ratio = Median(ratios);
    row.ours = Format("%.1f MB", ratio * kBigList / kMiB);
    row.floor = Format("%.0f MB", static_cast<double>(kBigList) / kMiB);
    row.ratio = Format("%.3f", ratio);
    row.verdict = ratio <= 2.1 ? TableRow::kMet : TableRow::kMissed;
  }
  row.measure +=
      wine ? " (peak working set; Wine's private-bytes peak is the current value)" : " (peak private bytes)";
  table->Add(row);
}

// Rows 4 and 5: the program against the bare window, and until its panel
// shows the whole sample list.
void StartUpRows(const Options& o, const Setting& s, Table* table) {
  ServeList(s, nullptr);
  std::string list = ReadWhole(StatePath(s, "sample_list.txt"));
  std::string shown = TextForEdit(reinterpret_cast<const unsigned char*>(list.data()), list.size());
  std::string folder = StatePath(s, "bench-cwd");
  CreateDirectoryA(folder.c_str(), nullptr);

  std::vector<double> panelRuns, panelOverRuns;
  auto ours = [&]() -> double {
    LaunchTimes t = TimeLaunch(o.program, folder, "VarnookMainWindow", "VarnookTextViewer", shown);
    if (t.shownMs < 0 || t.textMs < 0) return -1;
    panelRuns.push_back(t.textMs);
    panelOverRuns.push_back(t.textMs - t.shownMs);
    return t.shownMs;
  };
  auto bare = [&] { return TimeLaunch(o.floorProgram, folder, "VarnookBenchFloor").shownMs; };
  PairResult r = MeasurePair(o.runs, ours, bare);
  if (o.verbose) PrintRuns("start-up", r);
  table->Add(RatioRow("4", "start-up until the window is shown and idle (built-in viewer)", r, 1.3));

  TableRow panel;
  panel.number = "5";
  panel.measure = "start until the panel shows the whole 16 KB list (Floor = row 4's start-up)";
  panel.target = "<= +150 ms";
  // The warm-up run is not counted.
  if (r.ours < 0 || panelRuns.size() < 2) {
    panel.ours = panel.floor = panel.ratio = "-";
    panel.verdict = TableRow::kFailed;
  } else {
    panelRuns.erase(panelRuns.begin());
    panelOverRuns.erase(panelOverRuns.begin());
    double over = Median(panelOverRuns);
    panel.ours = FormatMs(Median(panelRuns));
    panel.floor = FormatMs(r.ours);
    panel.ratio = Format("+%.0f ms", over);
    panel.verdict = over <= 150 ? TableRow::kMet : TableRow::kMissed;
  }
  table->Add(panel);
}

void SizeRow(const Options& o, Table* table) {
  TableRow row;
  row.number = "6";
  row.measure = "size of build/varnook.exe (static, stripped)";
  row.target = "<= 1024 KiB";
  row.floor = "-";
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(o.program.c_str(), GetFileExInfoStandard, &data)) {
    row.ours = row.ratio = "-";
    row.verdict = TableRow::kFailed;
  } else {
    double kib = static_cast<double>(data.nFileSizeLow) / kKiB;
    row.ours = Format("%.0f KiB", kib);
    row.ratio = Format("%.3f", kib / 1024);
    row.verdict = kib <= 1024 ? TableRow::kMet : TableRow::kMissed;
  }
  table->Add(row);
}

void CurlRow(const Options& o, const DownloadFigures& figures, Table* table) {
  TableRow row;
  row.number = "7";
  row.measure = "64 MB, length announced: HttpReadFile under Wine (Floor = curl on the host)";
  row.ours = FormatMs(figures.bigHttps);
  row.floor = o.curlMs > 0 ? FormatMs(o.curlMs) : "not run";
  row.ratio = figures.bigHttps > 0 && o.curlMs > 0 ? Format("%.2f", figures.bigHttps / o.curlMs) : "-";
  row.target = "none (reference)";
  table->Add(row);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool ParseOptions(int argc, char** argv, Options* o) {
  const char* exe = getenv("VARNOOK_EXE");
  if (exe) o->program = exe;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--program" && hasValue)
      o->program = argv[++i];
    else if (arg == "--floor" && hasValue)
      o->floorProgram = argv[++i];
    else if (arg == "--runs" && hasValue)
      o->runs = atoi(argv[++i]);
    else if (arg == "--big-runs" && hasValue)
      o->bigRuns = atoi(argv[++i]);
    else if (arg == "--curl-ms" && hasValue)
      o->curlMs = atof(argv[++i]);
    else if (arg == "--verbose")
      o->verbose = true;
    else
      return false;
  }
  return !o->program.empty() && o->runs > 0 && o->bigRuns > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "--peak-child") == 0) return RunPeakMemoryChild(argv[2], argv[3]);

  Options o;
  Setting s;
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  s.self = self;
  o.floorProgram = FolderOf(s.self) + "\\floor_window.exe";
  const char* state = getenv("VARNOOK_STATE_DIR");
  if (!state || !ParseOptions(argc, argv, &o)) {
    fprintf(
        stderr,
        "usage: bench.exe --program EXE [--floor EXE] [--runs N] [--big-runs N] [--curl-ms MS] [--verbose]\n"
        "       (inside tests/sandbox.sh, which sets VARNOOK_STATE_DIR)\n");
    return 2;
  }
  s.stateDir = state;
  if (!MakeBigList(s, kBigList)) {
    fprintf(stderr, "bench: cannot make the 64 MB list in %s\n", state);
    return 1;
  }

  Table table;
  fprintf(stderr, "bench: downloads\n");
  DownloadFigures figures = DownloadRows(o, &table);
  fprintf(stderr, "bench: data path\n");
  DataPathRows(o, s, &table);
  fprintf(stderr, "bench: peak memory\n");
  PeakMemoryRow(o, s, &table);
  fprintf(stderr, "bench: start-up\n");
  StartUpRows(o, s, &table);
  SizeRow(o, &table);
  CurlRow(o, figures, &table);

  printf(
      "\nMedians of %d runs (%d for 64 MB) after one warm-up; every floor measured in this run, each run\n"
      "taking ours and the floor back to back. Ratio: the median of the runs' own ratios.\n\n",
      o.runs, o.bigRuns);
  table.Print(stdout);
  int met = table.Count(TableRow::kMet), missed = table.Count(TableRow::kMissed);
  int failed = table.Count(TableRow::kFailed);
  printf("\n%d targets met, %d missed%s.\n", met, missed,
         failed ? Format(", %.0f rows not measured", failed).c_str() : "");
  // A missed target is a finding, not a failure of the benchmark.
  return failed == 0 ? 0 : 1;
}
