#include "export/download.h"

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "driver/driver.h"
#include "driver/servers.h"
#include "driver/values_text.h"
#include "export/download_error.h"

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

int opens = 0;
bool failNextOpen = false;

HINTERNET WINAPI CountingOpen(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
  ++opens;
  if (failNextOpen) {
    failNextOpen = false;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return InternetOpenA(agent, access, proxy, bypass, flags);
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseDownloads();
    opens = 0;
    failNextOpen = false;
    SetInternetOpenForTesting(CountingOpen);
    ClearRequests();
  }
  void TearDown() override {
    CloseDownloads();
    SetInternetOpenForTesting(nullptr);
  }
};

TEST_F(DownloadTest, SendsTheProgramsRequest) {
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(HttpUrl("/len/100?q=1#part").c_str(), &outcome));
  ASSERT_TRUE(body) << DescribeDownloadFailure(outcome);
  EXPECT_EQ(BytesOf(body.get()), PatternBytes(100));
  EXPECT_EQ(outcome.kind, DownloadOutcome::kOk);
  EXPECT_EQ(outcome.status, 200u);

  auto requests = ReadRequests();
  ASSERT_EQ(requests.size(), 1u);
  const LoggedRequest& r = requests[0];
  EXPECT_EQ(r.requestLine, "GET /len/100?q=1 HTTP/1.0");  // the fragment stays here
  EXPECT_EQ(r.Header("User-Agent"), kAgent);
  EXPECT_NE(r.Header("Accept").find("*/*"), std::string::npos) << r.Header("Accept");
  EXPECT_FALSE(r.HasHeader("If-Modified-Since"));
  EXPECT_FALSE(r.HasHeader("If-None-Match"));
}

TEST_F(DownloadTest, ChunkFollowsTheAnnouncedLength) {
  struct Case {
    const char* path;
    size_t chunk;
    size_t size;
  } cases[] = {
      {"/len/5000", 5001, 5000},
      {"/len/200000", 102400, 200000},
      {"/nolen/30000", 10240, 30000},
      {"/badlen/3000", 10240, 3000},
      {"/rawlen/12?v=%20%2B12", 13, 12},
      {"/rawlen/50?v=-5", 10240, 50},
  };
  for (const Case& c : cases) {
    DownloadOutcome outcome;
    ByteSetValue body(HttpReadFile(HttpUrl(c.path).c_str(), &outcome));
    EXPECT_EQ(outcome.chunk, c.chunk) << c.path;
    ASSERT_TRUE(body) << c.path << ": " << DescribeDownloadFailure(outcome);
    EXPECT_EQ(BytesOf(body.get()), PatternBytes(c.size)) << c.path;
  }
}

TEST_F(DownloadTest, BodyIsReturnedByteForByte) {
  ByteSetValue body(HttpReadFile(HttpUrl("/zeros").c_str()));
  ASSERT_TRUE(body);
  EXPECT_EQ(BytesOf(body.get()), std::string("abc\0def\0ghi", 11));
}

TEST_F(DownloadTest, StatusOutsideSuccessFails) {
  struct Case {
    const char* path;
    DWORD status;
    bool ok;
  } cases[] = {
      {"/status/404", 404, false}, {"/status/500", 500, false}, {"/status/300", 300, false},
      {"/status/201", 201, true},  {"/status/299", 299, true},
  };
  for (const Case& c : cases) {
    DownloadOutcome outcome;
    ByteSetValue body(HttpReadFile(HttpUrl(c.path).c_str(), &outcome));
    EXPECT_EQ(outcome.status, c.status) << c.path;
    EXPECT_EQ(bool(body), c.ok) << c.path;
    EXPECT_EQ(outcome.kind, c.ok ? DownloadOutcome::kOk : DownloadOutcome::kHttpStatus) << c.path;
  }
}

