// The command's decisions with the dialog, the download, the file, the
// clipboard and the message box replaced: what is written, copied and told.
#include "export/save_and_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "export/download_error.h"

namespace {

using namespace std::string_literals;

struct SavePathCase {
  const char* chosen;
  const char* path;
};

TEST(SavePathForTest, AppendsTxtUnlessTheNameEndsInIt) {
  const SavePathCase cases[] = {
      {"D:\\out\\list", "D:\\out\\list.txt"},
      {"D:\\out\\list.txt", "D:\\out\\list.txt"},
      {"D:\\out\\list.TXT", "D:\\out\\list.TXT"},
      {"D:\\out\\list.tXt", "D:\\out\\list.tXt"},
      {"D:\\out\\list.txt.bak", "D:\\out\\list.txt.bak.txt"},
      {"D:\\out\\list.tx", "D:\\out\\list.tx.txt"},
      {"D:\\out\\listtxt", "D:\\out\\listtxt.txt"},
      {"D:\\out\\list.txt ", "D:\\out\\list.txt .txt"},
      {".txt", ".txt"},
      {"txt", "txt.txt"},
      // "列表" and "列表.TXT"
      {"\xC1\xD0\xB1\xED", "\xC1\xD0\xB1\xED.txt"},
      {"\xC1\xD0\xB1\xED.TXT", "\xC1\xD0\xB1\xED.TXT"},
  };
  for (const SavePathCase& c : cases) {
    TextValue path(SavePathFor(c.chosen));
    ASSERT_TRUE(path) << c.chosen;
    EXPECT_STREQ(path.get(), c.path) << c.chosen;
  }
}

TEST(SavePathForTest, MissingNameGivesTheBareExtension) {
  TextValue path(SavePathFor(nullptr));
  ASSERT_TRUE(path);
  EXPECT_STREQ(path.get(), ".txt");
}

struct ScriptedDownload {
  std::string body;  // "" arrives as a missing ByteSet
  DownloadOutcome::Kind kind = DownloadOutcome::kOk;
  DWORD status = 200;
  DWORD error = 0;
};

DownloadOutcome OutcomeOf(const ScriptedDownload& d) {
  DownloadOutcome outcome;
  outcome.kind = d.kind;
  outcome.status = d.status;
  outcome.error = d.error;
  outcome.received = static_cast<long long>(d.body.size());
  return outcome;
}

ScriptedDownload Ok(const std::string& body) { return {body}; }
ScriptedDownload NotFound() { return {"<html><body>404</body></html>", DownloadOutcome::kHttpStatus, 404}; }
ScriptedDownload Dropped(const std::string& partial) {
  return {partial, DownloadOutcome::kBrokenOff, 200, ERROR_INTERNET_CONNECTION_RESET};
}

// Plays the world around the command and notes what the command did to it.
class FakeServices : public ExportServices {
 public:
  bool confirm = true;
  std::string fileName = "D:\\out\\list";
  std::deque<ScriptedDownload> downloads;
  bool writeSucceeds = true;
  DWORD writeError = ERROR_ACCESS_DENIED;
  bool clipboardSucceeds = true;

  std::vector<std::string> calls;
  std::string writtenPath, writtenBytes, clipboard;
  std::vector<std::string> messages;

