#pragma once
// Owners for what the seam hands out: each closes or frees its resource on
// every path out of the scope that holds it.
#include <utility>

#include "win32/api.h"

namespace win32 {

class UniqueHkey {
 public:
  UniqueHkey() = default;
  UniqueHkey(const UniqueHkey&) = delete;
  UniqueHkey& operator=(const UniqueHkey&) = delete;
  UniqueHkey(UniqueHkey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueHkey& operator=(UniqueHkey&& other) noexcept {
    if (this != &other) {
      reset();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  ~UniqueHkey() { reset(); }

  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  // For an API that hands out a key: closes the one held, if any.
  PHKEY put() {
    reset();
    return &key_;
  }
  void reset() {
    if (key_ != nullptr) {
      win32::RegCloseKey(std::exchange(key_, nullptr));
    }
  }

 private:
  HKEY key_ = nullptr;
};

// Text that FormatMessageW allocated on the local heap.
class UniqueLocalText {
 public:
  UniqueLocalText() = default;
  UniqueLocalText(const UniqueLocalText&) = delete;
  UniqueLocalText& operator=(const UniqueLocalText&) = delete;
  ~UniqueLocalText() {
    if (text_ != nullptr) {
      win32::LocalFree(text_);
    }
  }

  const char16_t* get() const { return text_; }
  char16_t** put() {
    if (text_ != nullptr) {
      win32::LocalFree(std::exchange(text_, nullptr));
    }
    return &text_;
  }

 private:
  char16_t* text_ = nullptr;
};

// A file handle from CreateFileW. Only INVALID_HANDLE_VALUE means "none":
// any other value, null included, is closed.
class UniqueFileHandle {
 public:
  UniqueFileHandle() = default;
  explicit UniqueFileHandle(HANDLE handle) : handle_(handle) {}
  UniqueFileHandle(const UniqueFileHandle&) = delete;
  UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;
  UniqueFileHandle(UniqueFileHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  UniqueFileHandle& operator=(UniqueFileHandle&&) = delete;
  ~UniqueFileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      win32::CloseHandle(handle_);
    }
  }

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace win32
