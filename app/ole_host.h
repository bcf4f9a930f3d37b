// Our own host for the WebBrowser ActiveX control: the client site, in-place
// site and in-place frame the control asks for, and the DWebBrowserEvents2
// sink, written without ATL. Also the small COM helpers the host and the
// WebBrowser engine share.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>

#include "app/browser_engine.h"

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : ptr_(adopted) {}
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For calls that hand out a new reference.
  T** put() {
    reset();
    return &ptr_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (T* p = ptr_) {
      ptr_ = nullptr;
      p->Release();
    }
  }

 private:
  T* ptr_ = nullptr;
};

// Owns one BSTR.
class Bstr {
 public:
  explicit Bstr(BSTR adopted = nullptr) : value_(adopted) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// ANSI (code page) text to a new BSTR and back. An empty text gives an empty
// BSTR, never a null one; nullptr only when memory ran out.
BSTR BstrFromAnsi(const std::string& text);
std::string AnsiFromBstr(BSTR text);

class OleSite;

// One control of `clsid`, in-place active in a window of ours. The control
// must offer DWebBrowserEvents2; its notifications go to `events`.
class OleHost {
 public:
  OleHost() = default;
  ~OleHost() { Close(); }
  OleHost(const OleHost&) = delete;
  OleHost& operator=(const OleHost&) = delete;

  // Creates the control as a visible child of `parent` covering `place`.
  // On failure everything done so far is undone and the error returned.
  HRESULT Create(REFCLSID clsid, HWND parent, const RECT& place, BrowserEvents* events);
  // One more reference to an interface of the control; the caller releases it.
  HRESULT QueryControl(REFIID iid, void** out) const;
  HWND ControlWindow() const;
  // Offers `msg` to the control's active object; true when it was used up.
  bool TranslateAccelerator(MSG* msg) const;
  // Deactivates and closes the control and lets go of it, in the reverse
  // order of Create. Safe to call again.
  void Close();

 private:
  OleSite* site_ = nullptr;
};
