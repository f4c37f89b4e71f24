#pragma once

#include <windows.h>

#include <utility>

// Owns one kernel handle and closes it on every way out. INVALID_HANDLE_VALUE is kept as null,
// so a single check tells whether anything is held.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) { reset(handle); }
  ~ScopedHandle() { reset(); }

  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  HANDLE get() const { return handle_; }

  void reset(HANDLE handle = nullptr) {
    if (handle == INVALID_HANDLE_VALUE) handle = nullptr;
    if (handle_ && handle_ != handle) CloseHandle(handle_);
    handle_ = handle;
  }
  HANDLE release() { return std::exchange(handle_, nullptr); }

 private:
  HANDLE handle_ = nullptr;
};
