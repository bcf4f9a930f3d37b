// Starts the program, waits until its panel has loaded, and saves the
// window as it is on the screen to a PNG file.
//   screenshot OUT.png PROGRAM.exe [SECONDS]
#include <windows.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: screenshot OUT.png PROGRAM.exe [SECONDS]\n");
    return 2;
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string command = std::string("\"") + argv[2] + "\"";
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "screenshot: cannot start %s\n", argv[2]);
    return 1;
  }
  HWND window = nullptr;
  for (int i = 0; i < 500 && !window; ++i) {
    window = FindWindowA("VarnookMainWindow", nullptr);
    Sleep(20);
  }
  if (!window) {
    std::fprintf(stderr, "screenshot: no window\n");
    TerminateProcess(pi.hProcess, 1);
    return 1;
  }
  Sleep(1000 * (argc > 3 ? std::atoi(argv[3]) : 3));

  RECT rc;
  GetWindowRect(window, &rc);
  int width = rc.right - rc.left, height = rc.bottom - rc.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
  SelectObject(memory, old);

  std::vector<unsigned char> pixels(static_cast<unsigned char*>(bits),
                                    static_cast<unsigned char*>(bits) + size_t(width) * height * 4);
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_BGRA;
  int ok = png_image_write_to_file(&image, argv[1], 0, pixels.data(), 0, nullptr);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  PostMessageA(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  if (!ok) {
    std::fprintf(stderr, "screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