TEST_F(DownloadTest, IncompleteBodyFails) {
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(HttpUrl("/short/100000/50000").c_str(), &outcome));
  EXPECT_FALSE(body);
  EXPECT_EQ(outcome.kind, DownloadOutcome::kTruncated);
  EXPECT_EQ(outcome.announced, 100000);
  EXPECT_EQ(outcome.received, 50000);

  // A reset mid-body: the read fails, or the body ends short, or (when WinINet
  // has already taken in the whole transfer while sending) the send fails.
  body.reset(HttpReadFile(HttpUrl("/drop/100000/50000").c_str(), &outcome));
  EXPECT_FALSE(body);
  EXPECT_TRUE(outcome.kind == DownloadOutcome::kBrokenOff || outcome.kind == DownloadOutcome::kTruncated ||
              outcome.kind == DownloadOutcome::kNetwork)
      << outcome.kind;
  EXPECT_LT(outcome.received, 100000);
}

TEST_F(DownloadTest, EmptyBodyIsMissing) {
  DownloadOutcome outcome;
  EXPECT_EQ(HttpReadFile(HttpUrl("/zerolen").c_str(), &outcome), nullptr);
  EXPECT_EQ(outcome.kind, DownloadOutcome::kEmpty);
  EXPECT_EQ(outcome.chunk, 10240u);
}

TEST_F(DownloadTest, LengthBeyondAByteSetIsTooLarge) {
  const char* paths[] = {
      "/rawlen/10?v=2147483648",
      "/rawlen/10?v=9223372036854775808",
      "/rawlen/10?v=99999999999999999999",
  };
  for (const char* path : paths) {
    DownloadOutcome outcome;
    ByteSetValue body(HttpReadFile(HttpUrl(path).c_str(), &outcome));
    EXPECT_FALSE(body) << path;
    EXPECT_EQ(outcome.chunk, 102400u) << path;
    EXPECT_EQ(outcome.kind, DownloadOutcome::kTooLarge) << path << ": " << DescribeDownloadFailure(outcome);
  }
}

TEST_F(DownloadTest, UnreachableServersFailWithoutMessage) {
  struct Case {
    std::string url;
    DWORD error;
  } cases[] = {
      {"http://127.0.0.1:9/list.txt", ERROR_INTERNET_CANNOT_CONNECT},
      {"http://no-such-host.invalid/list.txt", ERROR_INTERNET_NAME_NOT_RESOLVED},
      {HttpsUrl("/len/10", kExpiredPort), ERROR_INTERNET_SEC_CERT_DATE_INVALID},
      {HttpsUrl("/len/10", kWrongHostPort), ERROR_INTERNET_SEC_CERT_CN_INVALID},
      {HttpsUrl("/len/10", kSelfSignedPort), ERROR_INTERNET_INVALID_CA},
  };
  for (const Case& c : cases) {
    DownloadOutcome outcome;
    ByteSetValue body(HttpReadFile(c.url.c_str(), &outcome));
    EXPECT_FALSE(body) << c.url;
    EXPECT_EQ(outcome.kind, DownloadOutcome::kNetwork) << c.url;
    EXPECT_EQ(outcome.error, c.error) << c.url << ": " << outcome.failedCall;
  }
  EXPECT_EQ(FindTopWindow(GetCurrentProcessId(), ""), nullptr);
  // None of the certificate failures reached the point of asking for the path.
  EXPECT_TRUE(RequestsFor("/len/10").empty());
}

TEST_F(DownloadTest, LongUrlIsCanonicalizedInALargerBuffer) {
  // Longer than the first canonical buffer of 2084 characters, with a path
  // that still fits the cracker's 2048.
  std::string target = "/len/10?pad=" + std::string(1900, 'x');
  std::string url = "http://" + std::string(100, 'u') + ":" + std::string(100, 'p') + "@127.0.0.1:" +
                    std::to_string(kHttpPort) + target;
  ASSERT_GT(url.size(), 2084u);
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(url.c_str(), &outcome));
  ASSERT_TRUE(body) << DescribeDownloadFailure(outcome);
  EXPECT_EQ(BytesOf(body.get()), PatternBytes(10));
  EXPECT_EQ(RequestsFor(target).size(), 1u);
}

