// The list download against servers that lie, stall, never end, redirect in
// circles or send what was not asked for: every answer ends, in the outcome
// the download defines, and the command tells the user and changes nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>
#include <zlib.h>

#include <string>
#include <thread>

#include "driver/driver.h"
#include "driver/servers.h"
#include "driver/values_text.h"
#include "export/download.h"
#include "export/download_error.h"
#include "real_export_services.h"

namespace {

using Kind = DownloadOutcome::Kind;

// "下载列表失败"
constexpr char kDownloadFailed[] = "\xCF\xC2\xD4\xD8\xC1\xD0\xB1\xED\xCA\xA7\xB0\xDC";

std::string Gunzip(const std::string& bytes) {
  z_stream stream = {};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return "(no inflate)";
  std::string out(64 * 1024, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  int result = inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return result == Z_STREAM_END ? out : "(not gzip)";
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

class HostileDownload : public testing::Test {
 protected:
  void SetUp() override {
    CloseDownloads();
    ClearRequests();
  }
  void TearDown() override { CloseDownloads(); }
};

struct HostileCase {
  const char* what;
  std::string url;
  Kind kind;
  DWORD statusOrError;  // the HTTP status for kHttpStatus, the error code for kNetwork
  std::string body;     // for kOk
};

TEST_F(HostileDownload, EveryAnswerEndsInItsOutcome) {
  const std::string loopUrl = HttpUrl("/loop");
  const HostileCase cases[] = {
      {"slow drip", HttpUrl("/drip/200/10"), DownloadOutcome::kOk, 0, PatternBytes(200)},
      {"redirect to ftp", HttpUrl("/redirect?to=ftp://127.0.0.1/list.txt"), DownloadOutcome::kHttpStatus, 302,
       ""},
      {"redirect to file", HttpUrl("/redirect?to=file:///c:/windows/win.ini"), DownloadOutcome::kHttpStatus,
       302, ""},
      {"redirect from http up to https", HttpUrl("/redirect?to=" + HttpsUrl("/len/11")), DownloadOutcome::kOk,
       0, PatternBytes(11)},
      {"redirect from https down to http", HttpsUrl("/redirect?to=" + HttpUrl("/len/13")),
       DownloadOutcome::kNetwork, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, ""},
      {"relative redirect", HttpUrl("/redirect?to=/len/12"), DownloadOutcome::kOk, 0, PatternBytes(12)},
      {"redirect to an expired certificate", HttpUrl("/redirect?to=" + HttpsUrl("/len/14", kExpiredPort)),
       DownloadOutcome::kNetwork, ERROR_INTERNET_SEC_CERT_DATE_INVALID, ""},
      {"redirect loop", loopUrl, DownloadOutcome::kHttpStatus, 302, ""},
      {"200 without length or body", HttpUrl("/nolen/0"), DownloadOutcome::kEmpty, 0, ""},
      {"204 no content", HttpUrl("/status/204"), DownloadOutcome::kEmpty, 0, ""},
      {"length at the ByteSet limit, short body", HttpUrl("/rawlen/20?v=2147483647"),
       DownloadOutcome::kTruncated, 0, ""},
      {"length beyond 2^64", HttpUrl("/rawlen/20?v=18446744073709551617"), DownloadOutcome::kTooLarge, 0, ""},
      {"length beyond the negative range", HttpUrl("/rawlen/20?v=-9223372036854775809"), DownloadOutcome::kOk,
       0, PatternBytes(20)},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.what);
    DownloadOutcome outcome;
    ByteSetValue body(HttpReadFile(c.url.c_str(), &outcome));
    EXPECT_EQ(outcome.kind, c.kind) << DescribeDownloadFailure(outcome) << " (" << outcome.failedCall << ")";
    EXPECT_EQ(BytesOf(body.get()), c.body);
    EXPECT_EQ(bool(body), c.kind == DownloadOutcome::kOk);
    if (c.kind == DownloadOutcome::kHttpStatus) {
      EXPECT_EQ(outcome.status, c.statusOrError);
    }
    if (c.kind == DownloadOutcome::kNetwork) {
      EXPECT_EQ(outcome.error, c.statusOrError);
    }
  }
  // The loop was followed ten times and then given up, not followed for ever.
  EXPECT_EQ(RequestsFor("/loop").size(), 11u);
  // The downgrade was refused before anything was asked over plain http.
  EXPECT_TRUE(RequestsFor("/len/13").empty());
  EXPECT_EQ(FindTopWindow(GetCurrentProcessId(), ""), nullptr) << "the download showed something";
}

TEST_F(HostileDownload, LengthShorterThanTheBodyGivesNoMoreThanWasSent) {
  // The platform decides whether the excess is read (Wine) or cut at the
  // announced length (Windows); either way the body is what the server sent.
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(HttpUrl("/long/100/200").c_str(), &outcome));
  ASSERT_TRUE(body) << DescribeDownloadFailure(outcome);
  EXPECT_EQ(outcome.kind, DownloadOutcome::kOk);
  EXPECT_EQ(outcome.chunk, 101u);
  size_t size = static_cast<size_t>(ByteCount(body.get()));
  EXPECT_TRUE(size == 100 || size == 200) << size;
  EXPECT_EQ(BytesOf(body.get()), PatternBytes(size));
}

TEST_F(HostileDownload, CompressedBodyIsHandedOnAsReceived) {
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(HttpUrl("/gzip").c_str(), &outcome));
  ASSERT_TRUE(body) << DescribeDownloadFailure(outcome);
  std::string bytes = BytesOf(body.get());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\x1f\x8b");  // still gzip, not decoded on the way
  EXPECT_EQ(Gunzip(bytes), Repeat("Varnook gzip test body.\n", 20));
  EXPECT_FALSE(RequestsFor("/gzip").at(0).HasHeader("Accept-Encoding"));
}

