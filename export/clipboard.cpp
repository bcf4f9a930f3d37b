#include "export/clipboard.h"

#include <windows.h>

#include <cstring>

#include "export/values.h"

namespace {

// Open for as long as the object lives; opened without an owner window.
class OpenedClipboard {
 public:
  OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

}  // namespace

bool SetClipboardText(const char* text) {
  OpenedClipboard clipboard;
  if (!clipboard.IsOpen()) return false;
  EmptyClipboard();

  size_t size = TextLength(text) + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!block) return false;
  void* bytes = GlobalLock(block);
  if (!bytes) {
    GlobalFree(block);
    return false;
  }
  memcpy(bytes, text ? text : EmptyText, size);
  GlobalUnlock(block);

  // Once taken, the block belongs to the clipboard; a refused one is still ours.
  if (!SetClipboardData(CF_TEXT, block)) {
    GlobalFree(block);
    return false;
  }
  return true;
}
