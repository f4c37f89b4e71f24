#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "exports/window_images/qv_jpeg_loader.h"
#include "exports/window_images/qv_png_loader.h"

// A decoded picture: 32-bit BGRA, top-down rows of exactly width x 4 bytes, straight alpha.
// The pixels are those of its PNG decoder if it has one, else of its JPEG decoder, else its own
// buffer (an image created blank). Always held through a shared pointer.
class QVImage {
 public:
  QVImage() = default;
  QVImage(const QVImage&) = delete;
  QVImage& operator=(const QVImage&) = delete;

  // Null when the file cannot be opened, is empty or is neither a PNG nor a JPEG we can decode.
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

  const uint8_t* pixels() const;
  uint8_t* mutablePixels() { return const_cast<uint8_t*>(pixels()); }
  int width() const;
  int height() const;
  size_t byteCount() const { return static_cast<size_t>(width()) * height() * 4; }

 private:
  std::unique_ptr<QVPNGLoader> png_;
  std::unique_ptr<QVJPEGLoader> jpeg_;
  std::unique_ptr<uint8_t[]> buffer_;
  int width_ = 0;
  int height_ = 0;
};
