#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

// Owns one reference to a COM interface and releases it on every way out.
template <typename T>
class QVComPtr {
 public:
  QVComPtr() = default;
  // Adopts a reference the caller already owns.
  explicit QVComPtr(T* pointer) : pointer_(pointer) {}
  ~QVComPtr() { reset(); }

  QVComPtr(QVComPtr&& other) noexcept : pointer_(other.release()) {}
  QVComPtr& operator=(QVComPtr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  QVComPtr(const QVComPtr&) = delete;
  QVComPtr& operator=(const QVComPtr&) = delete;

  explicit operator bool() const { return pointer_ != nullptr; }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }

  // Releases what is held and hands out the slot for a call that returns a new reference.
  T** put() {
    reset();
    return &pointer_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  void reset(T* pointer = nullptr) {
    T* old = std::exchange(pointer_, pointer);
    if (old) old->Release();
  }
  T* release() { return std::exchange(pointer_, nullptr); }

 private:
  T* pointer_ = nullptr;
};
