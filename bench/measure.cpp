#include "bench/measure.h"

#include <algorithm>

namespace {

double TicksPerMs() {
  static const double perMs = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  return perMs;
}

const char* VerdictText(TableRow::Verdict verdict) {
  switch (verdict) {
    case TableRow::kMet:
      return "yes";
    case TableRow::kMissed:
      return "**no**";
    case TableRow::kFailed:
      return "**failed**";
    case TableRow::kNoTarget:
      break;
  }
  return "-";
}

}  // namespace

Stopwatch::Stopwatch() { QueryPerformanceCounter(&start_); }

double Stopwatch::Ms() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start_.QuadPart) / TicksPerMs();
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::vector<std::vector<double>> MeasureRotation(int runs, const std::vector<TimedStep>& steps) {
  size_t count = steps.size();
  std::vector<std::vector<double>> times(count);
  for (const TimedStep& step : steps)
    if (step() < 0) return std::vector<std::vector<double>>(count);
  for (int run = 0; run < runs; ++run) {
    for (size_t k = 0; k < count; ++k) {
      size_t i = (static_cast<size_t>(run) + k) % count;
      double ms = steps[i]();
      if (ms < 0) return std::vector<std::vector<double>>(count);
      times[i].push_back(ms);
    }
  }
  return times;
}

PairResult Pair(const std::vector<double>& oursRuns, const std::vector<double>& floorRuns) {
  PairResult result;
  if (oursRuns.empty() || oursRuns.size() != floorRuns.size()) return result;
  std::vector<double> ratios;
  for (size_t i = 0; i < oursRuns.size(); ++i) {
    if (floorRuns[i] <= 0) return result;
    ratios.push_back(oursRuns[i] / floorRuns[i]);
  }
  result.oursRuns = oursRuns;
  result.floorRuns = floorRuns;
  result.ours = Median(oursRuns);
  result.floor = Median(floorRuns);
  result.ratio = Median(ratios);
  return result;
}

PairResult MeasurePair(int runs, const TimedStep& ours, const TimedStep& floor) {
  std::vector<std::vector<double>> times = MeasureRotation(runs, {ours, floor});
  return Pair(times[0], times[1]);
}

void PrintRuns(const std::string& label, const PairResult& result) {
  fprintf(stderr, "%s\n  ours: ", label.c_str());
  for (double ms : result.oursRuns) fprintf(stderr, " %.2f", ms);
  fprintf(stderr, "\n  floor:");
  for (double ms : result.floorRuns) fprintf(stderr, " %.2f", ms);
  fprintf(stderr, "\n");
}

void Table::Print(FILE* out) const {
  fprintf(out, "| # | Measure | Varnook | Floor | Ratio | Target | Met |\n");
  fprintf(out, "|---|---|---:|---:|---:|---|---|\n");
  for (const TableRow& r : rows_) {
    fprintf(out, "| %s | %s | %s | %s | %s | %s | %s |\n", r.number.c_str(), r.measure.c_str(),
            r.ours.c_str(), r.floor.c_str(), r.ratio.c_str(), r.target.c_str(), VerdictText(r.verdict));
  }
  fflush(out);
}

int Table::Count(TableRow::Verdict verdict) const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(),
                                        [verdict](const TableRow& r) { return r.verdict == verdict; }));
}

std::string Format(const char* format, double value) {
  char text[64];
  snprintf(text, sizeof text, format, value);
  return text;
}

std::string FormatMs(double ms) {
  if (ms < 0) return "failed";
  return Format(ms < 10 ? "%.2f ms" : ms < 100 ? "%.1f ms" : "%.0f ms", ms);
}
