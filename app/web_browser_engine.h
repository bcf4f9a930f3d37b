// The system's WebBrowser control (CLSID_WebBrowser) as the panel's browser,
// hosted by our own OleHost and driven through IWebBrowser2.
#pragma once

#include <exdisp.h>
#include <windows.h>

#include "app/browser_engine.h"
#include "app/ole_host.h"

class WebBrowserEngine : public BrowserEngine {
 public:
  WebBrowserEngine() = default;
  // Drives a browser that someone else hosts (a test's fake); Create is then
  // not called. Takes one reference of its own.
  explicit WebBrowserEngine(IWebBrowser2* browser);
  ~WebBrowserEngine() override;

  HWND Create(HWND parent, const RECT& place, BrowserEvents* events) override;
  HRESULT PutOffline(bool offline) override;
  HRESULT PutSilent(bool silent) override;
  HRESULT SetZoom(int level) override;
  HRESULT Navigate(const std::string& url) override;
  bool TranslateAccelerator(MSG* msg) override;

 private:
  OleHost host_;
  ComPtr<IWebBrowser2> browser_;
};
