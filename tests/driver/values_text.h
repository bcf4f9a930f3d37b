// A ByteSet's bytes as a string, for comparing in tests.
#pragma once

#include <string>

#include "export/values.h"

inline std::string BytesOf(const ByteSetData* set) {
  return std::string(reinterpret_cast<const char*>(ByteData(set)), static_cast<size_t>(ByteCount(set)));
}
