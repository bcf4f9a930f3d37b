#include "app/main_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/gdi_holders.h"
#include "app/html_viewer.h"
#include "app/label.h"
#include "app/layout.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "export/common_dialog.h"

namespace {

const char kClassName[] = "VarnookMainWindow";

struct MainWindowState {
  const WindowDesc* desc = nullptr;
  std::vector<HWND> controls;  // in list order, parallel to desc->controls
  std::vector<int> keyboardOrder;
  HWND savedFocus = nullptr;   // the focus when the window was last deactivated
  HFONT font = nullptr;        // given with WM_SETFONT
};

MainWindowState* StateOf(HWND hwnd) {
  return reinterpret_cast<MainWindowState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// The index (list order) of the control that is or contains `focus`; -1 for none.
int ControlHolding(const MainWindowState& s, HWND focus) {
  for (int i = 0; i < static_cast<int>(s.controls.size()); ++i) {
    HWND c = s.controls[i];
    if (c && focus && (c == focus || IsChild(c, focus))) return i;
  }
  return -1;
}

void FocusFirstControl(const MainWindowState& s) {
  int first = NextInOrder(s.keyboardOrder, -1, false);
  if (first >= 0) SetFocus(s.controls[first]);
}

void RestoreFocus(HWND hwnd, MainWindowState& s) {
  if (s.savedFocus && IsWindow(s.savedFocus) && IsChild(hwnd, s.savedFocus))
    SetFocus(s.savedFocus);
  else
    FocusFirstControl(s);
}

HWND CreateControl(HWND parent, const EntryDesc& e) {
  RECT place{e.left, e.top, e.left + e.width, e.top + e.height};
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (e.tabStop ? WS_TABSTOP : 0) | (e.enabled ? 0 : WS_DISABLED);
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(e.id));
  switch (e.type) {
    case UnitType::kLabel:
      return CreateLabel(parent, e.id, place, style, e.Text(kSetText).c_str());
    case UnitType::kPicBox:
      return CreatePictureBox(parent, e.id, place, style, e.Text(kSetPicture));
    case UnitType::kButton: {
      HWND button = CreateWindowExA(0, "BUTTON", e.Text(kSetText).c_str(),
                                    style | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE,
                                    e.left, e.top, e.width, e.height, parent, id,
                                    GetModuleHandleA(nullptr), nullptr);
      if (button) SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
      return button;
    }
    case UnitType::kCommonDlg: {
      CommonDialogSettings d;
      d.kind = e.Int(kSetKind, 1);
      d.title = e.Text(kSetTitle);
      d.fileName = e.Text(kSetFileName);
      d.filter = e.Text(kSetFilter);
      d.initialFilter = e.Int(kSetInitialFilter, 0);
      d.initialDirectory = e.Text(kSetInitialDirectory);
      d.defaultExtension = e.Text(kSetDefaultExtension);
      d.promptToCreate = e.Bool(kSetPromptToCreate, false);
      d.fileMustExist = e.Bool(kSetFileMustExist, false);
      d.overwritePrompt = e.Bool(kSetOverwritePrompt, false);
      d.pathMustExist = e.Bool(kSetPathMustExist, false);
      d.noChangeDirectory = e.Bool(kSetNoChangeDirectory, false);
      return CreateCommonDialogControl(parent, e.id, place, style, d);
    }
    case UnitType::kHtmlViewer: {
      HtmlViewerSettings v;
      v.fontSize = e.Int(kSetFontSize, 2);
      v.offline = e.Bool(kSetOffline, false);
      v.silent = e.Bool(kSetSilent, false);
      v.url = e.Text(kSetUrl);
      return CreateHtmlViewer(parent, e.id, place, style, v);
    }
    case UnitType::kWindow:
      break;
  }
  return nullptr;
}

// Creation steps 5 to 7: controls made in reverse list order, stacked in list
// order (first on top), the visible ones shown without activation.
bool BuildControls(HWND hwnd, MainWindowState& s) {
  const auto& entries = s.desc->controls;
  s.controls.assign(entries.size(), nullptr);
  for (int i = static_cast<int>(entries.size()) - 1; i >= 0; --i) {
    s.controls[i] = CreateControl(hwnd, entries[i]);
    if (!s.controls[i]) return false;
  }
  for (size_t i = 0; i < s.controls.size(); ++i) {
    HWND after = i == 0 ? HWND_TOP : s.controls[i - 1];
    SetWindowPos(s.controls[i], after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (size_t i = 0; i < s.controls.size(); ++i)
    if (entries[i].visible) ShowWindow(s.controls[i], SW_SHOWNA);

  std::vector<TabEntry> tabs;
  for (const auto& e : entries) tabs.push_back({e.tabKey, e.tabStop, e.visible, e.enabled});
  s.keyboardOrder = KeyboardOrder(tabs);
  return true;
}

void Paint(HWND hwnd, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillWithSysColor(dc, rc, COLOR_BTNFACE);
}

void OnCommand(HWND hwnd, WPARAM wp) {
  if (HIWORD(wp) != BN_CLICKED) return;
  MainWindowState* s = StateOf(hwnd);
  if (!s) return;
  for (const auto& e : s->desc->controls) {
    if (e.id != LOWORD(wp)) continue;
    if (auto handler = e.Handler(kEventClick)) handler();
    return;
  }
}

void OnActivate(HWND hwnd, WPARAM wp) {
  MainWindowState* s = StateOf(hwnd);
  if (!s) return;
  if (LOWORD(wp) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd, focus)) s->savedFocus = focus;
  } else if (!HIWORD(wp)) {  // not while minimised
    RestoreFocus(hwnd, *s);
  }
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintScope paint(hwnd);
      Paint(hwnd, paint.dc());
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(hwnd, reinterpret_cast<HDC>(wp));
      return 0;
    case WM_COMMAND:
      OnCommand(hwnd, wp);
      return 0;
    case WM_ACTIVATE:
      OnActivate(hwnd, wp);
      return 0;
    case WM_SETFOCUS:
      if (MainWindowState* s = StateOf(hwnd)) RestoreFocus(hwnd, *s);
      return 0;
    case WM_SETFONT:
      if (MainWindowState* s = StateOf(hwnd)) s->font = reinterpret_cast<HFONT>(wp);
      return 0;
    case WM_GETFONT: {
      MainWindowState* s = StateOf(hwnd);
      return reinterpret_cast<LRESULT>(s ? s->font : nullptr);
    }
    case WM_GETMINMAXINFO:
      // The outer size is kept exactly, even on a screen smaller than the window.
      if (MainWindowState* s = StateOf(hwnd)) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMaxTrackSize.x = std::max<LONG>(info->ptMaxTrackSize.x, s->desc->window.width);
        info->ptMaxTrackSize.y = std::max<LONG>(info->ptMaxTrackSize.y, s->desc->window.height);
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      // No maximise box, and no other way to maximise either.
      if ((wp & 0xFFF0) == SC_MAXIMIZE) return 0;
      break;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_DESTROY:
      if (MainWindowState* s = StateOf(hwnd)) NoteWindowClosed(s->desc->window.id);
      break;
    case WM_NCDESTROY:
      delete StateOf(hwnd);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

HICON LoadAppIcon(int size) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "DEFAULT_ICON", IMAGE_ICON, size, size, 0));
}

}  // namespace

