#include "exports/window_images/image_decode.h"

#include <new>

#include "exports/window_images/image_codec.h"
#include "exports/window_images/image_size.h"

namespace {

// One path for both formats: the codec's C steps, with the decoder and the pixels owned here.
bool Decode(const QVImageCodec& codec, const void* bytes, size_t size, DecodedImage* image) {
  const std::unique_ptr<void, void (*)(void*)> decoder(codec.open(bytes, size, kMaxImagePixelBytes),
                                                       codec.close);
  if (!decoder) return false;
  uint32_t width = 0, height = 0;
  if (!codec.read_header(decoder.get(), &width, &height)) return false;
  size_t count = 0;
  if (!ImagePixelBytes(width, height, &count)) return false;
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[count]);
  if (!pixels || !codec.read_pixels(decoder.get(), pixels.get())) return false;
  image->pixels = std::move(pixels);
  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  return true;
}

}  // namespace

bool DecodePng(const void* bytes, size_t size, DecodedImage* image) {
  return Decode(kQVPngCodec, bytes, size, image);
}

bool DecodeJpeg(const void* bytes, size_t size, DecodedImage* image) {
  return Decode(kQVJpegCodec, bytes, size, image);
}

bool DecodeImage(const void* bytes, size_t size, DecodedImage* image) {
  return DecodePng(bytes, size, image) || DecodeJpeg(bytes, size, image);
}
