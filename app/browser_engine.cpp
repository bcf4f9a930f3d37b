#include "app/browser_engine.h"

#include <objbase.h>

#include <cstring>

#include "app/text_viewer_engine.h"
#include "app/web_browser_engine.h"

const char kEngineVariable[] = "VARNOOK_BROWSER_ENGINE";

namespace {

// mshtml's HTMLDocument; libuuid does not carry it.
const CLSID kHtmlDocumentClsid = {
    0x25336920, 0x03f9, 0x11cf, {0x8f, 0xd0, 0x00, 0xaa, 0x00, 0x68, 0x6f, 0x13}};

}  // namespace

int ClampZoom(int level) {
  if (level < kMinZoom) return kMinZoom;
  if (level > kMaxZoom) return kMaxZoom;
  return level;
}

EngineChoice ResolveEngine(EngineChoice requested, const char* forced, bool systemHasHtml) {
  if (requested != EngineChoice::kAuto) return requested;
  if (forced && std::strcmp(forced, "webbrowser") == 0) return EngineChoice::kWebBrowser;
  if (forced && std::strcmp(forced, "text") == 0) return EngineChoice::kTextViewer;
  return systemHasHtml ? EngineChoice::kWebBrowser : EngineChoice::kTextViewer;
}

bool SystemHasHtmlEngine() {
  IUnknown* document = nullptr;
  HRESULT hr = CoCreateInstance(kHtmlDocumentClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&document));
  if (FAILED(hr)) return false;
  document->Release();
  return true;
}

std::unique_ptr<BrowserEngine> MakeBrowserEngine(EngineChoice choice) {
  if (choice == EngineChoice::kAuto) {
    char value[16] = "";
    DWORD length = GetEnvironmentVariableA(kEngineVariable, value, sizeof value);
    const char* forced = length > 0 && length < sizeof value ? value : nullptr;
    // The system check starts mshtml (and, on Wine without its engine, the
    // engine's installer): only ask it when nothing else decides.
    choice = ResolveEngine(choice, forced, !forced && SystemHasHtmlEngine());
  }
  if (choice == EngineChoice::kWebBrowser) return std::make_unique<WebBrowserEngine>();
  return std::make_unique<TextViewerEngine>();
}
