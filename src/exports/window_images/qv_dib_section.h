#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/owners/scoped_gdi_object.h"

// A 32-bit top-down DIB section with an alpha channel, and the memory device context it is
// selected into while drawing. Rows are exactly width x 4 bytes. Everything it holds is
// released on every way out unless the bitmap is detached.
class QVDibSection {
 public:
  QVDibSection() = default;
  ~QVDibSection();
  QVDibSection(const QVDibSection&) = delete;
  QVDibSection& operator=(const QVDibSection&) = delete;

  // False (and nothing held) for a size of zero or less, or when the system refuses.
  bool create(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  uint8_t* bits() const { return bits_; }
  size_t byteCount() const { return static_cast<size_t>(width_) * height_ * 4; }

  // A memory DC with the bitmap selected, kept until releaseDC or destruction; null on failure.
  HDC getDC();
  void releaseDC();

  // Hands the bitmap to the caller, who then owns it; the section holds nothing afterwards.
  HBITMAP detach();

 private:
  ScopedBitmap bitmap_;
  uint8_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};
