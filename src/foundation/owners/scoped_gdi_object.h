#pragma once

#include <windows.h>

#include <utility>

// Owns one GDI object (bitmap, brush, region, ...) and deletes it on every way out.
template <typename T>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(T object) : object_(object) {}
  ~ScopedGdiObject() { reset(); }

  ScopedGdiObject(ScopedGdiObject&& other) noexcept : object_(other.release()) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;

  explicit operator bool() const { return object_ != nullptr; }
  T get() const { return object_; }

  void reset(T object = nullptr) {
    T old = std::exchange(object_, object);
    if (old) DeleteObject(old);
  }
  T release() { return std::exchange(object_, nullptr); }

 private:
  T object_ = nullptr;
};

using ScopedBitmap = ScopedGdiObject<HBITMAP>;
