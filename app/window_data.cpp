#include "app/window_data.h"

#include <cstring>

namespace {

// Reads little-endian fields and refuses to step past the end.
class Reader {
 public:
  Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}
  bool Bytes(size_t n, std::string* out) {
    if (n > size_ - pos_) return false;
    out->assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
  }
  bool U8(uint8_t* v) { return Fixed(v, 1); }
  bool U16(uint16_t* v) { return Fixed(v, 2); }
  bool U32(uint32_t* v) { return Fixed(v, 4); }
  bool I32(int32_t* v) { return Fixed(v, 4); }
  bool String(std::string* out) {
    uint16_t n;
    return U16(&n) && Bytes(n, out);
  }
  bool AtEnd() const { return pos_ == size_; }

 private:
  template <typename T>
  bool Fixed(T* v, size_t n) {
    if (n > size_ - pos_) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= uint64_t{data_[pos_ + i]} << (8 * i);
    pos_ += n;
    *v = static_cast<T>(value);
    return true;
  }
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
};

bool ReadEntry(Reader& r, EntryDesc* e) {
  uint8_t type, flags;
  if (!r.U8(&type) || type > static_cast<uint8_t>(UnitType::kHtmlViewer)) return false;
  e->type = static_cast<UnitType>(type);
  if (!r.I32(&e->id) || !r.String(&e->name) || !r.I32(&e->left) || !r.I32(&e->top) ||
      !r.I32(&e->width) || !r.I32(&e->height) || !r.U8(&flags) || !r.I32(&e->tabKey))
    return false;
  if (flags & ~7u) return false;
  e->visible = flags & 1;
  e->enabled = flags & 2;
  e->tabStop = flags & 4;
  uint16_t count;
  if (!r.U16(&count)) return false;
  for (uint16_t i = 0; i < count; ++i) {
    EventBinding b;
    if (!r.U16(&b.event) || !r.String(&b.routine)) return false;
    e->events.push_back(std::move(b));
  }
  if (!r.U16(&count)) return false;
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t key;
    uint32_t length;
    std::string value;
    if (!r.U16(&key) || !r.U32(&length) || !r.Bytes(length, &value)) return false;
    e->settings.emplace_back(key, std::move(value));
  }
  return true;
}

}  // namespace

bool EntryDesc::Has(uint16_t key) const {
  for (const auto& s : settings)
    if (s.first == key) return true;
  return false;
}

std::string EntryDesc::Text(uint16_t key) const {
  for (const auto& s : settings)
    if (s.first == key) return s.second;
  return {};
}

int32_t EntryDesc::Int(uint16_t key, int32_t fallback) const {
  for (const auto& s : settings) {
    if (s.first != key) continue;
    if (s.second.size() != 4) return fallback;
    int32_t v;
    std::memcpy(&v, s.second.data(), 4);
    return v;
  }
  return fallback;
}

void (*EntryDesc::Handler(uint16_t event) const)() {
  for (const auto& b : events)
    if (b.event == event) return b.bound;
  return nullptr;
}

bool ReadWindowData(const unsigned char* data, size_t size, std::vector<WindowDesc>* windows) {
  Reader r(data, size);
  std::string magic;
  uint16_t version, count;
  if (!r.Bytes(4, &magic) || magic != "VNWD" || !r.U16(&version) || version != 1 || !r.U16(&count))
    return false;
  std::vector<WindowDesc> result;
  for (uint16_t w = 0; w < count; ++w) {
    WindowDesc desc;
    uint16_t controls;
    if (!ReadEntry(r, &desc.window) || desc.window.type != UnitType::kWindow || !r.U16(&controls))
      return false;
    for (uint16_t c = 0; c < controls; ++c) {
      EntryDesc e;
      if (!ReadEntry(r, &e) || e.type == UnitType::kWindow) return false;
      desc.controls.push_back(std::move(e));
    }
    result.push_back(std::move(desc));
  }
  if (!r.AtEnd() || result.empty()) return false;
  *windows = std::move(result);
  return true;
}
