// The built-in text viewer: what it shows, the notifications it raises, and
// its loads against the local servers, including one broken off mid-way.
#include "app/text_viewer_engine.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/servers.h"
#include "export/download.h"
#include "export/download_error.h"
#include "panel_test_support.h"

namespace {

// "完成"
const char kDoneStatus[] = "\xCD\xEA\xB3\xC9";
// "无法显示该网页"
const char kCannotShow[] = "\xCE\xDE\xB7\xA8\xCF\xD4\xCA\xBE\xB8\xC3\xCD\xF8\xD2\xB3";
// "脱机浏览：未从网络读取此网页。"
const char kOfflineNotice[] =
    "\xCD\xD1\xBB\xFA\xE4\xAF\xC0\xC0\xA3\xBA\xCE\xB4\xB4\xD3\xCD\xF8\xC2\xE7\xB6\xC1\xC8\xA1\xB4\xCB\xCD\xF8"
    "\xD2\xB3\xA1\xA3";

struct EditCase {
  std::string bytes, text;
};

TEST(ShownLength, LongPagesAreCutAfterTheirLastLineEndBeforeTheLimit) {
  std::string page(kMostShownBytes + 100, 'a');
  page[1000] = '\n';
  page[kMostShownBytes - 10] = '\n';
  page[kMostShownBytes + 5] = '\n';
  auto bytes = [](const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); };
  EXPECT_EQ(ShownLength(bytes(page), page.size()), kMostShownBytes - 9);
  EXPECT_EQ(ShownLength(bytes(page), kMostShownBytes), kMostShownBytes);  // at the limit: whole
  std::string noLineEnd(kMostShownBytes + 1, 'b');
  EXPECT_EQ(ShownLength(bytes(noLineEnd), noLineEnd.size()), kMostShownBytes);
}

TEST(TextForEdit, MakesLinesAnEditControlShows) {
  const EditCase cases[] = {
      {"", ""},
      {"a\nb\n", "a\r\nb\r\n"},
      {"\n\nx", "\r\n\r\nx"},
      {"a\r\nb", "a\r\nb"},                            // already CRLF: left alone
      {"a\rb", "a\rb"},                                // a lone CR is not a line end we add to
      {std::string("ab\0cd\n", 6), "ab"},              // an EDIT cannot hold past a zero byte
      {"\xC1\xD0\xB1\xED\n", "\xC1\xD0\xB1\xED\r\n"},  // GBK "列表" kept byte for byte
  };
  for (const auto& c : cases) {
    auto bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    EXPECT_EQ(TextForEdit(bytes, c.bytes.size()), c.text) << '"' << c.bytes << '"';
  }
}

TEST(TextViewerFontHeight, GrowsWithTheLevelAndClampsOutside) {
  for (int level = 1; level <= 4; ++level)
    EXPECT_GT(TextViewerFontHeight(level), TextViewerFontHeight(level - 1)) << level;
  EXPECT_EQ(TextViewerFontHeight(-1), TextViewerFontHeight(0));
  EXPECT_EQ(TextViewerFontHeight(7), TextViewerFontHeight(4));
}

class RecordingEvents : public BrowserEvents {
 public:
  std::vector<std::string> seen;
  bool cancelNavigation = false;
  void OnBeforeNavigate(const std::string& url, bool* cancel) override {
    seen.push_back("BeforeNavigate " + url);
    *cancel = cancelNavigation;
  }
  void OnNavigateComplete(const std::string& url) override { seen.push_back("NavigateComplete " + url); }
  void OnDownloadBegin() override { seen.push_back("DownloadBegin"); }
  void OnProgressChange(long progress, long progressMax) override {
    seen.push_back("ProgressChange " + std::to_string(progress) + "/" + std::to_string(progressMax));
  }
  void OnDownloadComplete() override { seen.push_back("DownloadComplete"); }
  void OnDocumentComplete(const std::string& url) override { seen.push_back("DocumentComplete " + url); }
  void OnStatusTextChange(const std::string& text) override { seen.push_back("StatusText " + text); }
  void OnTitleChange(const std::string& title) override { seen.push_back("Title " + title); }
  void OnCommandStateChange(long command, bool enabled) override {
    seen.push_back("CommandState " + std::to_string(command) + (enabled ? " on" : " off"));
  }
  void OnNewWindow(bool*) override { seen.push_back("NewWindow"); }

  bool Saw(const std::string& event) const {
    for (const auto& e : seen)
      if (e == event) return true;
    return false;
  }
};

// The notifications of one finished load, in the system browser's order.
std::vector<std::string> LoadEvents(const std::string& url, long bytes, const std::string& title) {
  std::string progress = std::to_string(bytes) + "/" + std::to_string(bytes);
  return {"BeforeNavigate " + url,
          "DownloadBegin",
          "ProgressChange " + progress,
          "DownloadComplete",
          "NavigateComplete " + url,
          "DocumentComplete " + url,
          std::string("StatusText ") + kDoneStatus,
          "Title " + title};
}

// No window of ours but the test's own is shown: the viewer has no dialogs.
bool OnlyTheTestWindowIsShown(HWND testWindow) {
  struct Search {
    HWND testWindow;
    int others = 0;
  } search{testWindow};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (w != s->testWindow && IsWindowVisible(w)) ++s->others;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.others == 0;
}

