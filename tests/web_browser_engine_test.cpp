// The WebBrowser engine: the exact IWebBrowser2 calls the panel makes,
// checked on a fake browser, and the real control hosted by our own site.
#include "app/web_browser_engine.h"

#include <exdisp.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/html_viewer.h"
#include "driver/driver.h"
#include "driver/servers.h"
#include "export/download.h"
#include "panel_test_support.h"

namespace {

std::string DescribeText(const wchar_t* text, UINT length) {
  std::string out = "'";
  for (UINT i = 0; i < length; ++i) {
    if (text[i] >= 0x20 && text[i] < 0x7f) {
      out += static_cast<char>(text[i]);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(text[i]));
      out += code;
    }
  }
  return out + "'";
}

std::string DescribeBstr(BSTR text) {
  if (!text) return "null";
  return DescribeText(text, SysStringLen(text));
}

// A VARIANT* argument as type and value: "VT_I4 0", "VT_BSTR ''", "VT_EMPTY", "null".
std::string DescribeVariant(const VARIANT* v) {
  if (!v) return "null";
  switch (v->vt) {
    case VT_EMPTY:
      return "VT_EMPTY";
    case VT_I4:
      return "VT_I4 " + std::to_string(v->lVal);
    case VT_BSTR:
      return "VT_BSTR " + DescribeBstr(v->bstrVal);
    default:
      return "vt " + std::to_string(v->vt);
  }
}

