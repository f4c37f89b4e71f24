#pragma once

#include <windows.h>

#include <cstdint>

// A GDI+ drawing context on pixels of a known size, set up for high-quality
// scaling. GDI+ is started once per process on first use and never shut down.
class QVGraphics {
 public:
  // Draws into 32-bit BGRA pixels with straight alpha (rows of width x 4 bytes), which the
  // caller keeps alive for the object's lifetime. (Through a device context's 32-bit bitmap GDI+
  // would write premultiplied colour.)
  QVGraphics(uint8_t* pixels, int width, int height);
  ~QVGraphics();  // flushes and deletes the GDI+ graphics object
  QVGraphics(const QVGraphics&) = delete;
  QVGraphics& operator=(const QVGraphics&) = delete;

  explicit operator bool() const { return graphics_ != nullptr; }

  // Draws 32-bit BGRA pixels (straight alpha, rows of width x 4 bytes) stretched over the whole
  // target, copying rather than blending. False when GDI+ fails; a zero-sized source or target
  // draws nothing and succeeds.
  bool drawStretched(const uint8_t* pixels, int width, int height);

 private:
  void setUp();

  void* graphics_ = nullptr;  // GpGraphics*, kept opaque so GDI+'s headers stay in one file
  void* target_ = nullptr;    // GpBitmap* over the caller's pixels, when drawing into them
  int width_;
  int height_;
};

// Starts GDI+ once for the process; false when it cannot be started.
bool EnsureGdiplusStarted();
