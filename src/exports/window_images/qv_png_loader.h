#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class QVImageStream;

// Decodes a PNG through libpng into 32-bit BGRA, top-down rows of width x 4 bytes, straight
// alpha. Images without alpha get 255; palette transparency becomes alpha; 16-bit samples are
// stripped to 8 bits; grey becomes RGB.
class QVPNGLoader {
 public:
  QVPNGLoader();
  virtual ~QVPNGLoader();
  QVPNGLoader(const QVPNGLoader&) = delete;
  QVPNGLoader& operator=(const QVPNGLoader&) = delete;

  // False for anything that is not a complete PNG this loader can turn into BGRA, or one whose
  // pixels would exceed the image size limit. A failed load holds no pixels.
  bool load(QVImageStream* stream);
  bool load(const void* bytes, size_t size);
  bool load(const std::wstring& path);

  const uint8_t* pixels() const { return pixels_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  // 3 for RGB images, 4 for those with alpha (as decoded, before the BGRA conversion).
  int channels() const { return channels_; }

 private:
  std::unique_ptr<uint8_t[]> pixels_;
  int width_ = 0;
  int height_ = 0;
  int channels_ = 0;
};
