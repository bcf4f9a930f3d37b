// Just enough of <windows.h> to build the pure file-type list builder
// natively for fuzzing. The lead-byte test is code page 936's: every byte
// from 0x81 to 0xFE starts a double-byte character there.
#pragma once

#include <cstdint>

typedef unsigned char BYTE;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef struct HWND__* HWND;

struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};

inline BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte) {
  return codePage == 936 && byte >= 0x81 && byte <= 0xFE;
}
