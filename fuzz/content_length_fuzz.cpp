// libFuzzer target. The length header reader and the chunk it chooses: any header text.
#include <cstdio>
#include <cstdlib>

#include "fuzz/parser_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string broken = CheckContentLength(data, size);
  if (!broken.empty()) {
    fprintf(stderr, "%s\n", broken.c_str());
    abort();
  }
  return 0;
}
