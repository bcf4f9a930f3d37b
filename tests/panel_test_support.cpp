#include "panel_test_support.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>

namespace {

const char kTestWindowClass[] = "VarnookPanelTestWindow";

ATOM RegisterTestWindowClass() {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kTestWindowClass;
    return RegisterClassA(&wc);
  }();
  return atom;
}

HWND sharedWindow = nullptr;

}  // namespace

TestWindow::TestWindow() {
  if (!sharedWindow && RegisterTestWindowClass()) {
    sharedWindow = CreateWindowExA(0, kTestWindowClass, "panel test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                   0, 0, 661, 595, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(sharedWindow, SW_SHOW);
  }
  hwnd_ = sharedWindow;
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  PumpPending();
}

TestWindow::~TestWindow() {
  while (HWND child = GetWindow(hwnd_, GW_CHILD))
    if (!DestroyWindow(child)) break;
  PumpPending();
}

void PumpPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    PumpPending();
  }
  return true;
}

std::string PatternBody(size_t length) {
  std::string body(length, '\0');
  for (size_t i = 0; i < length; ++i) body[i] = i % 64 == 63 ? '\n' : static_cast<char>('a' + i % 26);
  return body;
}

// The panel exists only while OLE is initialised on the GUI thread.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) {
    fprintf(stderr, "OleInitialize failed\n");
    return 1;
  }
  int result = RUN_ALL_TESTS();
  if (sharedWindow) DestroyWindow(sharedWindow);
  OleUninitialize();
  return result;
}
