// The built-in browser for systems without an HTML engine (Wine without its
// Gecko engine): it loads the address itself on a worker thread, with the
// list download's request rules, and shows the text read-only, scrollable and
// selectable in the system's fixed-pitch font. WM_GETTEXT on its window gives
// the text shown, as assistive tools expect.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/browser_engine.h"
#include "app/gdi_holders.h"

// The text an EDIT control needs to show `count` bytes as lines: cut at the
// first zero byte, every LF not already after a CR made CRLF.
std::string TextForEdit(const unsigned char* bytes, size_t count);
// How much of a page the viewer shows: a list is a few kilobytes, and a page
// of many megabytes would hold the window still while the edit control takes
// it in. Longer pages are cut after the last line end before the limit.
constexpr size_t kMostShownBytes = 4 * 1024 * 1024;
size_t ShownLength(const unsigned char* bytes, size_t count);

// The character height in pixels of the viewer's font for a zoom level
// (clamped to 0..4).
int TextViewerFontHeight(int level);

// Owns a kernel handle (here the load's thread).
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~KernelHandle() { reset(); }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  HANDLE get() const { return handle_; }
  void reset(HANDLE handle = nullptr) {
    if (handle_) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

class TextViewerEngine : public BrowserEngine {
 public:
  TextViewerEngine() = default;
  // Stops a running load without waiting long for it and destroys the window.
  ~TextViewerEngine() override;
  TextViewerEngine(const TextViewerEngine&) = delete;
  TextViewerEngine& operator=(const TextViewerEngine&) = delete;

  HWND Create(HWND parent, const RECT& place, BrowserEvents* events) override;
  HRESULT PutOffline(bool offline) override;
  HRESULT PutSilent(bool silent) override;
  HRESULT SetZoom(int level) override;
  HRESULT Navigate(const std::string& url) override;
  bool TranslateAccelerator(MSG* msg) override;

 private:
  struct Load;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static DWORD WINAPI LoadWorker(void* param);
  void OnSize(int width, int height);
  void OnLoadDone(WPARAM loadId);
  void StopLoad();
  void ApplyFont();

  HWND window_ = nullptr;  // ours, the panel's child; the EDIT fills it
  HWND edit_ = nullptr;
  BrowserEvents* events_ = nullptr;
  bool offline_ = false;
  int zoom_ = 2;
  GdiObject<HFONT> font_;
  std::shared_ptr<Load> load_;  // the running or last load; the worker holds it too
  KernelHandle loadThread_;
  WPARAM lastLoadId_ = 0;
};
