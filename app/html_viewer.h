// 超文本浏览框1: the panel that shows the list live in an embedded browser.
#pragma once

#include <windows.h>

#include <string>

#include "app/browser_engine.h"

struct HtmlViewerSettings {
  int fontSize = 2;  // 0..4, clamped when applied
  bool offline = false;
  bool silent = false;
  std::string url;  // ANSI; empty starts no navigation
};

// Creates the panel as a hidden child of `parent` with `style` at `place`
// (client coordinates), its browser filling it. kAuto takes the system's
// WebBrowser control where the system has an HTML engine and the built-in
// text viewer otherwise, or where the control cannot be created. Returns the
// panel's window, or nullptr when no browser could be created. The panel
// frees itself when its window is destroyed.
HWND CreateHtmlViewer(HWND parent, int id, const RECT& place, DWORD style, const HtmlViewerSettings& settings,
                      EngineChoice choice = EngineChoice::kAuto);

// Offers a keyboard (0x100-0x108) or mouse (0x200-0x209) message to the
// browser of the panel that holds the focus; true when the browser used it up.
bool HtmlViewerPreTranslate(MSG* msg);

// The panel's run-time texts: the browser's last status-bar text and the
// title of the page shown; empty for a window that is not a panel.
std::string HtmlViewerStatusText(HWND panel);
std::string HtmlViewerCaption(HWND panel);

// The stored settings as the panel applies them after creating its browser:
// offline, silent, the text size clamped to 0..4, then the navigation unless
// the address is empty. The browser's answers are not examined.
void ApplyViewerSettings(BrowserEngine& engine, const HtmlViewerSettings& settings);