class TextViewer : public testing::Test {
 protected:
  void SetUp() override {
    RECT client;
    GetClientRect(window.get(), &client);
    viewerWindow = engine->Create(window.get(), client, &events);
    ASSERT_NE(viewerWindow, nullptr);
  }
  bool WaitForDocument(const std::string& url) {
    return PumpUntil([&] { return events.Saw("DocumentComplete " + url); });
  }

  TestWindow window;
  RecordingEvents events;
  std::unique_ptr<TextViewerEngine> engine = std::make_unique<TextViewerEngine>();
  HWND viewerWindow = nullptr;
};

TEST_F(TextViewer, ShowsThePageFetchedWithTheProgramsRequestRules) {
  // By name: Wine matches the certificate against host names only, not addresses.
  std::string url = "https://localhost/len/3000?viewer";
  ASSERT_EQ(engine->Navigate(url), S_OK);
  ASSERT_TRUE(WaitForDocument(url));

  std::string body = PatternBody(3000);
  EXPECT_EQ(TextOf(viewerWindow),
            TextForEdit(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
  EXPECT_EQ(events.seen, LoadEvents(url, 3000, url));

  auto requests = RequestsFor("/len/3000?viewer");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].tls);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].version, "HTTP/1.0");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(requests[0].Header("Accept"), "*/*");
}

TEST_F(TextViewer, ShowsAChineseErrorPageWhenTheServerRefuses) {
  std::string url = HttpUrl("/status/404?viewer");
  engine->Navigate(url);
  ASSERT_TRUE(WaitForDocument(url));

  DownloadOutcome refused;
  refused.kind = DownloadOutcome::kHttpStatus;
  refused.status = 404;
  std::string page = TextOf(viewerWindow);
  EXPECT_EQ(page.find(kCannotShow), 0u) << page;
  EXPECT_NE(page.find(DescribeDownloadFailure(refused)), std::string::npos) << page;
  EXPECT_NE(page.find(url), std::string::npos) << page;
  EXPECT_EQ(events.seen, LoadEvents(url, 0, kCannotShow));
  EXPECT_TRUE(OnlyTheTestWindowIsShown(window.get()));
}

TEST_F(TextViewer, ShowsTheOfflineNoticeAndFetchesNothingWhenOffline) {
  std::string url = HttpUrl("/len/100?viewer-offline");
  engine->PutOffline(true);
  engine->Navigate(url);
  ASSERT_TRUE(WaitForDocument(url));
  EXPECT_EQ(TextOf(viewerWindow), std::string(kOfflineNotice) + "\r\n\r\n" + url);
  EXPECT_EQ(events.seen, LoadEvents(url, 0, kOfflineNotice));
  EXPECT_TRUE(RequestsFor("/len/100?viewer-offline").empty());
}

TEST_F(TextViewer, ACancelledNavigationStartsNothing) {
  events.cancelNavigation = true;
  std::string url = HttpUrl("/len/100?viewer-cancel");
  engine->Navigate(url);
  EXPECT_EQ(events.seen, std::vector<std::string>{"BeforeNavigate " + url});
}

TEST_F(TextViewer, ZoomLevelsSetTheFixedPitchFontSize) {
  HWND edit = GetWindow(viewerWindow, GW_CHILD);
  ASSERT_NE(edit, nullptr);
  auto shownHeight = [&](int level) {
    engine->SetZoom(level);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_NE(font.lfPitchAndFamily & FIXED_PITCH, 0) << level;
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
  };
  const int cases[][2] = {{-1, 0}, {0, 0}, {2, 2}, {4, 4}, {7, 4}};
  for (const auto& c : cases) EXPECT_EQ(shownHeight(c[0]), TextViewerFontHeight(c[1])) << c[0];
}

// Teardown mid-load must not wait for the server. The server holds /hang
// open for two minutes, so a teardown that waited for the load would take
// that long instead of an instant.
TEST_F(TextViewer, TearsDownWhileALoadHangs) {
  engine->Navigate(HttpUrl("/hang?viewer"));
  ASSERT_TRUE(PumpUntil([] { return !RequestsFor("/hang?viewer").empty(); }));
  DWORD start = GetTickCount();
  engine.reset();
  EXPECT_LT(GetTickCount() - start, 10000u) << "the GUI thread waited for the network";
  EXPECT_FALSE(IsWindow(viewerWindow));
}

// A second navigation supersedes the first: the first one's late report is
// dropped. Its server finishes one second in, so its worker reports (under
// Wine, which does not break the read off) while the test still watches.
TEST_F(TextViewer, ANewNavigationReplacesARunningOne) {
  std::string slow = HttpUrl("/drip/10/100?viewer");
  engine->Navigate(slow);
  ASSERT_TRUE(PumpUntil([] { return !RequestsFor("/drip/10/100?viewer").empty(); }));
  std::string url = HttpUrl("/len/64?viewer");
  engine->Navigate(url);
  ASSERT_TRUE(WaitForDocument(url));
  PumpUntil([] { return false; }, 2000);
  std::vector<std::string> expected = {"BeforeNavigate " + slow, "DownloadBegin"};
  for (const auto& e : LoadEvents(url, 64, url)) expected.push_back(e);
  EXPECT_EQ(events.seen, expected);
  EXPECT_EQ(TextOf(viewerWindow).substr(0, 6), "abcdef");
}

}  // namespace
