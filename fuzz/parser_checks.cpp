#include "fuzz/parser_checks.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/content_length.h"
#include "export/filter_list.h"

namespace {

// ---- window data, written out again the way res/make_window_data.py does

void PutLittleEndian(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutText(std::string* out, const std::string& text) {
  PutLittleEndian(out, static_cast<uint32_t>(text.size()), 2);
  *out += text;
}

void PutEntry(std::string* out, const EntryDesc& e) {
  PutLittleEndian(out, static_cast<uint32_t>(e.type), 1);
  PutLittleEndian(out, static_cast<uint32_t>(e.id), 4);
  PutText(out, e.name);
  for (int32_t v : {e.left, e.top, e.width, e.height}) PutLittleEndian(out, static_cast<uint32_t>(v), 4);
  PutLittleEndian(out, (e.visible ? 1u : 0u) | (e.enabled ? 2u : 0u) | (e.tabStop ? 4u : 0u), 1);
  PutLittleEndian(out, static_cast<uint32_t>(e.tabKey), 4);
  PutLittleEndian(out, static_cast<uint32_t>(e.events.size()), 2);
  for (const EventBinding& b : e.events) {
    PutLittleEndian(out, b.event, 2);
    PutText(out, b.routine);
  }
  PutLittleEndian(out, static_cast<uint32_t>(e.settings.size()), 2);
  for (const auto& s : e.settings) {
    PutLittleEndian(out, s.first, 2);
    PutLittleEndian(out, static_cast<uint32_t>(s.second.size()), 4);
    out->append(s.second);
  }
}

// The accessors the window builder calls, on every key an entry holds.
void ReadEverySetting(const EntryDesc& e) {
  for (const auto& s : e.settings) {
    e.Has(s.first);
    e.Text(s.first);
    e.Int(s.first, 0);
    e.Bool(s.first, false);
  }
  for (const EventBinding& b : e.events) e.Handler(b.event);
}

// ---- the file-type list, rule by rule

bool IsLeadByte936(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

bool IsBlankCharacter(const std::string& c) {
  return c.size() == 1 &&
         (c[0] == ' ' || c[0] == '\t' || c[0] == '\n' || c[0] == '\v' || c[0] == '\f' || c[0] == '\r');
}

std::string ExpectedFilterList(const std::string& filter) {
  std::vector<std::string> characters;
  for (size_t i = 0; i < filter.size();) {
    size_t width = IsLeadByte936(static_cast<unsigned char>(filter[i])) && i + 1 < filter.size() ? 2 : 1;
    characters.push_back(filter.substr(i, width));
    i += width;
  }
  while (!characters.empty() && IsBlankCharacter(characters.back())) characters.pop_back();
  if (characters.empty()) return "";
  size_t n = characters.size();
  if (!(n >= 2 && characters[n - 2] == "|" && characters[n - 1] == "|")) {
    characters.push_back("|");
    characters.push_back("|");
  }
  std::string list;
  for (const std::string& c : characters) list += c == "|" ? std::string(1, '\0') : c;
  list.push_back('\0');
  return list;
}

std::string Printable(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

}  // namespace

std::string WriteWindowData(const std::vector<WindowDesc>& windows) {
  std::string out = "VNWD";
  PutLittleEndian(&out, 1, 2);
  PutLittleEndian(&out, static_cast<uint32_t>(windows.size()), 2);
  for (const WindowDesc& w : windows) {
    PutEntry(&out, w.window);
    PutLittleEndian(&out, static_cast<uint32_t>(w.controls.size()), 2);
    for (const EntryDesc& c : w.controls) PutEntry(&out, c);
  }
  return out;
}

std::string CheckWindowData(const uint8_t* data, size_t size) {
  std::vector<WindowDesc> windows;
  if (!ReadWindowData(data, size, &windows)) {
    return windows.empty() ? "" : "refused data still filled in descriptions";
  }
  if (windows.empty()) return "accepted data without a window";
  for (const WindowDesc& w : windows) {
    if (w.window.type != UnitType::kWindow) return "a window entry of another kind";
    ReadEverySetting(w.window);
    for (const EntryDesc& c : w.controls) {
      if (c.type == UnitType::kWindow) return "a window among the controls";
      ReadEverySetting(c);
    }
  }
  if (WriteWindowData(windows) != std::string(reinterpret_cast<const char*>(data), size))
    return "accepted data does not read back to the same bytes";
  return "";
}

std::string CheckContentLength(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  std::string text(bytes, strnlen(bytes, size));

  long long value = 0;
  bool read = ReadAnnouncedLength(text.c_str(), &value);
  char* end = nullptr;
  errno = 0;
  long long expected = strtoll(text.c_str(), &end, 10);
  bool expectedRead = end != text.c_str();
  if (read != expectedRead) return "\"" + Printable(text) + "\": read " + (read ? "a length" : "none");
  if (read && value != expected) {
    return "\"" + Printable(text) + "\": " + std::to_string(value) + " instead of " +
           std::to_string(expected);
  }

  size_t expectedChunk = kChunkWithoutLength;
  if (expectedRead && expected > 0) {
    expectedChunk =
        expected >= static_cast<long long>(kLargestChunk) ? kLargestChunk : static_cast<size_t>(expected) + 1;
  }
  size_t chunk = ChooseChunk(text.c_str());
  if (chunk != expectedChunk) {
    return "\"" + Printable(text) + "\": chunk " + std::to_string(chunk) + " instead of " +
           std::to_string(expectedChunk);
  }
  return "";
}

std::string CheckFilterList(const uint8_t* data, size_t size) {
  std::string filter(reinterpret_cast<const char*>(data), size);
  std::string list = BuildFilterList(filter);
  std::string expected = ExpectedFilterList(filter);
  if (list != expected) return "\"" + Printable(filter) + "\" gave \"" + Printable(list) + "\"";
  return "";
}
