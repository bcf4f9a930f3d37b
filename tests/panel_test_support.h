// In-process tests of the browser panel: OLE on the test thread as the
// program has it, a top-level window to put a panel or browser in, and
// waiting while the thread's messages are dispatched.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// A visible top-level window of 661 x 595 whose client area holds what a test
// creates. One window serves the whole run (Wine without a window manager
// takes seconds to take a top-level window down); each TestWindow brings it
// to the front and destroys what the test left in it.
class TestWindow {
 public:
  TestWindow();
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// Dispatches this thread's messages until `done` holds or `timeoutMs` passes;
// the result of `done` at the end. The panel's loads report through the queue.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);
// Dispatches what is queued now.
void PumpPending();

// The body the local servers send for /len/N: a to z over and over, every
// 64th byte a line end.
std::string PatternBody(size_t length);
