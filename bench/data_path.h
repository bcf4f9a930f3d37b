// The save-and-copy command's data path without its dialog: the command's own
// steps with a dialog that confirms a fixed name and the program's real
// download, file write and clipboard.
#pragma once

#include <string>

#include "bench/measure.h"

// One run of the data path writing `path`.
PathSteps OurDataPath(const std::string& path);

// What the peak-memory child reports: how much the data path added on top of
// what the process used before it, by two counters of the system.
struct PeakMemory {
  long long privateGrowth = -1;  // PeakPagefileUsage less PagefileUsage before
  long long workingGrowth = -1;  // PeakWorkingSetSize less WorkingSetSize before
  long long listSize = -1;       // the bytes the data path saved
};

// The child's side: warms up with a small download, then runs the data path
// once into `path` and writes its figures to `resultFile`. Returns the exit code.
int RunPeakMemoryChild(const std::string& path, const std::string& resultFile);
// The parent's side: starts `self` as that child and reads its figures.
PeakMemory MeasurePeakMemory(const std::string& self, const std::string& path, const std::string& resultFile);

// Whether this process runs under Wine, whose private-bytes peak is not a
// peak (it reads the current resident anonymous memory).
bool RunsUnderWine();
