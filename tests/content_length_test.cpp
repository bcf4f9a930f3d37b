#include "export/content_length.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ChooseChunk, FollowsTheAnnouncedLength) {
  struct Case {
    const char* text;  // the length header, nullptr when absent
    size_t chunk;
  } cases[] = {
      {"5000", 5001},
      {"1", 2},
      {"102399", 102400},
      {"102400", 102400},
      {"200000", 102400},
      {nullptr, 10240},
      {"", 10240},
      {"0", 10240},
      {"abc", 10240},
      {"-5", 10240},
      {"-", 10240},
      {" +12", 13},
      {"\t 7x", 8},
      {"2147483647", 102400},
      {"2147483648", 102400},
      {"4294967297", 102400},
      {"9223372036854775807", 102400},
      {"9223372036854775808", 102400},
      {"99999999999999999999", 102400},
      {"-99999999999999999999", 10240},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseChunk(c.text), c.chunk) << (c.text ? c.text : "(absent)");
}

TEST(ReadAnnouncedLength, SaturatesInsteadOfWrapping) {
  struct Case {
    const char* text;
    bool read;
    long long value;
  } cases[] = {
      {"5000", true, 5000},
      {" +12", true, 12},
      {"-5", true, -5},
      {"12 34", true, 12},
      {"abc", false, 0},
      {"+", false, 0},
      {"2147483648", true, 2147483648LL},
      {"9223372036854775807", true, LLONG_MAX},
      {"9223372036854775808", true, LLONG_MAX},
      {"99999999999999999999", true, LLONG_MAX},
      {"-9223372036854775808", true, LLONG_MIN},
      {"-99999999999999999999", true, LLONG_MIN},
  };
  for (const Case& c : cases) {
    long long value = -1;
    EXPECT_EQ(ReadAnnouncedLength(c.text, &value), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

}  // namespace
