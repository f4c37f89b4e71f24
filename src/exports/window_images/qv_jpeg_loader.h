#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class QVImageStream;

// Decodes a JPEG through libjpeg into 32-bit BGRA (alpha 255), top-down rows of width x 4
// bytes. Colour and greyscale images load; CMYK and other layouts are refused.
class QVJPEGLoader {
 public:
  QVJPEGLoader();
  virtual ~QVJPEGLoader();
  QVJPEGLoader(const QVJPEGLoader&) = delete;
  QVJPEGLoader& operator=(const QVJPEGLoader&) = delete;

  // False for anything libjpeg rejects, a file that ends before its image data does, a layout
  // other than colour or grey, or pixels beyond the image size limit. A failed load holds no
  // pixels.
  bool load(QVImageStream* stream);
  bool load(const void* bytes, size_t size);
  bool load(const std::wstring& path);

  const uint8_t* pixels() const { return pixels_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  std::unique_ptr<uint8_t[]> pixels_;
  int width_ = 0;
  int height_ = 0;
};
