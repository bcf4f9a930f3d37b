// libFuzzer target. The window description reader: any bytes in place of the stored window data.
#include <cstdio>
#include <cstdlib>

#include "fuzz/parser_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string broken = CheckWindowData(data, size);
  if (!broken.empty()) {
    fprintf(stderr, "%s\n", broken.c_str());
    abort();
  }
  return 0;
}
