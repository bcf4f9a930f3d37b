// Writing byte sets to a file without ever leaving the target damaged.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "export/values.h"

// Writes the byte sets one after another to `fileName`. The bytes go to a new
// file beside the target, which replaces the target only once every byte is
// written and the file closed; on any failure the target is exactly as it was
// and no temporary file is left. An empty name fails without touching the
// disk. On failure *error (when given) holds the system error code.
bool WriteBytesToFile(const char* fileName, std::initializer_list<const ByteSetData*> sets,
                      DWORD* error = nullptr);

// Tests make a write fail part-way through this; nullptr restores WriteFile.
using WriteFileFunction = BOOL(WINAPI*)(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                                        LPOVERLAPPED overlapped);
void SetWriteFileForTesting(WriteFileFunction writeFile);
