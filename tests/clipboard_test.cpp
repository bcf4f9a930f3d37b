#include "export/clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/clipboard_holder.h"
#include "driver/driver.h"

namespace {

const bool kHolderRole = RunClipboardHolderIfAsked();

bool ClipboardText(std::string* text) {
  if (!IsClipboardFormatAvailable(CF_TEXT)) return false;
  return ReadClipboardText(text);
}

TEST(SetClipboardText, PutsTheTextAsCfText) {
  // "列表" as GBK bytes, handed on unchanged.
  const char* texts[] = {"udp://tracker.example:1337/announce\r\n", "", "\xc1\xd0\xb1\xed"};
  for (const char* text : texts) {
    ASSERT_TRUE(PutClipboardText("something else"));
    EXPECT_TRUE(SetClipboardText(text)) << text;
    std::string got = "unread";
    EXPECT_TRUE(ClipboardText(&got)) << text;
    EXPECT_EQ(got, text);
  }
  EXPECT_TRUE(SetClipboardText(nullptr));
  std::string got = "unread";
  EXPECT_TRUE(ClipboardText(&got));
  EXPECT_EQ(got, "");
}

TEST(SetClipboardText, ClipboardHeldByAnotherProgram) {
  ASSERT_TRUE(PutClipboardText("before"));
  ClipboardHolder other;
  ASSERT_TRUE(other.Holding()) << "holder did not start";

  EXPECT_FALSE(SetClipboardText("after"));

  EXPECT_EQ(other.Release(), 0u);
  std::string got;
  EXPECT_TRUE(ClipboardText(&got));
  EXPECT_EQ(got, "before");
}

}  // namespace
