#include "exports/window_images/qv_image.h"

#include <cstring>
#include <new>

#include "exports/window_images/image_size.h"
#include "exports/window_images/qv_dib_section.h"
#include "exports/window_images/qv_graphics.h"
#include "foundation/owners/qv_file.h"

std::shared_ptr<QVImage> QVImage::loadFromFile(const std::wstring& path) {
  QVFile file;
  if (file.open(path, QVFile::kModeRead) != QVFile::kOpened) return nullptr;
  const int64_t size = file.size();
  // Held whole in memory: nothing larger than the pixel limit is read.
  if (size <= 0 || static_cast<uint64_t>(size) > kMaxImagePixelBytes) return nullptr;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!bytes || file.read(bytes.get(), static_cast<uint32_t>(size)) != static_cast<uint32_t>(size))
    return nullptr;
  auto image = std::make_shared<QVImage>();
  return image->loadFromMemory(bytes.get(), static_cast<size_t>(size)) ? image : nullptr;
}

std::shared_ptr<QVImage> QVImage::createBlank(int width, int height) {
  size_t bytes = 0;
  if (!ImagePixelBytes(width, height, &bytes)) return nullptr;
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[bytes]());
  if (!pixels) return nullptr;
  auto image = std::make_shared<QVImage>();
  image->image_.pixels = std::move(pixels);
  image->image_.width = width;
  image->image_.height = height;
  return image;
}

bool QVImage::loadFromMemory(const void* bytes, size_t size) {
  if (!bytes || size == 0) return false;
  return DecodeImage(bytes, size, &image_);
}

std::shared_ptr<QVImage> QVImage::scaledTo(int width, int height) const {
  if (!pixels() || this->width() <= 0 || this->height() <= 0) return nullptr;
  size_t bytes = 0;
  if (!ImagePixelBytes(width, height, &bytes)) return nullptr;
  auto scaled = createBlank(width, height);
  if (!scaled) return nullptr;
  // Drawn straight into the new image's pixels as straight-alpha ARGB: through a device
  // context's 32-bit bitmap GDI+ writes premultiplied colour, darkening every translucent pixel.
  QVGraphics graphics(scaled->mutablePixels(), width, height);
  if (!graphics.drawStretched(pixels(), this->width(), this->height())) return nullptr;
  return scaled;
}

HBITMAP QVImage::toHBITMAP() const {
  if (!pixels()) return nullptr;
  QVDibSection bitmap;
  if (!bitmap.create(width(), height())) return nullptr;
  std::memcpy(bitmap.bits(), pixels(), byteCount());
  return bitmap.detach();
}
