#include "exports/window_images/qv_image.h"

#include <cstring>
#include <new>

#include "exports/window_images/image_size.h"
#include "exports/window_images/qv_dib_section.h"
#include "exports/window_images/qv_graphics.h"
#include "foundation/owners/qv_file.h"

std::shared_ptr<QVImage> QVImage::loadFromFile(const std::wstring& path) {
  {
    QVFile file;
    if (file.Open(path, QVFile::kModeRead) != QVFile::kOpened || file.Size() <= 0) return nullptr;
  }
  auto image = std::make_shared<QVImage>();
  std::unique_ptr<QVPNGLoader> png(new QVPNGLoader());
  if (png->load(path)) {
    image->png_ = std::move(png);
    return image;
  }
  std::unique_ptr<QVJPEGLoader> jpeg(new QVJPEGLoader());
  if (jpeg->load(path)) {
    image->jpeg_ = std::move(jpeg);
    return image;
  }
  return nullptr;
}

std::shared_ptr<QVImage> QVImage::createBlank(int width, int height) {
  size_t bytes = 0;
  if (!ImagePixelBytes(width, height, &bytes)) return nullptr;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bytes]());
  if (!buffer) return nullptr;
  auto image = std::make_shared<QVImage>();
  image->buffer_ = std::move(buffer);
  image->width_ = width;
  image->height_ = height;
  return image;
}

bool QVImage::loadFromMemory(const void* bytes, size_t size) {
  if (!bytes || size == 0) return false;
  std::unique_ptr<QVPNGLoader> png(new QVPNGLoader());
  if (png->load(bytes, size)) {
    jpeg_.reset();
    png_ = std::move(png);
    return true;
  }
  std::unique_ptr<QVJPEGLoader> jpeg(new QVJPEGLoader());
  if (jpeg->load(bytes, size)) {
    png_.reset();
    jpeg_ = std::move(jpeg);
    return true;
  }
  return false;
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

const uint8_t* QVImage::pixels() const {
  if (png_) return png_->pixels();
  if (jpeg_) return jpeg_->pixels();
  return buffer_.get();
}

int QVImage::width() const {
  if (png_) return png_->width();
  if (jpeg_) return jpeg_->width();
  return width_;
}

int QVImage::height() const {
  if (png_) return png_->height();
  if (jpeg_) return jpeg_->height();
  return height_;
}
