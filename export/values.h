// Texts and byte sets: the values the export command passes from step to step.
//
// A Text is zero-terminated bytes in the ANSI code page (936 here); a missing
// Text (nullptr) reads as empty. A ByteSet is a 32-bit count followed by that
// many bytes of any value; a missing ByteSet (nullptr) reads as empty.
// Every value an operation returns is new, lives on the process heap and
// belongs to the caller, who hands it to ReleaseValue exactly once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

struct ByteSetData {
  int32_t count;
  unsigned char bytes[1];  // really `count` bytes
};

using Text = char*;
using ByteSet = ByteSetData*;

// The largest count a ByteSet can hold.
constexpr int64_t kMaxByteSetCount = INT32_MAX;

// Constants passed in place of a missing value; never released.
extern const char EmptyText[];
extern const ByteSetData EmptyByteSet;

size_t TextLength(const char* text);
int32_t ByteCount(const ByteSetData* set);
const unsigned char* ByteData(const ByteSetData* set);

// One allocation for the result, each argument measured once; always returns
// an allocated Text, even an empty one.
Text JoinTexts(std::initializer_list<const char*> texts);
// A copy of the bytes, or missing when there are none.
ByteSet ToByteSet(const ByteSetData* set);
// The bytes up to the first zero byte as a Text, or missing when that is empty.
Text ToText(const ByteSetData* set);
// ToText for a ByteSet the caller gives up: the text takes the set's own
// storage instead of a copy, and `set` must not be used again. Missing (and
// `set` released) when the text is empty.
Text MoveToText(ByteSet set);
// A new ByteSet of `count` bytes (uninitialised), count > 0.
ByteSet NewByteSet(int32_t count);

// Heap storage for values. AllocateValue does not return on failure: it ends
// the program through the fatal-error box.
void* AllocateValue(size_t size);
void ReleaseValue(const void* value);
// The fatal message AllocateValue shows for `size` (GBK).
std::string AllocationFailureText(size_t size);

// Heap storage of the same kind for sizes that come from outside (a download's
// body): nullptr on failure instead of the fatal stop. A block obtained here
// is released with ReleaseValue like any other value.
void* TryAllocateValue(size_t size);
// Grows or shrinks a block from TryAllocateValue, keeping its bytes; nullptr
// on failure, the old block then stays valid and unchanged. Not for a
// download's body, which may live in a region of its own (ReleaseValue
// returns those too).
void* TryResizeValue(void* value, size_t size);

// Owns one value and releases it; for code that wants the release tied to a scope.
template <typename T>
class Value {
 public:
  Value() = default;
  explicit Value(T* value) : value_(value) {}
  ~Value() { ReleaseValue(value_); }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  Value(Value&& other) noexcept : value_(other.release()) {}
  Value& operator=(Value&& other) noexcept {
    reset(other.release());
    return *this;
  }
  T* get() const { return value_; }
  T* release() {
    T* v = value_;
    value_ = nullptr;
    return v;
  }
  void reset(T* value = nullptr) {
    ReleaseValue(value_);
    value_ = value;
  }
  explicit operator bool() const { return value_ != nullptr; }

 private:
  T* value_ = nullptr;
};
using TextValue = Value<char>;
using ByteSetValue = Value<ByteSetData>;
