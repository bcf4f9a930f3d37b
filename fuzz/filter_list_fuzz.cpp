// libFuzzer target. The file-type list builder: any filter text.
#include <cstdio>
#include <cstdlib>

#include "fuzz/parser_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string broken = CheckFilterList(data, size);
  if (!broken.empty()) {
    fprintf(stderr, "%s\n", broken.c_str());
    abort();
  }
  return 0;
}
