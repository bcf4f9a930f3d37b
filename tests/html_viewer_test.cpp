// The browser panel in a window of the test's own: its window, the browser
// it holds with each engine, and what it shows from the local servers.
#include "app/html_viewer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/text_viewer_engine.h"
#include "driver/driver.h"
#include "driver/servers.h"
#include "panel_test_support.h"

namespace {

// "完成"
const char kDoneStatus[] = "\xCD\xEA\xB3\xC9";
const char kWebBrowserClass[] = "Shell Embedding";
const char kTextViewerClass[] = "VarnookTextViewer";
constexpr int kPanelId = 7;
const RECT kPanelPlace{-2, -2, 654, 520};
constexpr DWORD kPanelStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP;

struct ResolveCase {
  EngineChoice requested;
  const char* forced;
  bool systemHasHtml;
  EngineChoice made;
};

TEST(ResolveEngine, ExplicitChoiceThenVariableThenSystem) {
  using E = EngineChoice;
  const ResolveCase cases[] = {
      {E::kAuto, nullptr, true, E::kWebBrowser},
      {E::kAuto, nullptr, false, E::kTextViewer},
      {E::kAuto, "text", true, E::kTextViewer},
      {E::kAuto, "webbrowser", false, E::kWebBrowser},
      {E::kAuto, "gecko", true, E::kWebBrowser},
      {E::kAuto, "", false, E::kTextViewer},
      {E::kTextViewer, "webbrowser", true, E::kTextViewer},
      {E::kWebBrowser, "text", false, E::kWebBrowser},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolveEngine(c.requested, c.forced, c.systemHasHtml), c.made)
        << static_cast<int>(c.requested) << " " << (c.forced ? c.forced : "null") << " " << c.systemHasHtml;
}

HtmlViewerSettings Settings(int fontSize, const std::string& url) {
  HtmlViewerSettings s;
  s.fontSize = fontSize;
  s.url = url;
  return s;
}

HWND OnlyChild(HWND panel) {
  HWND child = GetWindow(panel, GW_CHILD);
  return child && !GetWindow(child, GW_HWNDNEXT) ? child : nullptr;
}

struct EngineCase {
  const char* name;
  EngineChoice choice;
  const char* browserClass;
};

class PanelWithEngine : public testing::TestWithParam<EngineCase> {
 protected:
  void SetUp() override {
    panel = CreateHtmlViewer(window.get(), kPanelId, kPanelPlace, kPanelStyle, Settings(2, ""),
                             GetParam().choice);
    ASSERT_NE(panel, nullptr);
    browser = OnlyChild(panel);
    ASSERT_NE(browser, nullptr) << "the browser must be the panel's only child";
  }