  bool OpenDialog() override {
    calls.push_back("open");
    return confirm;
  }
  Text DialogFileName() override {
    calls.push_back("name");
    return fileName.empty() ? nullptr : JoinTexts({fileName.c_str()});
  }
  ByteSet DownloadList(DownloadOutcome* outcome) override {
    calls.push_back("download");
    if (downloads.empty()) {
      ADD_FAILURE() << "more downloads than scripted";
      *outcome = DownloadOutcome{};
      outcome->kind = DownloadOutcome::kNetwork;
      return nullptr;
    }
    ScriptedDownload d = downloads.front();
    downloads.pop_front();
    *outcome = OutcomeOf(d);
    if (d.body.empty()) return nullptr;
    ByteSet set = NewByteSet(static_cast<int32_t>(d.body.size()));
    std::memcpy(set->bytes, d.body.data(), d.body.size());
    return set;
  }
  bool WriteListFile(const char* path, const ByteSetData* bytes, DWORD* error) override {
    calls.push_back("write");
    if (!writeSucceeds) {
      *error = writeError;
      return false;
    }
    writtenPath = path;
    writtenBytes.assign(reinterpret_cast<const char*>(ByteData(bytes)), ByteCount(bytes));
    return true;
  }
  bool PutOnClipboard(const char* text) override {
    calls.push_back("clipboard");
    if (clipboardSucceeds) clipboard = text;
    return clipboardSucceeds;
  }
  void ShowError(const char* text) override {
    calls.push_back("message");
    messages.push_back(text);
  }
};

using Calls = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class SaveAndCopyTest : public testing::Test {
 protected:
  FakeServices services;
};

TEST_F(SaveAndCopyTest, ConfirmedNameGetsTheFirstDownloadAndTheClipboardTheSecond) {
  services.downloads = {Ok("first list\n"), Ok("second list\n")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.calls, (Calls{"open", "name", "download", "write", "download", "clipboard"}));
  EXPECT_EQ(services.writtenPath, "D:\\out\\list.txt");
  EXPECT_EQ(services.writtenBytes, "first list\n");
  EXPECT_EQ(services.clipboard, "second list\n");
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(SaveAndCopyTest, NameEndingInTxtIsWrittenAsConfirmed) {
  services.fileName = "D:\\out\\list.TXT";
  services.downloads = {Ok("a"), Ok("b")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.writtenPath, "D:\\out\\list.TXT");
}

TEST_F(SaveAndCopyTest, ZeroByteEndsTheClipboardTextButNotTheFile) {
  services.downloads = {Ok("abc\0def"s), Ok("abc\0def"s)};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.writtenBytes, "abc\0def"s);
  EXPECT_EQ(services.clipboard, "abc");
}

TEST_F(SaveAndCopyTest, CancelWritesNothingAndStillCopies) {
  services.confirm = false;
  // Both requests are made; a failed first one concerns no file and says nothing.
  services.downloads = {NotFound(), Ok("list\n")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.calls, (Calls{"open", "download", "download", "clipboard"}));
  EXPECT_EQ(services.clipboard, "list\n");
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(SaveAndCopyTest, FailedFirstDownloadLeavesTheFileAndSaysWhy) {
  for (const ScriptedDownload& failure : {NotFound(), Dropped("half a li")}) {
    FakeServices s;
    s.downloads = {failure, Ok("second\n")};
    RunSaveAndCopy(s);
    EXPECT_EQ(s.calls, (Calls{"open", "name", "download", "download", "clipboard", "message"}));
    EXPECT_EQ(s.clipboard, "second\n");
    ASSERT_EQ(s.messages.size(), 1u);
    EXPECT_TRUE(Contains(s.messages[0], "D:\\out\\list.txt")) << s.messages[0];
    EXPECT_TRUE(Contains(s.messages[0], DescribeDownloadFailure(OutcomeOf(failure)))) << s.messages[0];
  }
}

TEST_F(SaveAndCopyTest, FailedSecondDownloadLeavesTheClipboardAndSaysWhy) {
  services.downloads = {Ok("first\n"), Dropped("sec")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.calls, (Calls{"open", "name", "download", "write", "download", "message"}));
  EXPECT_EQ(services.writtenBytes, "first\n");
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_TRUE(Contains(services.messages[0], DescribeDownloadFailure(OutcomeOf(Dropped("sec")))));
}

TEST_F(SaveAndCopyTest, BothFailuresAreToldInOneBox) {
  services.downloads = {NotFound(), Dropped("x")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.calls, (Calls{"open", "name", "download", "download", "message"}));
  ASSERT_EQ(services.messages.size(), 1u);
  const std::string& text = services.messages[0];
  EXPECT_TRUE(Contains(text, DescribeDownloadFailure(OutcomeOf(NotFound())))) << text;
  EXPECT_TRUE(Contains(text, DescribeDownloadFailure(OutcomeOf(Dropped("x"))))) << text;
}

TEST_F(SaveAndCopyTest, UnwritableFileNamesPathAndReasonAndStillCopies) {
  services.writeSucceeds = false;
  services.writeError = ERROR_SHARING_VIOLATION;
  services.downloads = {Ok("first\n"), Ok("second\n")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.clipboard, "second\n");
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_TRUE(Contains(services.messages[0], "D:\\out\\list.txt")) << services.messages[0];
  EXPECT_TRUE(Contains(services.messages[0], ErrorText(ERROR_SHARING_VIOLATION))) << services.messages[0];
}

TEST_F(SaveAndCopyTest, BusyClipboardIsTold) {
  services.clipboardSucceeds = false;
  services.downloads = {Ok("first\n"), Ok("second\n")};
  RunSaveAndCopy(services);
  EXPECT_EQ(services.writtenBytes, "first\n");
  EXPECT_EQ(services.messages.size(), 1u);
}

}  // namespace
