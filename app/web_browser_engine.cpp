#include "app/web_browser_engine.h"

#include <oleauto.h>

namespace {

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

}  // namespace

WebBrowserEngine::WebBrowserEngine(IWebBrowser2* browser) : browser_(browser) {
  if (browser) browser->AddRef();
}

// IWebBrowser2 goes first; the host then deactivates and closes the control,
// which takes its window with it.
WebBrowserEngine::~WebBrowserEngine() {
  browser_.reset();
  host_.Close();
}

HWND WebBrowserEngine::Create(HWND parent, const RECT& place, BrowserEvents* events) {
  if (FAILED(host_.Create(CLSID_WebBrowser, parent, place, events))) return nullptr;
  if (FAILED(host_.QueryControl(IID_IWebBrowser2, browser_.putVoid()))) {
    host_.Close();
    return nullptr;
  }
  return host_.ControlWindow();
}

HRESULT WebBrowserEngine::PutOffline(bool offline) {
  if (!browser_) return E_UNEXPECTED;
  return browser_->put_Offline(ToVariantBool(offline));
}

HRESULT WebBrowserEngine::PutSilent(bool silent) {
  if (!browser_) return E_UNEXPECTED;
  return browser_->put_Silent(ToVariantBool(silent));
}

HRESULT WebBrowserEngine::SetZoom(int level) {
  if (!browser_) return E_UNEXPECTED;
  Variant in;
  in.get()->vt = VT_I4;
  in.get()->lVal = ClampZoom(level);
  return browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, in.get(), nullptr);
}

HRESULT WebBrowserEngine::Navigate(const std::string& url) {
  if (!browser_) return E_UNEXPECTED;
  Bstr address(BstrFromAnsi(url));
  if (!address.get()) return E_OUTOFMEMORY;
  Variant flags, target, postData, headers;
  flags.get()->vt = VT_I4;
  flags.get()->lVal = 0;
  target.get()->vt = VT_BSTR;
  target.get()->bstrVal = SysAllocStringLen(L"", 0);
  headers.get()->vt = VT_BSTR;
  headers.get()->bstrVal = SysAllocStringLen(L"", 0);
  if (!target.get()->bstrVal || !headers.get()->bstrVal) return E_OUTOFMEMORY;
  return browser_->Navigate(address.get(), flags.get(), target.get(), postData.get(), headers.get());
}

bool WebBrowserEngine::TranslateAccelerator(MSG* msg) { return host_.TranslateAccelerator(msg); }
