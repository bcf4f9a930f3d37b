#include "export/content_length.h"

#include <climits>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

bool ReadAnnouncedLength(const char* text, long long* value) {
  *value = 0;
  if (!text) return false;
  while (IsBlank(*text)) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (*text < '0' || *text > '9') return false;
  // Accumulated as a negative number, whose range reaches one further.
  long long sum = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    int digit = *text - '0';
    if (sum < (LLONG_MIN + digit) / 10) {
      sum = LLONG_MIN;
      while (text[1] >= '0' && text[1] <= '9') ++text;
      break;
    }
    sum = sum * 10 - digit;
  }
  if (negative) {
    *value = sum;
  } else {
    *value = sum == LLONG_MIN ? LLONG_MAX : -sum;
  }
  return true;
}

size_t ChooseChunk(const char* lengthText) {
  long long length = 0;
  if (!ReadAnnouncedLength(lengthText, &length) || length <= 0) return kChunkWithoutLength;
  if (length >= static_cast<long long>(kLargestChunk)) return kLargestChunk;
  return static_cast<size_t>(length) + 1;
}
