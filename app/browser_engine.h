// What the browser panel needs of a browser, and which one it gets.
//
// The panel is written against this small interface instead of IWebBrowser2
// so that it shows the list on every system: the WebBrowser control where the
// system has an HTML engine, the built-in text viewer where it has none.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// The browser's notifications, raised on the GUI thread in the order the
// system browser raises them. Texts are ANSI. Setting *cancel stops the
// navigation or the new window.
class BrowserEvents {
 public:
  virtual void OnBeforeNavigate(const std::string& url, bool* cancel) = 0;
  virtual void OnNavigateComplete(const std::string& url) = 0;
  virtual void OnDownloadBegin() = 0;
  virtual void OnProgressChange(long progress, long progressMax) = 0;
  virtual void OnDownloadComplete() = 0;
  virtual void OnDocumentComplete(const std::string& url) = 0;
  virtual void OnStatusTextChange(const std::string& text) = 0;
  virtual void OnTitleChange(const std::string& title) = 0;
  // Only the forward and back commands are reported.
  virtual void OnCommandStateChange(long command, bool enabled) = 0;
  virtual void OnNewWindow(bool* cancel) = 0;

 protected:
  ~BrowserEvents() = default;
};

// One browser shown in a window of ours. Destroying the engine releases the
// browser; its window is gone afterwards.
class BrowserEngine {
 public:
  virtual ~BrowserEngine() = default;

  // Creates the browser as a visible child of `parent` covering `place`
  // (client coordinates). Returns the browser's window, or nullptr on failure.
  // `events` must outlive the engine.
  virtual HWND Create(HWND parent, const RECT& place, BrowserEvents* events) = 0;
  virtual HRESULT PutOffline(bool offline) = 0;
  virtual HRESULT PutSilent(bool silent) = 0;
  // The text size 0 (smallest) to 4 (largest); other values are clamped.
  virtual HRESULT SetZoom(int level) = 0;
  // Starts loading `url` (ANSI); the load runs on after this returns.
  virtual HRESULT Navigate(const std::string& url) = 0;
  // Offers a keyboard or mouse message; true when the browser used it up.
  virtual bool TranslateAccelerator(MSG* msg) = 0;
};

// Which engine shows the page.
enum class EngineChoice { kAuto, kWebBrowser, kTextViewer };

// The zoom levels the browser knows.
constexpr int kMinZoom = 0;
constexpr int kMaxZoom = 4;
int ClampZoom(int level);

// Tests force an engine with VARNOOK_BROWSER_ENGINE=webbrowser|text.
extern const char kEngineVariable[];

// The engine to make: an explicit choice wins, then the variable's value
// (`forced`, may be null), then the system's HTML engine if it has one.
// Never returns kAuto.
EngineChoice ResolveEngine(EngineChoice requested, const char* forced, bool systemHasHtml);

// True when the system can create its HTML document object, that is when the
// WebBrowser control can render pages. Needs OLE on the calling thread.
bool SystemHasHtmlEngine();

// A new engine of the kind `choice` resolves to (kAuto consults the variable
// and the system).
std::unique_ptr<BrowserEngine> MakeBrowserEngine(EngineChoice choice);
