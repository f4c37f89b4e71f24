#pragma once

#include <cstddef>
#include <cstdint>

// Image sizes come from untrusted files and controls: a picture whose 32-bit pixels would take
// more than this is refused before anything is allocated for it.
constexpr uint64_t kMaxImagePixelBytes = 256ull * 1024 * 1024;

// The byte count of a width x height image at 4 bytes per pixel, or false when a side is zero
// or negative or the pixels would exceed kMaxImagePixelBytes.
inline bool ImagePixelBytes(int64_t width, int64_t height, size_t* bytes) {
  if (width <= 0 || height <= 0) return false;
  if (width > static_cast<int64_t>(kMaxImagePixelBytes / 4)) return false;
  const uint64_t total = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
  if (total > kMaxImagePixelBytes) return false;
  *bytes = static_cast<size_t>(total);
  return true;
}