  TestWindow window;
  HWND panel = nullptr;
  HWND browser = nullptr;
};

TEST_P(PanelWithEngine, IsAHiddenChildOfItsClassWithTheBrowserOverItsClientArea) {
  EXPECT_EQ(ClassNameOf(panel), "VarnookHtmlViewer");
  EXPECT_EQ(GetClassLongPtrA(panel, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
  EXPECT_EQ(GetClassLongPtrA(panel, GCLP_HCURSOR),
            reinterpret_cast<ULONG_PTR>(LoadCursor(nullptr, IDC_ARROW)));
  EXPECT_EQ(GetClassLongPtrA(panel, GCLP_HBRBACKGROUND),
            reinterpret_cast<ULONG_PTR>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetClassLongPtrA(panel, GCLP_HICON), 0u);
  EXPECT_EQ(GetDlgCtrlID(panel), kPanelId);
  EXPECT_EQ(TextOf(panel), "");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(panel, GWL_STYLE)) & ~WS_VISIBLE & ~kPanelStyle, 0u);
  EXPECT_FALSE(IsWindowVisible(panel)) << "the window shows its controls itself";
  RECT place = PlaceInParent(panel);
  EXPECT_TRUE(EqualRect(&place, &kPanelPlace));

  EXPECT_EQ(ClassNameOf(browser), GetParam().browserClass);
  EXPECT_NE(GetWindowLongA(browser, GWL_STYLE) & WS_VISIBLE, 0);
  RECT client, shown = PlaceInParent(browser);
  GetClientRect(panel, &client);
  EXPECT_TRUE(EqualRect(&shown, &client));
}

TEST_P(PanelWithEngine, BrowserFollowsThePanelsSize) {
  SetWindowPos(panel, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  RECT shown = PlaceInParent(browser), want{0, 0, 300, 200};
  EXPECT_TRUE(EqualRect(&shown, &want));
}

TEST_P(PanelWithEngine, PassesTheFocusToTheBrowser) {
  ShowWindow(panel, SW_SHOWNA);
  SetFocus(panel);
  HWND focus = GetFocus();
  EXPECT_TRUE(focus == browser || IsChild(browser, focus)) << ClassNameOf(focus);
}

TEST_P(PanelWithEngine, TakesTheBrowserAlongWhenDestroyed) {
  DestroyWindow(panel);
  EXPECT_FALSE(IsWindow(browser));
}

INSTANTIATE_TEST_SUITE_P(
    Engines, PanelWithEngine,
    testing::Values(EngineCase{"WebBrowser", EngineChoice::kWebBrowser, kWebBrowserClass},
                    EngineCase{"TextViewer", EngineChoice::kTextViewer, kTextViewerClass}),
    [](const testing::TestParamInfo<EngineCase>& info) { return std::string(info.param.name); });

class EngineVariable : public testing::Test {
 protected:
  ~EngineVariable() override { SetEnvironmentVariableA(kEngineVariable, nullptr); }
  std::string BrowserClassMade() {
    HWND panel = CreateHtmlViewer(window.get(), kPanelId, kPanelPlace, kPanelStyle, Settings(2, ""));
    std::string made = panel ? ClassNameOf(OnlyChild(panel)) : "no panel";
    if (panel) DestroyWindow(panel);
    return made;
  }
  TestWindow window;
};

TEST_F(EngineVariable, ForcesTheEngineElseTheSystemDecides) {
  SetEnvironmentVariableA(kEngineVariable, nullptr);
  EXPECT_EQ(BrowserClassMade(), SystemHasHtmlEngine() ? kWebBrowserClass : kTextViewerClass);
  SetEnvironmentVariableA(kEngineVariable, "webbrowser");
  EXPECT_EQ(BrowserClassMade(), kWebBrowserClass);
  SetEnvironmentVariableA(kEngineVariable, "text");
  EXPECT_EQ(BrowserClassMade(), kTextViewerClass);
}

// The panel as the program has it where no HTML engine exists: the text viewer.
class TextPanel : public testing::Test {
 protected:
  HWND Create(const HtmlViewerSettings& settings) {
    panel = CreateHtmlViewer(window.get(), kPanelId, kPanelPlace, kPanelStyle, settings,
                             EngineChoice::kTextViewer);
    if (panel) ShowWindow(panel, SW_SHOWNA);
    return panel;
  }
  HWND Edit() const { return GetWindow(GetWindow(panel, GW_CHILD), GW_CHILD); }

  TestWindow window;
  HWND panel = nullptr;
};

TEST_F(TextPanel, ShowsThePageWithItsTitleAndStatus) {
  // By name: Wine matches the certificate against host names only, not addresses.
  std::string url = "https://localhost/len/2000?panel";
  ASSERT_NE(Create(Settings(2, url)), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return HtmlViewerCaption(panel) == url; }));
  std::string body = PatternBody(2000);
  EXPECT_EQ(TextOf(GetWindow(panel, GW_CHILD)),
            TextForEdit(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
  EXPECT_EQ(HtmlViewerStatusText(panel), kDoneStatus);
}

TEST_F(TextPanel, StoredFontSizeIsClampedToTheFiveSizes) {
  const int cases[][2] = {{-1, 0}, {2, 2}, {7, 4}};
  for (const auto& c : cases) {
    ASSERT_NE(Create(Settings(c[0], "")), nullptr);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Edit(), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(-font.lfHeight, TextViewerFontHeight(c[1])) << c[0];
    DestroyWindow(panel);
  }
}

// Holds Ctrl down in this thread's key state, as GetKeyState sees it.
class CtrlHeld {
 public:
  CtrlHeld() {
    GetKeyboardState(saved_);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    SetKeyboardState(keys);
  }
  ~CtrlHeld() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256];
};

TEST_F(TextPanel, OffersKeysToTheBrowserOnlyWhileItHasTheFocus) {
  ASSERT_NE(Create(Settings(2, "")), nullptr);
  SetWindowTextA(Edit(), "line one\r\nline two");
  CtrlHeld ctrl;
  MSG selectAll{Edit(), WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  MSG tab{Edit(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};

  SetFocus(window.get());
  EXPECT_FALSE(HtmlViewerPreTranslate(&selectAll)) << "the focus is outside the panel";

  SetFocus(panel);
  EXPECT_TRUE(HtmlViewerPreTranslate(&selectAll));
  DWORD start = 0, end = 0;
  SendMessageA(Edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthA(Edit())));
  EXPECT_FALSE(HtmlViewerPreTranslate(&tab)) << "Tab is left to the window's own key rules";
}

}  // namespace
