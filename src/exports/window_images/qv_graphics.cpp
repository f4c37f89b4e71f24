#include "exports/window_images/qv_graphics.h"

#include <memory>

#include "exports/window_images/gdiplus_library.h"

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_crit_sec.h"

namespace {

QVCritSec g_startLock;
bool g_started = false;

// Set once GDI+ has started; the entry points stay valid for the process.
const GdiplusLibrary* g_gdiplus = nullptr;

struct BitmapDeleter {
  void operator()(Gdiplus::GpBitmap* bitmap) const { g_gdiplus->GdipDisposeImage(bitmap); }
};
struct AttributesDeleter {
  void operator()(Gdiplus::GpImageAttributes* attributes) const {
    g_gdiplus->GdipDisposeImageAttributes(attributes);
  }
};

Gdiplus::GpGraphics* AsGraphics(void* graphics) {
  return static_cast<Gdiplus::GpGraphics*>(graphics);
}

}  // namespace

bool EnsureGdiplusStarted() {
  QVCritLock lock(&g_startLock);
  if (g_started) return true;
  const GdiplusLibrary* gdiplus = LoadGdiplus();
  if (!gdiplus) return false;
  Gdiplus::GdiplusStartupInput input;
  input.GdiplusVersion = 1;
  input.DebugEventCallback = nullptr;
  input.SuppressBackgroundThread = FALSE;
  input.SuppressExternalCodecs = FALSE;
  ULONG_PTR token = 0;
  if (gdiplus->GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  // GDI+ is never shut down, and its background thread must not outlive its code: keep
  // gdiplus.dll loaded even after the installer unloads this library.
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(gdiplus->GdiplusStartup)),
                     &pinned);
  g_gdiplus = gdiplus;
  g_started = true;
  return true;
}

QVGraphics::QVGraphics(uint8_t* pixels, int width, int height) : width_(width), height_(height) {
  if (!pixels || width <= 0 || height <= 0 || !EnsureGdiplusStarted()) return;
  Gdiplus::GpBitmap* target = nullptr;
  if (g_gdiplus->GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB, pixels,
                                           &target) != Gdiplus::Ok) {
    return;
  }
  target_ = target;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (g_gdiplus->GdipGetImageGraphicsContext(target, &graphics) != Gdiplus::Ok) return;
  graphics_ = graphics;
  setUp();
}

void QVGraphics::setUp() {
  Gdiplus::GpGraphics* graphics = AsGraphics(graphics_);
  g_gdiplus->GdipSetCompositingQuality(graphics, Gdiplus::CompositingQualityHighQuality);
  g_gdiplus->GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAlias);
  g_gdiplus->GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBilinear);
  g_gdiplus->GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
}

QVGraphics::~QVGraphics() {
  if (graphics_) {
    g_gdiplus->GdipFlush(AsGraphics(graphics_), Gdiplus::FlushIntentionSync);
    g_gdiplus->GdipDeleteGraphics(AsGraphics(graphics_));
  }
  // Disposing of the bitmap leaves the caller's pixels in place, drawing done.
  if (target_) g_gdiplus->GdipDisposeImage(static_cast<Gdiplus::GpBitmap*>(target_));
}

bool QVGraphics::drawStretched(const uint8_t* pixels, int width, int height) {
  if (!graphics_) return false;
  if (!pixels || width <= 0 || height <= 0 || width_ <= 0 || height_ <= 0) return true;
  Gdiplus::GpGraphics* graphics = AsGraphics(graphics_);
  g_gdiplus->GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeNone);
  g_gdiplus->GdipSetCompositingMode(graphics, Gdiplus::CompositingModeSourceCopy);

  // GDI+ only reads the pixels it wraps here.
  Gdiplus::GpBitmap* rawBitmap = nullptr;
  if (g_gdiplus->GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                           const_cast<BYTE*>(pixels), &rawBitmap) != Gdiplus::Ok) {
    return false;
  }
  std::unique_ptr<Gdiplus::GpBitmap, BitmapDeleter> bitmap(rawBitmap);
  g_gdiplus->GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);

  Gdiplus::GpImageAttributes* rawAttributes = nullptr;
  if (g_gdiplus->GdipCreateImageAttributes(&rawAttributes) != Gdiplus::Ok) return false;
  std::unique_ptr<Gdiplus::GpImageAttributes, AttributesDeleter> attributes(rawAttributes);
  // Mirrored edges keep the filter from pulling transparent or black borders into the picture.
  g_gdiplus->GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY,
                                            0xFF000000, FALSE);

  return g_gdiplus->GdipDrawImageRectRect(
             graphics, bitmap.get(), 0, 0, static_cast<Gdiplus::REAL>(width_),
             static_cast<Gdiplus::REAL>(height_), 0, 0, static_cast<Gdiplus::REAL>(width),
             static_cast<Gdiplus::REAL>(height), Gdiplus::UnitPixel, attributes.get(), nullptr,
             nullptr) == Gdiplus::Ok;
}
