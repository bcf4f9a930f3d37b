// Another program that keeps the clipboard open: the test program itself,
// started again with a flag. A test program that uses it lets the child take
// that role before any test runs:
//   static const bool kHolderRole = RunClipboardHolderIfAsked();
#pragma once

#include <windows.h>

// In the child (started with the holder's flag): holds the clipboard until
// the parent lets go, then ends the process. Elsewhere returns false at once.
bool RunClipboardHolderIfAsked();

class ClipboardHolder {
 public:
  // Starts the child and waits until it holds the clipboard.
  ClipboardHolder();
  // Lets the child go (if Release was not called) and waits for it.
  ~ClipboardHolder();
  ClipboardHolder(const ClipboardHolder&) = delete;
  ClipboardHolder& operator=(const ClipboardHolder&) = delete;

  bool Holding() const { return holding_; }
  // Lets the clipboard go; the child's exit code, or STILL_ACTIVE.
  DWORD Release();

 private:
  HANDLE held_ = nullptr, release_ = nullptr;
  PROCESS_INFORMATION child_{};
  bool holding_ = false;
};