// A server that accepts and then says nothing, before its answer or in the
// middle of the body, holds the connection for an hour: the fetch must end on
// our own receive time-out, not with the server. Both run at once.
TEST_F(HostileDownload, SilentServerEndsTheFetchOnOurTimeOut) {
  DownloadOutcome beforeAnswer, inBody;
  ByteSet first = nullptr, second = nullptr;
  HINTERNET root = OpenInternetRoot();
  ASSERT_NE(root, nullptr);
  std::thread other([&] { second = FetchUrl(root, HttpUrl("/stall/3600").c_str(), &inBody); });
  first = HttpReadFile(HttpUrl("/mute/3600").c_str(), &beforeAnswer);
  other.join();
  InternetCloseHandle(root);

  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(beforeAnswer.kind, DownloadOutcome::kNetwork);
  EXPECT_STREQ(beforeAnswer.failedCall, "HttpSendRequestA");
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(inBody.kind, DownloadOutcome::kBrokenOff) << DescribeDownloadFailure(inBody);
  ReleaseValue(first);
  ReleaseValue(second);
}

// A body that never ends, sent as fast as it is read, ends at the largest
// count a ByteSet holds: 2^31 - 1 bytes arrive, the next one ends it.
TEST_F(HostileDownload, EndlessBodyEndsAtTheByteSetLimit) {
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(HttpUrl("/endless").c_str(), &outcome));
  EXPECT_FALSE(body);
  EXPECT_EQ(outcome.kind, DownloadOutcome::kTooLarge);
  EXPECT_EQ(outcome.received, kMaxByteSetCount + 1);
}

// The command on the same answers: a failed download leaves the file and the
// clipboard as they were and is told in one box; a good one is saved.
struct CommandCase {
  const char* what;
  std::string url;
  const char* told;  // a part of the box's text, nullptr when no box is due
};

TEST_F(HostileDownload, TheCommandTellsAndChangesNothing) {
  const std::string oldList = "old list\r\n";
  const CommandCase cases[] = {
      // "连接中断"
      {"reset mid-body", HttpUrl("/drop/100000/50000"), "\xC1\xAC\xBD\xD3\xD6\xD0\xB6\xCF"},
      {"lying length", HttpUrl("/short/5000/100"), "\xC1\xAC\xBD\xD3\xD6\xD0\xB6\xCF"},
      {"redirect loop", HttpUrl("/loop"), "302"},
      // "没有返回内容"
      {"empty body", HttpUrl("/zerolen"), "\xC3\xBB\xD3\xD0\xB7\xB5\xBB\xD8\xC4\xDA\xC8\xDD"},
      {"wrong host certificate", HttpsUrl("/len/10", kWrongHostPort), kDownloadFailed},
      {"self-signed certificate", HttpsUrl("/len/10", kSelfSignedPort), kDownloadFailed},
      {"compressed, not asked for", HttpUrl("/gzip"), nullptr},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string folder = MakeTempFolder("command");
    std::string path = folder + "\\list.txt";
    ASSERT_TRUE(WriteWholeFile(path, oldList));
    ASSERT_TRUE(PutClipboardText("clipboard before"));
    RealExportServices services(c.url, folder + "\\list");
    RunSaveAndCopy(services);
    if (!c.told) {
      EXPECT_TRUE(services.messages.empty());
      EXPECT_EQ(FileNow(path).substr(0, 2), "\x1f\x8b");
      continue;
    }
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_NE(services.messages[0].find(c.told), std::string::npos) << services.messages[0];
    EXPECT_NE(services.messages[0].find(path), std::string::npos) << services.messages[0];
    EXPECT_EQ(FileNow(path), oldList);
    EXPECT_EQ(ClipboardNow(), "clipboard before");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"list.txt"});
  }
}

}  // namespace