// Records the four calls the panel makes; everything else is refused.
class FakeWebBrowser : public IWebBrowser2 {
 public:
  std::vector<std::string> calls;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IWebBrowser && iid != IID_IWebBrowserApp &&
        iid != IID_IWebBrowser2)
      return E_NOINTERFACE;
    *out = static_cast<IWebBrowser2*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;

  STDMETHODIMP put_Offline(VARIANT_BOOL value) override {
    calls.push_back("put_Offline " + std::to_string(value));
    return S_OK;
  }
  STDMETHODIMP put_Silent(VARIANT_BOOL value) override {
    calls.push_back("put_Silent " + std::to_string(value));
    return S_OK;
  }
  STDMETHODIMP ExecWB(OLECMDID command, OLECMDEXECOPT option, VARIANT* in, VARIANT* out) override {
    calls.push_back("ExecWB " + std::to_string(command) + " " + std::to_string(option) + " " +
                    DescribeVariant(in) + " out " + (out ? "given" : "null"));
    return S_OK;
  }
  STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* postData,
                        VARIANT* headers) override {
    calls.push_back("Navigate " + DescribeBstr(url) + " | " + DescribeVariant(flags) + " | " +
                    DescribeVariant(target) + " | " + DescribeVariant(postData) + " | " +
                    DescribeVariant(headers));
    return S_OK;
  }

  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GoBack() override { return E_NOTIMPL; }
  STDMETHODIMP GoForward() override { return E_NOTIMPL; }
  STDMETHODIMP GoHome() override { return E_NOTIMPL; }
  STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
  STDMETHODIMP Refresh() override { return E_NOTIMPL; }
  STDMETHODIMP Refresh2(VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP Stop() override { return E_NOTIMPL; }
  STDMETHODIMP get_Application(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Parent(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Container(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_Document(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Type(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Left(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Left(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Top(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Top(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Width(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Width(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Height(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Height(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationURL(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP Quit() override { return E_NOTIMPL; }
  STDMETHODIMP ClientToWindow(int*, int*) override { return E_NOTIMPL; }
  STDMETHODIMP PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Path(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusText(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusText(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_ToolBar(int*) override { return E_NOTIMPL; }
  STDMETHODIMP put_ToolBar(int) override { return E_NOTIMPL; }
  STDMETHODIMP get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
  STDMETHODIMP ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }
};

}  // namespace

namespace {

const char kNavigateDefaults[] = " | VT_I4 0 | VT_BSTR '' | VT_EMPTY | VT_BSTR ''";

struct CallCase {
  const char* name;
  HtmlViewerSettings settings;
  std::vector<std::string> calls;
};

HtmlViewerSettings Settings(int fontSize, bool offline, bool silent, const std::string& url) {
  HtmlViewerSettings s;
  s.fontSize = fontSize;
  s.offline = offline;
  s.silent = silent;
  s.url = url;
  return s;
}

class WebBrowserCalls : public testing::TestWithParam<CallCase> {};

TEST_P(WebBrowserCalls, AreMadeInOrderWithTheirArgumentTypes) {
  FakeWebBrowser fake;
  {
    WebBrowserEngine engine(&fake);
    ApplyViewerSettings(engine, GetParam().settings);
  }
  EXPECT_EQ(fake.calls, GetParam().calls);
  EXPECT_EQ(fake.refs, 1u) << "the engine must release the browser it holds";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WebBrowserCalls,
    testing::Values(CallCase{"TheListPanel",
                             Settings(2, false, false, kListUrl),
                             {"put_Offline 0", "put_Silent 0", "ExecWB 19 2 VT_I4 2 out null",
                              std::string("Navigate '") + kListUrl + "'" + kNavigateDefaults}},
                    CallCase{"OfflineSilentEmptyAddressNoNavigation",
                             Settings(0, true, true, ""),
                             {"put_Offline -1", "put_Silent -1", "ExecWB 19 2 VT_I4 0 out null"}},
                    CallCase{"SizeBelowRangeIsSmallest",
                             Settings(-1, false, true, "http://127.0.0.1:8080/a"),
                             {"put_Offline 0", "put_Silent -1", "ExecWB 19 2 VT_I4 0 out null",
                              std::string("Navigate 'http://127.0.0.1:8080/a'") + kNavigateDefaults}},
                    CallCase{"SizeAboveRangeIsLargest",
                             Settings(7, true, false, "http://127.0.0.1:8080/a"),
                             {"put_Offline -1", "put_Silent 0", "ExecWB 19 2 VT_I4 4 out null",
                              std::string("Navigate 'http://127.0.0.1:8080/a'") + kNavigateDefaults}},
                    // "列表" in GBK: the address reaches the browser as the same characters.
                    CallCase{"GbkAddressBecomesUnicode",
                             Settings(4, false, false, "http://127.0.0.1:8080/\xC1\xD0\xB1\xED.txt"),
                             {"put_Offline 0", "put_Silent 0", "ExecWB 19 2 VT_I4 4 out null",
                              std::string("Navigate 'http://127.0.0.1:8080/\\u5217\\u8868.txt'") +
                                  kNavigateDefaults}}),
    [](const testing::TestParamInfo<CallCase>& info) { return std::string(info.param.name); });

// Events from the real control, in arrival order.
class RecordingEvents : public BrowserEvents {
 public:
  std::vector<std::string> seen;
  void OnBeforeNavigate(const std::string& url, bool*) override { seen.push_back("BeforeNavigate " + url); }
  void OnNavigateComplete(const std::string& url) override { seen.push_back("NavigateComplete " + url); }
  void OnDownloadBegin() override { seen.push_back("DownloadBegin"); }
  void OnProgressChange(long, long) override { seen.push_back("ProgressChange"); }
  void OnDownloadComplete() override { seen.push_back("DownloadComplete"); }
  void OnDocumentComplete(const std::string& url) override { seen.push_back("DocumentComplete " + url); }
  void OnStatusTextChange(const std::string& text) override { seen.push_back("StatusText " + text); }
  void OnTitleChange(const std::string& title) override { seen.push_back("Title " + title); }
  void OnCommandStateChange(long command, bool enabled) override {
    seen.push_back("CommandState " + std::to_string(command) + (enabled ? " on" : " off"));
  }
  void OnNewWindow(bool*) override { seen.push_back("NewWindow"); }
};

class RealWebBrowser : public testing::Test {
 protected:
  TestWindow window;
  RecordingEvents events;
  const RECT place{10, 20, 410, 320};
  std::unique_ptr<WebBrowserEngine> engine = std::make_unique<WebBrowserEngine>();
};

TEST_F(RealWebBrowser, IsHostedVisibleOverItsPlaceUntilReleased) {
  HWND control = engine->Create(window.get(), place, &events);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(GetParent(control), window.get());
  EXPECT_TRUE(IsWindowVisible(control));
  RECT rc = PlaceInParent(control);
  EXPECT_EQ(rc.left, place.left);
  EXPECT_EQ(rc.top, place.top);
  EXPECT_EQ(rc.right, place.right);
  EXPECT_EQ(rc.bottom, place.bottom);
  engine.reset();
  EXPECT_FALSE(IsWindow(control)) << "closing the control takes its window";
}

TEST_F(RealWebBrowser, TakesThePanelsCallsAndReportsTheNavigation) {
  ASSERT_NE(engine->Create(window.get(), place, &events), nullptr);
  std::string url = HttpUrl("/len/100?webbrowser");
  EXPECT_EQ(engine->PutOffline(false), S_OK);
  EXPECT_EQ(engine->PutSilent(false), S_OK);
  // Without an HTML engine there is no document to zoom, and the control
  // refuses; the panel ignores the answer, so only a crash would matter.
  engine->SetZoom(2);
  EXPECT_EQ(engine->Navigate(url), S_OK);
  EXPECT_TRUE(PumpUntil([] { return !RequestsFor("/len/100?webbrowser").empty(); }))
      << "the control never asked for the page";
  ASSERT_FALSE(events.seen.empty()) << "no DWebBrowserEvents2 reached the sink";
  EXPECT_EQ(events.seen.front(), "BeforeNavigate " + url);
}

}  // namespace
