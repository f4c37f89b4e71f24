#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A picture decoded from the bytes of a PNG or JPEG file: 32-bit BGRA, top-down rows of width x 4
// bytes, straight alpha.
struct DecodedImage {
  std::unique_ptr<uint8_t[]> pixels;
  int width = 0;
  int height = 0;
};

// False for anything that is not a complete picture of that format the decoder turns into BGRA
// (see image_codec.h), or one whose pixels would exceed the image size limit; `image` is then
// left as it was.
bool DecodePng(const void* bytes, size_t size, DecodedImage* image);
bool DecodeJpeg(const void* bytes, size_t size, DecodedImage* image);
// PNG when the bytes carry its signature, otherwise JPEG.
bool DecodeImage(const void* bytes, size_t size, DecodedImage* image);