TEST_F(DownloadTest, UnusableUrlsAskNothing) {
  std::string tooLongPath = HttpUrl("/" + std::string(2100, 'x'));
  const char* urls[] = {nullptr, "", "ftp://127.0.0.1:8080/len/10", "no url at all", "file:///c:/list.txt",
                        tooLongPath.c_str()};
  for (const char* url : urls) {
    DownloadOutcome outcome;
    EXPECT_EQ(HttpReadFile(url, &outcome), nullptr) << (url ? url : "(missing)");
    EXPECT_EQ(outcome.kind, DownloadOutcome::kBadUrl) << (url ? url : "(missing)");
  }
  EXPECT_EQ(opens, 0);
  EXPECT_TRUE(ReadRequests().empty());
}

TEST_F(DownloadTest, SecondCallReusesTheRootAndAsksAgain) {
  std::string url = HttpUrl("/len/777");
  for (int call = 0; call < 2; ++call) {
    ByteSetValue body(HttpReadFile(url.c_str()));
    ASSERT_TRUE(body) << call;
    EXPECT_EQ(BytesOf(body.get()), PatternBytes(777));
  }
  EXPECT_EQ(opens, 1);
  auto requests = RequestsFor("/len/777");
  ASSERT_EQ(requests.size(), 2u);
  for (const LoggedRequest& r : requests) {
    EXPECT_FALSE(r.HasHeader("If-Modified-Since"));
    EXPECT_FALSE(r.HasHeader("If-None-Match"));
  }
}

TEST_F(DownloadTest, FailedRootOpenIsTriedAgain) {
  failNextOpen = true;
  DownloadOutcome outcome;
  EXPECT_EQ(HttpReadFile(HttpUrl("/len/10").c_str(), &outcome), nullptr);
  EXPECT_EQ(outcome.kind, DownloadOutcome::kNetwork);
  EXPECT_STREQ(outcome.failedCall, "InternetOpenA");
  EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(ReadRequests().empty());

  ByteSetValue body(HttpReadFile(HttpUrl("/len/10").c_str()));
  EXPECT_TRUE(body);
  EXPECT_EQ(opens, 2);
}

TEST_F(DownloadTest, ListUrlThroughTheListHost) {
  DownloadOutcome outcome;
  ByteSetValue body(HttpReadFile(kListUrl, &outcome));
  ASSERT_TRUE(body) << DescribeDownloadFailure(outcome);
  EXPECT_EQ(BytesOf(body.get()), SampleList());
  auto requests = RequestsFor(kListPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].port, kHttpsPort);
  EXPECT_TRUE(requests[0].tls);
  EXPECT_EQ(requests[0].Header("Host"), "raw.githubusercontent.com");
}

TEST_F(DownloadTest, LargeBodyArrivesWhole) {
  const size_t size = 64u << 20;
  const std::string expected = PatternBytes(size);
  for (const char* route : {"/big/", "/bignolen/"}) {
    DownloadOutcome outcome;
    ByteSetValue body(HttpReadFile(HttpUrl(route + std::to_string(size)).c_str(), &outcome));
    ASSERT_TRUE(body) << route << ": " << DescribeDownloadFailure(outcome);
    EXPECT_EQ(static_cast<size_t>(ByteCount(body.get())), size) << route;
    EXPECT_TRUE(memcmp(ByteData(body.get()), expected.data(), size) == 0) << route;
  }
}

