#include "app/picture_box.h"

#include "app/gdi_holders.h"
#include "app/png_image.h"

namespace {

const char kClassName[] = "VarnookPictureBox";

struct PictureBox {
  COLORREF background;  // the button face when the control was made
  BgraImage image;      // empty when there is no picture or it did not decode
};

void OnPaint(HWND hwnd, PictureBox* box) {
  PaintScope paint(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  SetBkColor(paint.dc(), box->background);
  ExtTextOutA(paint.dc(), 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  if (box->image.Empty()) return;

  BgraImage shown = OverBackground(box->image, box->background);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = shown.width;
  bmi.bmiHeader.biHeight = -shown.height;  // top row first
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  bool deep = GetDeviceCaps(paint.dc(), BITSPIXEL) > 16;
  SetStretchBltMode(paint.dc(), deep ? HALFTONE : COLORONCOLOR);
  if (deep) SetBrushOrgEx(paint.dc(), 0, 0, nullptr);  // HALFTONE wants it reset
  StretchDIBits(paint.dc(), 0, 0, rc.right, rc.bottom, 0, 0, shown.width, shown.height,
                shown.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* box = reinterpret_cast<PictureBox*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (box) {
        OnPaint(hwnd, box);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      delete box;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

HWND CreatePictureBox(HWND parent, int id, const RECT& place, DWORD style, const std::string& png) {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = PictureBoxProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc);
  }();
  if (!atom) return nullptr;
  HWND hwnd = CreateWindowExA(0, kClassName, "", style, place.left, place.top,
                              place.right - place.left, place.bottom - place.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  if (!hwnd) return nullptr;
  // Created hidden, so nothing paints before the picture is attached; the
  // window owns it from here and frees it at WM_NCDESTROY.
  auto* box = new PictureBox{GetSysColor(COLOR_BTNFACE), {}};
  if (!png.empty()) box->image = DecodePng(png.data(), png.size());
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
  return hwnd;
}
