#include "export/values.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/shell.h"

namespace {

// "分配 %llu 字节内存失败!" — the size printed in full, whatever its width.
constexpr char kAllocationFailedFormat[] =
    "\xb7\xd6\xc5\xe4 %llu \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!";

constexpr size_t kByteSetHeader = offsetof(ByteSetData, bytes);

// Where the first zero byte is, or `count` when there is none. Eight bytes a
// step: the C library's memchr goes byte by byte under Wine, six times slower
// on a long list.
size_t FirstZero(const unsigned char* bytes, size_t count) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= count; i += sizeof(uint64_t)) {
    uint64_t word;
    memcpy(&word, bytes + i, sizeof word);
    if ((word - kOnes) & ~word & kHighBits) break;  // some byte of it is zero
  }
  while (i < count && bytes[i] != 0) ++i;
  return i;
}

}  // namespace

const char EmptyText[] = "";
const ByteSetData EmptyByteSet = {0, {0}};

size_t TextLength(const char* text) { return text ? strlen(text) : 0; }

int32_t ByteCount(const ByteSetData* set) { return set && set->count > 0 ? set->count : 0; }

const unsigned char* ByteData(const ByteSetData* set) { return set ? set->bytes : EmptyByteSet.bytes; }

Text JoinTexts(std::initializer_list<const char*> texts) {
  // Each text is measured once; the lengths are kept for the copy.
  size_t fewLengths[8];
  std::vector<size_t> manyLengths;
  size_t* lengths = fewLengths;
  if (texts.size() > sizeof fewLengths / sizeof fewLengths[0]) {
    manyLengths.resize(texts.size());
    lengths = manyLengths.data();
  }
  size_t total = 0;
  size_t i = 0;
  for (const char* text : texts) {
    lengths[i] = TextLength(text);
    total += lengths[i];
    ++i;
  }
  char* joined = static_cast<char*>(AllocateValue(total + 1));
  char* end = joined;
  i = 0;
  for (const char* text : texts) {
    if (lengths[i] > 0) memcpy(end, text, lengths[i]);
    end += lengths[i];
    ++i;
  }
  *end = '\0';
  return joined;
}

ByteSet NewByteSet(int32_t count) {
  auto* set = static_cast<ByteSetData*>(AllocateValue(kByteSetHeader + static_cast<size_t>(count)));
  set->count = count;
  return set;
}

ByteSet ToByteSet(const ByteSetData* set) {
  int32_t count = ByteCount(set);
  if (count == 0) return nullptr;
  ByteSet copy = NewByteSet(count);
  memcpy(copy->bytes, set->bytes, static_cast<size_t>(count));
  return copy;
}

Text ToText(const ByteSetData* set) {
  size_t length = FirstZero(ByteData(set), static_cast<size_t>(ByteCount(set)));
  if (length == 0) return nullptr;
  char* text = static_cast<char*>(AllocateValue(length + 1));
  memcpy(text, set->bytes, length);
  text[length] = '\0';
  return text;
}

Text MoveToText(ByteSet set) {
  size_t length = FirstZero(ByteData(set), static_cast<size_t>(ByteCount(set)));
  if (length == 0) {
    ReleaseValue(set);
    return nullptr;
  }
  // The block holds the count and `count` bytes, so the text and its ending
  // zero fit where they were.
  char* text = reinterpret_cast<char*>(set);
  memmove(text, set->bytes, length);
  text[length] = '\0';
  return text;
}

std::string AllocationFailureText(size_t size) {
  char message[96];
  snprintf(message, sizeof message, kAllocationFailedFormat, static_cast<unsigned long long>(size));
  return message;
}

void* AllocateValue(size_t size) {
  void* value = HeapAlloc(GetProcessHeap(), 0, size);
  if (!value) FatalError(AllocationFailureText(size).c_str(), 0);
  return value;
}

void* TryAllocateValue(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void* TryResizeValue(void* value, size_t size) { return HeapReAlloc(GetProcessHeap(), 0, value, size); }

void ReleaseValue(const void* value) {
  if (!value) return;
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(value, &info, sizeof info) == sizeof info) {
    // Literal texts and the empty constants live in the program's image;
    // handing one of them to HeapFree would corrupt the heap.
    if (info.Type == MEM_IMAGE) return;
    // A long download's body has a region of its own (download.cpp). A heap
    // block never starts its region: the heap's own header comes first.
    if (info.Type == MEM_PRIVATE && info.AllocationBase == value) {
      VirtualFree(const_cast<void*>(value), 0, MEM_RELEASE);
      return;
    }
  }
  HeapFree(GetProcessHeap(), 0, const_cast<void*>(value));
}
