// 超文本浏览框1: the panel that shows the list live in an embedded browser.
#pragma once

#include <windows.h>

#include <string>

struct HtmlViewerSettings {
  int fontSize = 2;      // 0..4, clamped when applied
  bool offline = false;
  bool silent = false;
  std::string url;       // ANSI; empty starts no navigation
};

// Which engine shows the page: the system's WebBrowser control where the
// system has an HTML engine, otherwise the built-in text viewer.
enum class EngineChoice { kAuto, kWebBrowser, kTextViewer };

// Creates the panel as a hidden child of `parent` with `style` at `place`
// (client coordinates). Returns the panel's window, or nullptr when the
// browser could not be created. The panel frees itself when destroyed.
HWND CreateHtmlViewer(HWND parent, int id, const RECT& place, DWORD style,
                      const HtmlViewerSettings& settings, EngineChoice choice = EngineChoice::kAuto);

// Offers a keyboard or mouse message to the browser when the focus lies in a
// panel; true when the browser used it up.
bool HtmlViewerPreTranslate(MSG* msg);