TEST_F(DownloadTest, FetchUrlOnWorkerThreads) {
  // Two loaders, each on its own root, at the same time.
  HINTERNET roots[2] = {OpenInternetRoot(), OpenInternetRoot()};
  ASSERT_TRUE(roots[0] && roots[1]);
  std::string got[2];
  std::thread workers[2];
  for (int i = 0; i < 2; ++i) {
    workers[i] = std::thread([&, i] {
      ByteSetValue body(FetchUrl(roots[i], HttpUrl("/len/200000").c_str(), nullptr));
      got[i] = BytesOf(body.get());
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(got[0], PatternBytes(200000));
  EXPECT_EQ(got[1], PatternBytes(200000));

  // Closing a root under a running fetch ends that fetch as a failure. (Wine
  // lets a read already waiting on the socket finish; the fetch's next call on
  // the closed handles fails.)
  ClearRequests();
  DownloadOutcome outcome;
  bool returned = false;
  ByteSet body = nullptr;
  std::thread slow([&] {
    body = FetchUrl(roots[0], HttpUrl("/drip/100/30").c_str(), &outcome);
    returned = true;
  });
  ASSERT_TRUE(WaitUntil([] { return !RequestsFor("/drip/100/30").empty(); }, 30000));
  InternetCloseHandle(roots[0]);
  slow.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(body, nullptr);
  EXPECT_NE(outcome.kind, DownloadOutcome::kOk);
  InternetCloseHandle(roots[1]);
}

TEST(DescribeDownloadFailure, SaysWhatFailedAndWhy) {
  // "下载列表失败："
  const std::string prefix = "\xcf\xc2\xd4\xd8\xc1\xd0\xb1\xed\xca\xa7\xb0\xdc\xa3\xba";
  const std::string fullStop = "\xa1\xa3";  // "。"
  DownloadOutcome outcome;
  struct Case {
    DownloadOutcome::Kind kind;
    DWORD status;
    std::string expected;
  } cases[] = {
      // "服务器返回 HTTP 404。"
      {DownloadOutcome::kHttpStatus, 404, prefix + "\xb7\xfe\xce\xf1\xc6\xf7\xb7\xb5\xbb\xd8 HTTP 404\xa1\xa3"},
      // "连接中断，列表不完整。"
      {DownloadOutcome::kTruncated, 200,
       prefix + "\xc1\xac\xbd\xd3\xd6\xd0\xb6\xcf\xa3\xac\xc1\xd0\xb1\xed\xb2\xbb\xcd\xea\xd5\xfb\xa1\xa3"},
      {DownloadOutcome::kBrokenOff, 200,
       prefix + "\xc1\xac\xbd\xd3\xd6\xd0\xb6\xcf\xa3\xac\xc1\xd0\xb1\xed\xb2\xbb\xcd\xea\xd5\xfb\xa1\xa3"},
      // "列表过大。"
      {DownloadOutcome::kTooLarge, 200, prefix + "\xc1\xd0\xb1\xed\xb9\xfd\xb4\xf3\xa1\xa3"},
      // "服务器没有返回内容。"
      {DownloadOutcome::kEmpty, 200,
       prefix + "\xb7\xfe\xce\xf1\xc6\xf7\xc3\xbb\xd3\xd0\xb7\xb5\xbb\xd8\xc4\xda\xc8\xdd\xa1\xa3"},
      {DownloadOutcome::kOk, 200, ""},
  };
  for (const Case& c : cases) {
    outcome.kind = c.kind;
    outcome.status = c.status;
    EXPECT_EQ(DescribeDownloadFailure(outcome), c.expected) << c.kind;
  }

  // A WinINet failure carries the system's own text, on one line.
  outcome.kind = DownloadOutcome::kNetwork;
  outcome.error = ERROR_INTERNET_NAME_NOT_RESOLVED;
  std::string text = DescribeDownloadFailure(outcome);
  EXPECT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
  EXPECT_GT(text.size(), prefix.size() + fullStop.size());
  EXPECT_EQ(text.compare(text.size() - fullStop.size(), fullStop.size(), fullStop), 0) << text;
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;

  // A code the system has no text for is named by its number: "错误代码 987654"
  EXPECT_EQ(ErrorText(987654), "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb 987654");
}

}  // namespace
