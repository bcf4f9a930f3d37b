// The kept fuzz corpus (fuzz/corpus, see fuzz/run.sh) through the parsers as
// the program has them, built for Windows: every input that once broke a
// parser, and the seeds, keep every property the fuzz targets check.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver/servers.h"
#include "fuzz/parser_checks.h"

namespace {

struct Target {
  const char* folder;
  std::string (*check)(const uint8_t* data, size_t size);
  size_t seeds;  // at least this many inputs are kept
};

TEST(FuzzCorpus, EveryKeptInputKeepsItsProperties) {
  const Target targets[] = {
      {"window_data", CheckWindowData, 3},
      {"content_length", CheckContentLength, 10},
      {"filter_list", CheckFilterList, 5},
  };
  for (const Target& t : targets) {
    std::string folder = std::string(VARNOOK_FUZZ_CORPUS) + "/" + t.folder;
    size_t inputs = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "/*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << folder;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::string bytes = ReadWholeFile(folder + "/" + found.cFileName);
      EXPECT_EQ(t.check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
          << t.folder << "/" << found.cFileName;
      ++inputs;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_GE(inputs, t.seeds) << t.folder;
  }
}

}  // namespace
