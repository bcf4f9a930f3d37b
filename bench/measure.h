// What every row of the benchmark shares: the clock, medians, alternating
// runs of the program and its floor, and the table.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Milliseconds since construction, from QueryPerformanceCounter.
class Stopwatch {
 public:
  Stopwatch();
  double Ms() const;

 private:
  LARGE_INTEGER start_;
};

double Median(std::vector<double> values);

// A measured step: its time in milliseconds, or a negative value when it
// failed (the row then shows the failure instead of a figure).
using TimedStep = std::function<double()>;

// Where the time of one run of the data path went, in ms; total is -1 when a
// step failed.
struct PathSteps {
  double downloads = 0;  // both downloads
  double file = 0;       // writing the file
  double clipboard = 0;  // putting the text on the clipboard
  double total = -1;     // the whole path; what is not above is the path's own work
};

// Two steps measured side by side: the medians of their runs, and the median
// of the ratios run by run (each run took both back to back, so a slow
// moment of the machine shows in both halves of a ratio).
struct PairResult {
  double ours = -1;
  double floor = -1;
  double ratio = -1;
  std::vector<double> oursRuns, floorRuns;
};
// The result for runs already measured; failed (-1) when either is empty.
PairResult Pair(const std::vector<double>& oursRuns, const std::vector<double>& floorRuns);

// Warms each side up once, then runs them `runs` times, alternating which
// goes first so that drift on the machine falls on both alike.
PairResult MeasurePair(int runs, const TimedStep& ours, const TimedStep& floor);
// The same for several steps: each run takes them all, starting one further
// each time. The times of step i are in result[i]; empty when a step failed.
std::vector<std::vector<double>> MeasureRotation(int runs, const std::vector<TimedStep>& steps);
// Every run of a pair, on stderr, for looking into a surprising median.
void PrintRuns(const std::string& label, const PairResult& result);

struct TableRow {
  std::string number, measure, ours, floor, ratio, target;
  enum Verdict { kMet, kMissed, kNoTarget, kFailed } verdict = kNoTarget;
};

class Table {
 public:
  void Add(const TableRow& row) { rows_.push_back(row); }
  // Markdown, so that README.md takes it as it is.
  void Print(FILE* out) const;
  int Count(TableRow::Verdict verdict) const;

 private:
  std::vector<TableRow> rows_;
};

std::string Format(const char* format, double value);
std::string FormatMs(double ms);
