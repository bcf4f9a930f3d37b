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

// Literal texts and the empty constants live in the program's image, never on
// the heap; handing one of them to HeapFree would corrupt the heap.
bool IsInProgramImage(const void* value) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(value, &info, sizeof info) != sizeof info) return false;
  return info.Type == MEM_IMAGE;
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
  int32_t count = ByteCount(set);
  if (count == 0) return nullptr;
  const void* zero = memchr(set->bytes, 0, static_cast<size_t>(count));
  size_t length = zero ? static_cast<const unsigned char*>(zero) - set->bytes : static_cast<size_t>(count);
  if (length == 0) return nullptr;
  char* text = static_cast<char*>(AllocateValue(length + 1));
  memcpy(text, set->bytes, length);
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
  if (!value || IsInProgramImage(value)) return;
  HeapFree(GetProcessHeap(), 0, const_cast<void*>(value));
}
