#include "app/html_viewer.h"

#include <memory>

namespace {

const char kClassName[] = "VarnookHtmlViewer";

// The panel behind its window. It is also the browser's event sink; the
// program binds no routine to any of the panel's events, so every
// notification passes and nothing is ever cancelled.
struct HtmlViewer final : BrowserEvents {
  HWND hwnd = nullptr;
  HtmlViewerSettings settings;
  std::unique_ptr<BrowserEngine> engine;
  HWND browserWindow = nullptr;
  std::string statusText;
  std::string caption;
  // Until creation succeeds the creator owns the panel; from then on its window does.
  bool ownedByWindow = false;

  void OnBeforeNavigate(const std::string&, bool*) override {}
  void OnNavigateComplete(const std::string&) override {}
  void OnDownloadBegin() override {}
  void OnProgressChange(long, long) override {}
  void OnDownloadComplete() override {}
  void OnDocumentComplete(const std::string&) override {}
  void OnStatusTextChange(const std::string& text) override { statusText = text; }
  void OnTitleChange(const std::string& title) override { caption = title; }
  void OnCommandStateChange(long, bool) override {}
  void OnNewWindow(bool*) override {}
};

ATOM viewerClass = 0;

HtmlViewer* ViewerOf(HWND hwnd) {
  if (!hwnd || !viewerClass || GetClassLongPtrA(hwnd, GCW_ATOM) != viewerClass) return nullptr;
  return reinterpret_cast<HtmlViewer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

bool HoldsBrowser(const HtmlViewer& v) { return v.browserWindow && IsChild(v.hwnd, v.browserWindow); }

// The panel whose browser holds `focus`, or nullptr.
HtmlViewer* ViewerHoldingFocus(HWND focus) {
  for (HWND w = focus; w; w = GetParent(w)) {
    if (HtmlViewer* v = ViewerOf(w))
      return HoldsBrowser(*v) && (focus == v->browserWindow || IsChild(v->browserWindow, focus)) ? v
                                                                                                 : nullptr;
    if (!(GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD)) break;
  }
  return nullptr;
}

LRESULT OnSize(HtmlViewer& v, WPARAM wp, LPARAM lp) {
  LRESULT result = DefWindowProcA(v.hwnd, WM_SIZE, wp, lp);
  if (HoldsBrowser(v)) {
    RECT client;
    GetClientRect(v.hwnd, &client);
    SetWindowPos(v.browserWindow, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return result;
}

LRESULT OnSetFocus(HtmlViewer& v, WPARAM wp, LPARAM lp) {
  LRESULT result = DefWindowProcA(v.hwnd, WM_SETFOCUS, wp, lp);
  if (HoldsBrowser(v)) SetFocus(v.browserWindow);
  return result;
}

// The browser goes before the panel window: IWebBrowser2 released and the
// control closed, then its window if it is still there.
LRESULT OnDestroy(HtmlViewer& v, WPARAM wp, LPARAM lp) {
  v.engine.reset();
  if (HoldsBrowser(v)) DestroyWindow(v.browserWindow);
  v.browserWindow = nullptr;
  return DefWindowProcA(v.hwnd, WM_DESTROY, wp, lp);
}

void OnNcDestroy(HtmlViewer* v) {
  SetWindowLongPtrA(v->hwnd, GWLP_USERDATA, 0);
  if (v->ownedByWindow) delete v;
}

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* v = static_cast<HtmlViewer*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    v->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(v));
  }
  HtmlViewer* v = ViewerOf(hwnd);
  if (!v) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_SIZE:
      return OnSize(*v, wp, lp);
    case WM_SETFOCUS:
      return OnSetFocus(*v, wp, lp);
    case WM_DESTROY:
      return OnDestroy(*v, wp, lp);
    case WM_NCDESTROY:
      OnNcDestroy(v);
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterViewerClass() {
  if (viewerClass) return true;
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  viewerClass = RegisterClassA(&wc);
  return viewerClass != 0;
}

// Creates the browser over the panel's client area. Where the chosen engine
// cannot be created at all the built-in viewer takes its place, so the panel
// shows the list on any system.
bool StartBrowser(HtmlViewer& v, EngineChoice choice) {
  RECT client;
  GetClientRect(v.hwnd, &client);
  v.engine = MakeBrowserEngine(choice);
  v.browserWindow = v.engine->Create(v.hwnd, client, &v);
  if (!v.browserWindow) {
    v.engine = MakeBrowserEngine(EngineChoice::kTextViewer);
    v.browserWindow = v.engine->Create(v.hwnd, client, &v);
  }
  if (!v.browserWindow) v.engine.reset();
  return v.browserWindow != nullptr;
}

bool IsKeyboardMessage(UINT msg) { return msg >= 0x100 && msg <= 0x108; }
bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK; }

}  // namespace

void ApplyViewerSettings(BrowserEngine& engine, const HtmlViewerSettings& settings) {
  engine.PutOffline(settings.offline);
  engine.PutSilent(settings.silent);
  engine.SetZoom(settings.fontSize);
  if (!settings.url.empty()) engine.Navigate(settings.url);
}

HWND CreateHtmlViewer(HWND parent, int id, const RECT& place, DWORD style, const HtmlViewerSettings& settings,
                      EngineChoice choice) {
  // Our host needs no window class or message registered for the control,
  // only the panel's own class.
  if (!RegisterViewerClass()) return nullptr;
  auto viewer = std::make_unique<HtmlViewer>();
  viewer->settings = settings;
  HWND hwnd = CreateWindowExA(
      0, kClassName, "", style, place.left, place.top, place.right - place.left, place.bottom - place.top,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), viewer.get());
  if (!hwnd) return nullptr;
  HtmlViewer* v = viewer.release();
  v->ownedByWindow = true;
  if (!StartBrowser(*v, choice)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  ApplyViewerSettings(*v->engine, v->settings);
  return hwnd;
}

bool HtmlViewerPreTranslate(MSG* msg) {
  if (!IsKeyboardMessage(msg->message) && !IsMouseMessage(msg->message)) return false;
  HtmlViewer* v = ViewerHoldingFocus(GetFocus());
  return v && v->engine && v->engine->TranslateAccelerator(msg);
}

std::string HtmlViewerStatusText(HWND panel) {
  HtmlViewer* v = ViewerOf(panel);
  return v ? v->statusText : std::string();
}

std::string HtmlViewerCaption(HWND panel) {
  HtmlViewer* v = ViewerOf(panel);
  return v ? v->caption : std::string();
}