HWND CreateMainWindow(const WindowDesc& desc) {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc);
  }();
  if (!atom) return nullptr;

  const EntryDesc& w = desc.window;
  Point origin = CenteredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), w.width, w.height);
  auto* state = new MainWindowState;
  state->desc = &desc;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  HWND hwnd = CreateWindowExA(0, kClassName, w.Text(kSetText).c_str(), style, origin.x, origin.y, w.width,
                              w.height, nullptr, nullptr, GetModuleHandleA(nullptr), state);
  if (!hwnd) {
    delete state;
    return nullptr;
  }
  RECT rc;
  GetWindowRect(hwnd, &rc);
  if (rc.right - rc.left != w.width || rc.bottom - rc.top != w.height)
    SetWindowPos(hwnd, nullptr, origin.x, origin.y, w.width, w.height, SWP_NOZORDER | SWP_NOACTIVATE);

  HICON big = LoadAppIcon(32), small = LoadAppIcon(16);
  KeepIcon(big);
  KeepIcon(small);
  SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);

  if (!BuildControls(hwnd, *state)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  NoteWindowOpened(w.id, hwnd);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  return hwnd;
}

bool MainWindowPreTranslate(MSG* msg) {
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return false;
  HWND main = MainWindow();
  if (!main || (msg->hwnd != main && !IsChild(main, msg->hwnd))) return false;
  bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0, alt = GetKeyState(VK_MENU) < 0;
  MainWindowState* s = StateOf(main);
  KeyAction action = KeyActionFor(static_cast<unsigned>(msg->wParam), ctrl, shift, alt);
  switch (action) {
    case KeyAction::kNone:
      return false;
    case KeyAction::kClose:
      SendMessageA(main, WM_CLOSE, 0, 0);
      return true;
    case KeyAction::kNext:
    case KeyAction::kPrevious:
      if (s) {
        int next = NextInOrder(s->keyboardOrder, ControlHolding(*s, GetFocus()), action == KeyAction::kPrevious);
        if (next >= 0) SetFocus(s->controls[next]);
      }
      return true;
  }
  return false;
}
