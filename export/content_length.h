// The read size chosen from the response's announced length.
#pragma once

#include <cstddef>

constexpr size_t kChunkWithoutLength = 10240;
constexpr size_t kLargestChunk = 102400;

// Reads the length header's text as a decimal integer: leading blanks and a
// sign allowed, reading stops at the first non-digit; saturates instead of
// overflowing. Returns false when no digit was read.
bool ReadAnnouncedLength(const char* text, long long* value);

// The chunk: announced length + 1, at most kLargestChunk, or
// kChunkWithoutLength when there is no usable length (absent, 0, negative,
// not a number).
size_t ChooseChunk(const char* lengthText);
