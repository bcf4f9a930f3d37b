// The file dialog's set-up without a window: the file-type list, the selected
// entry, the flags and the centring.
#include "export/filter_list.h"

#include <commdlg.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct FilterCase {
  const char* what;
  std::string filter;
  std::string list;  // every byte handed to the dialog, the final zero included
};

class FilterListTest : public testing::TestWithParam<FilterCase> {};

TEST_P(FilterListTest, BuildsTheList) {
  const FilterCase& c = GetParam();
  EXPECT_EQ(BuildFilterList(c.filter), c.list) << c.what;
}

// "文本文档（*.txt）", the component's own filter.
const std::string kTextDocuments = "\xCE\xC4\xB1\xBE\xCE\xC4\xB5\xB5\xA3\xA8\x2A\x2E\x74\x78\x74\xA3\xA9"s;
// "亅": a double-byte character whose trail byte is 0x7C, the value of "|".
const std::string kBarTrail = "\x81\x7C"s;

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterListTest,
    testing::Values(
        FilterCase{"pair gets its end", "A|*.a", "A\0*.a\0\0\0"s},
        FilterCase{"already ended: used as it is", "A|*.a||", "A\0*.a\0\0\0"s},
        FilterCase{"trailing blanks go first", "A|*.a \t\r\n\v\f", "A\0*.a\0\0\0"s},
        FilterCase{"blanks inside stay", "A b|*.a", "A b\0*.a\0\0\0"s},
        FilterCase{"two pairs", "A|*.a|B|*.b", "A\0*.a\0B\0*.b\0\0\0"s},
        FilterCase{"one bar at the end is not an end", "A|*.a|", "A\0*.a\0\0\0\0"s},
        FilterCase{"component's filter: one entry, empty pattern", kTextDocuments,
                   kTextDocuments + "\0\0\0"s},
        FilterCase{"empty filter: no list", "", ""}, FilterCase{"only blanks: no list", " \t ", ""},
        FilterCase{"trail byte 0x7C is not a bar", kBarTrail + "|*.a", kBarTrail + "\0*.a\0\0\0"s},
        FilterCase{"trail byte 0x7C in the pattern", "A|" + kBarTrail, "A\0"s + kBarTrail + "\0\0\0"s},
        FilterCase{"trail byte 0x7C and a bar do not make the end", kBarTrail + "|",
                   kBarTrail + "\0\0\0\0"s}));

TEST(FilterIndexTest, CountsFromOneWithAListOnly) {
  EXPECT_EQ(FilterIndex(true, 0), 1u);
  EXPECT_EQ(FilterIndex(true, 2), 3u);
  EXPECT_EQ(FilterIndex(true, -4), 1u);
  EXPECT_EQ(FilterIndex(false, 0), 0u);
  EXPECT_EQ(FilterIndex(false, 2), 0u);
}

constexpr DWORD kAlways = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_EXPLORER;

TEST(DialogFlagsTest, SaveDialogOfTheComponentNeverRequiresAnExistingFile) {
  CommonDialogSettings settings;  // the component's values
  ASSERT_TRUE(settings.fileMustExist);
  EXPECT_EQ(DialogFlags(settings), kAlways | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
}

TEST(DialogFlagsTest, OpenDialogKeepsFileMustExist) {
  CommonDialogSettings settings;
  settings.kind = kOpenFileDialog;
  EXPECT_EQ(DialogFlags(settings), kAlways | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
}

TEST(DialogFlagsTest, EachSwitchAddsItsFlag) {
  CommonDialogSettings settings;
  settings.promptToCreate = true;
  settings.overwritePrompt = false;
  settings.pathMustExist = false;
  settings.noChangeDirectory = true;
  EXPECT_EQ(DialogFlags(settings), kAlways | OFN_CREATEPROMPT | OFN_NOCHANGEDIR);
}

struct CenterCase {
  const char* what;
  RECT owner;
  int width, height;
  POINT at;
};

TEST(CenterOverTest, CentresAndKeepsOnTheWorkArea) {
  const RECT work = {0, 0, 1024, 768};
  const CenterCase cases[] = {
      {"inside", {181, 86, 842, 681}, 400, 300, {311, 233}},
      {"odd difference truncates", {0, 0, 101, 101}, 50, 50, {25, 25}},
      {"owner off the top left", {-300, -300, 100, 100}, 200, 200, {0, 0}},
      {"owner off the bottom right", {900, 700, 1100, 900}, 300, 200, {724, 568}},
      {"larger than the work area", {0, 0, 100, 100}, 2000, 1000, {0, 0}},
  };
  for (const CenterCase& c : cases) {
    POINT at = CenterOver(c.owner, c.width, c.height, work);
    EXPECT_EQ(at.x, c.at.x) << c.what;
    EXPECT_EQ(at.y, c.at.y) << c.what;
  }
}

}  // namespace
