#include "export/values.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "driver/values_text.h"

namespace {

// "列表" — two double-byte characters.
constexpr char kTwoCharacters[] = "\xc1\xd0\xb1\xed";

// A heap ByteSet holding `bytes`, as another operation would hand it over.
ByteSetValue MakeSet(const std::string& bytes) {
  if (bytes.empty()) return ByteSetValue();
  ByteSetValue set(NewByteSet(static_cast<int32_t>(bytes.size())));
  memcpy(set.get()->bytes, bytes.data(), bytes.size());
  return set;
}

bool OnProcessHeap(const void* value) {
  return HeapValidate(GetProcessHeap(), 0, value) != FALSE;
}

TEST(TextLength, CountsBytesNotCharacters) {
  EXPECT_EQ(TextLength(nullptr), 0u);
  EXPECT_EQ(TextLength(EmptyText), 0u);
  EXPECT_EQ(TextLength(kTwoCharacters), 4u);
}

TEST(JoinTexts, JoinsInOrderIntoOneNewText) {
  char heapText[] = "list";
  struct Case {
    std::initializer_list<const char*> texts;
    std::string expected;
  } cases[] = {
      {{nullptr, ".txt"}, ".txt"},
      {{EmptyText, EmptyText}, ""},
      {{nullptr}, ""},
      {{kTwoCharacters, ".txt"}, std::string(kTwoCharacters) + ".txt"},
      {{heapText, nullptr, "-", EmptyText, "a", "b", "c", "d", "e", "f"}, "list-abcdef"},
  };
  for (const Case& c : cases) {
    TextValue joined(JoinTexts(c.texts));
    ASSERT_TRUE(joined) << c.expected;  // even an empty join is allocated
    EXPECT_EQ(std::string(joined.get()), c.expected);
    EXPECT_EQ(TextLength(joined.get()), c.expected.size());
    EXPECT_TRUE(OnProcessHeap(joined.get()));
  }
}

TEST(ToText, StopsAtTheFirstZeroByteWhetherItCopiesOrTakesTheStorage) {
  struct Case {
    std::string bytes;
    const char* expected;  // nullptr: missing
  } cases[] = {
      {std::string("abc\0d", 5), "abc"},
      {"abcd", "abcd"},
      {std::string("\0abc", 4), nullptr},
      {"", nullptr},
      {std::string(kTwoCharacters) + std::string("\0\0x", 3), kTwoCharacters},
      // Past the first eight bytes, and tails that are not a whole word.
      {std::string("0123456789abc\0efghijk", 21), "0123456789abc"},
      {std::string("01234567\0abcdefgh", 17), "01234567"},
      {"0123456789abcdefg", "0123456789abcdefg"},
  };
  for (const Case& c : cases) {
    ByteSetValue set = MakeSet(c.bytes);
    TextValue copied(ToText(set.get()));
    TextValue moved(MoveToText(set.release()));  // takes the set over, and frees it when missing
    if (!c.expected) {
      EXPECT_FALSE(copied) << c.bytes;
      EXPECT_FALSE(moved) << c.bytes;
      continue;
    }
    ASSERT_TRUE(copied);
    ASSERT_TRUE(moved);
    EXPECT_STREQ(copied.get(), c.expected);
    EXPECT_STREQ(moved.get(), c.expected);
  }
  EXPECT_EQ(ToText(nullptr), nullptr);
  EXPECT_EQ(ToText(&EmptyByteSet), nullptr);
  EXPECT_EQ(MoveToText(nullptr), nullptr);
}

TEST(ToByteSet, CopiesIntoSeparateStorage) {
  ByteSetValue original = MakeSet(std::string("a\0c", 3));
  ByteSetValue copy(ToByteSet(original.get()));
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), original.get());
  EXPECT_EQ(BytesOf(copy.get()), std::string("a\0c", 3));
  original.get()->bytes[0] = 'z';
  EXPECT_EQ(copy.get()->bytes[0], 'a');

  EXPECT_EQ(ToByteSet(nullptr), nullptr);
  EXPECT_EQ(ToByteSet(&EmptyByteSet), nullptr);
}

TEST(ByteSetReaders, MissingReadsAsEmpty) {
  EXPECT_EQ(ByteCount(nullptr), 0);
  EXPECT_EQ(ByteCount(&EmptyByteSet), 0);
  EXPECT_NE(ByteData(nullptr), nullptr);
}

TEST(ReleaseValue, IgnoresMissingValuesAndConstants) {
  // Handing any of these to HeapFree could corrupt the heap; where the heap
  // refuses them instead, the refusal shows in the last error.
  static const char kLiteral[] = "https://example";
  const void* values[] = {nullptr, EmptyText, &EmptyByteSet, ".txt", kLiteral};
  for (const void* value : values) {
    SetLastError(ERROR_SUCCESS);
    ReleaseValue(value);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << value;
  }
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST(ReleaseValue, ReturnsHeapValues) {
  void* value = AllocateValue(16);
  ASSERT_TRUE(OnProcessHeap(value));
  ReleaseValue(value);
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST(AllocationFailureText, NamesTheFullSize) {
  // "分配 3000000000 字节内存失败!" — a size beyond int must not wrap.
  EXPECT_EQ(AllocationFailureText(3000000000u),
            "\xb7\xd6\xc5\xe4 3000000000 \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!");
  EXPECT_EQ(AllocationFailureText(12),
            "\xb7\xd6\xc5\xe4 12 \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!");
}

}  // namespace
