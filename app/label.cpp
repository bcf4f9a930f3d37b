#include "app/label.h"

#include "app/gdi_holders.h"

namespace {

const char kClassName[] = "VarnookLabel";

void OnPaint(HWND hwnd) {
  PaintScope paint(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  // Opaque: the page beneath must not show through around the text.
  FillWithSysColor(paint.dc(), rc, COLOR_BTNFACE);
  char text[256];
  int length = GetWindowTextA(hwnd, text, sizeof text);
  if (length <= 0) return;
  SelectedObject font(paint.dc(), GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(paint.dc(), TRANSPARENT);
  SetTextColor(paint.dc(), RGB(0, 0, 0));
  DrawTextA(paint.dc(), text, length, &rc, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      OnPaint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole label
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

HWND CreateLabel(HWND parent, int id, const RECT& place, DWORD style, const char* text) {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = LabelProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc);
  }();
  if (!atom) return nullptr;
  return CreateWindowExA(0, kClassName, text, style, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                         nullptr);
}
