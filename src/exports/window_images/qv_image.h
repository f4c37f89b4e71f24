#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "exports/window_images/image_decode.h"

// A decoded picture: 32-bit BGRA, top-down rows of exactly width x 4 bytes, straight alpha.
// Always held through a shared pointer.
class QVImage {
 public:
  QVImage() = default;
  QVImage(const QVImage&) = delete;
  QVImage& operator=(const QVImage&) = delete;

  // Null when the file cannot be opened or read, is empty or larger than the image size limit,
  // or is neither a PNG nor a JPEG we can decode. The file is read once, then decoded in memory.
  static std::shared_ptr<QVImage> loadFromFile(const std::wstring& path);
  // Zeroed pixels; null for a side of zero or less, beyond the size limit, or out of memory.
  static std::shared_ptr<QVImage> createBlank(int width, int height);

  // PNG when the bytes carry its signature, otherwise JPEG. False on an empty block or when
  // neither decodes; the image is then left as it was.
  bool loadFromMemory(const void* bytes, size_t size);

  // The image stretched to exactly width x height with GDI+'s high-quality bicubic filter; null
  // on failure or for a zero-sized source or target.
  std::shared_ptr<QVImage> scaledTo(int width, int height) const;

  // A 32-bit top-down DIB section holding a copy of the pixels, owned by the caller; null on
  // failure.
  HBITMAP toHBITMAP() const;

  const uint8_t* pixels() const { return image_.pixels.get(); }
  uint8_t* mutablePixels() { return image_.pixels.get(); }
  int width() const { return image_.width; }
  int height() const { return image_.height; }
  size_t byteCount() const { return static_cast<size_t>(width()) * height() * 4; }

 private:
  DecodedImage image_;
};
