#include "exports/window_images/qv_dib_section.h"

QVDibSection::~QVDibSection() { releaseDC(); }

bool QVDibSection::create(int width, int height) {
  releaseDC();
  bitmap_.reset();
  bits_ = nullptr;
  width_ = height_ = 0;
  if (width <= 0 || height <= 0) return false;

  BITMAPV5HEADER header = {};
  header.bV5Size = sizeof(header);
  header.bV5Width = width;
  header.bV5Height = -height;  // top-down
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_RGB;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return false;
  }
  bitmap_.reset(bitmap);
  bits_ = static_cast<uint8_t*>(bits);
  width_ = width;
  height_ = height;
  return true;
}

HDC QVDibSection::getDC() {
  if (dc_) return dc_;
  if (!bitmap_) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  previous_ = SelectObject(dc, bitmap_.get());
  if (!previous_) {
    DeleteDC(dc);
    return nullptr;
  }
  dc_ = dc;
  return dc_;
}

void QVDibSection::releaseDC() {
  if (!dc_) return;
  SelectObject(dc_, previous_);
  DeleteDC(dc_);
  dc_ = nullptr;
  previous_ = nullptr;
}

HBITMAP QVDibSection::detach() {
  releaseDC();
  bits_ = nullptr;
  width_ = height_ = 0;
  return bitmap_.release();
}
