#include "exports/window_images/qv_graphics.h"

// GDI+'s headers expect min and max, and the property types that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_crit_sec.h"

namespace Gdip = Gdiplus::DllExports;

namespace {

QVCritSec g_startLock;
bool g_started = false;

struct BitmapDeleter {
  void operator()(Gdiplus::GpBitmap* bitmap) const { Gdip::GdipDisposeImage(bitmap); }
};
struct AttributesDeleter {
  void operator()(Gdiplus::GpImageAttributes* attributes) const { Gdip::GdipDisposeImageAttributes(attributes); }
};

Gdiplus::GpGraphics* AsGraphics(void* graphics) { return static_cast<Gdiplus::GpGraphics*>(graphics); }

}  // namespace

bool EnsureGdiplusStarted() {
  QVCritLock lock(&g_startLock);
  if (g_started) return true;
  Gdiplus::GdiplusStartupInput input;
  input.GdiplusVersion = 1;
  input.DebugEventCallback = nullptr;
  input.SuppressBackgroundThread = FALSE;
  input.SuppressExternalCodecs = FALSE;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  // GDI+ is never shut down, and its background thread must not outlive its code: keep
  // gdiplus.dll loaded even after the installer unloads this library.
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"gdiplus.dll", &pinned);
  g_started = true;
  return true;
}

QVGraphics::QVGraphics(uint8_t* pixels, int width, int height) : width_(width), height_(height) {
  if (!pixels || width <= 0 || height <= 0 || !EnsureGdiplusStarted()) return;
  Gdiplus::GpBitmap* target = nullptr;
  if (Gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB, pixels, &target) !=
      Gdiplus::Ok) {
    return;
  }
  target_ = target;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (Gdip::GdipGetImageGraphicsContext(target, &graphics) != Gdiplus::Ok) return;
  graphics_ = graphics;
  setUp();
}

void QVGraphics::setUp() {
  Gdiplus::GpGraphics* graphics = AsGraphics(graphics_);
  Gdip::GdipSetCompositingQuality(graphics, Gdiplus::CompositingQualityHighQuality);
  Gdip::GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAlias);
  Gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBilinear);
  Gdip::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
}

QVGraphics::~QVGraphics() {
  if (graphics_) {
    Gdip::GdipFlush(AsGraphics(graphics_), Gdiplus::FlushIntentionSync);
    Gdip::GdipDeleteGraphics(AsGraphics(graphics_));
  }
  // Disposing of the bitmap leaves the caller's pixels in place, drawing done.
  if (target_) Gdip::GdipDisposeImage(static_cast<Gdiplus::GpBitmap*>(target_));
}

bool QVGraphics::drawStretched(const uint8_t* pixels, int width, int height) {
  if (!graphics_) return false;
  if (!pixels || width <= 0 || height <= 0 || width_ <= 0 || height_ <= 0) return true;
  Gdiplus::GpGraphics* graphics = AsGraphics(graphics_);
  Gdip::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeNone);
  Gdip::GdipSetCompositingMode(graphics, Gdiplus::CompositingModeSourceCopy);

  // GDI+ only reads the pixels it wraps here.
  Gdiplus::GpBitmap* rawBitmap = nullptr;
  if (Gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                      const_cast<BYTE*>(pixels), &rawBitmap) != Gdiplus::Ok) {
    return false;
  }
  std::unique_ptr<Gdiplus::GpBitmap, BitmapDeleter> bitmap(rawBitmap);
  Gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);

  Gdiplus::GpImageAttributes* rawAttributes = nullptr;
  if (Gdip::GdipCreateImageAttributes(&rawAttributes) != Gdiplus::Ok) return false;
  std::unique_ptr<Gdiplus::GpImageAttributes, AttributesDeleter> attributes(rawAttributes);
  // Mirrored edges keep the filter from pulling transparent or black borders into the picture.
  Gdip::GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY, 0xFF000000, FALSE);

  return Gdip::GdipDrawImageRectRect(graphics, bitmap.get(), 0, 0, static_cast<Gdiplus::REAL>(width_),
                                     static_cast<Gdiplus::REAL>(height_), 0, 0,
                                     static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height),
                                     Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr) == Gdiplus::Ok;
}
