#include "exports/window_images/gdiplus_library.h"

#include "exports/window_images/gdiplus_manifest_id.h"
#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_crit_sec.h"
#include "foundation/log/log.h"
#include "foundation/os/system_library.h"

namespace {

QVCritSec g_loadLock;
bool g_tried = false;
GdiplusLibrary g_library;
const GdiplusLibrary* g_loaded = nullptr;

template <typename Entry>
bool Resolve(HMODULE module, const char* name, Entry& entry) {
  entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return entry != nullptr;
}

}  // namespace

const GdiplusLibrary* LoadGdiplus() {
  QVCritLock lock(&g_loadLock);
  if (g_tried) return g_loaded;
  g_tried = true;
  // Never freed: GDI+ is never shut down, and its background thread must not outlive its code.
  const HMODULE module = QVOS::loadSystemLibrary(L"gdiplus.dll", kGdiplusManifestId);
  if (!module) {
    Log::Stream() << L"LoadGdiplus: " << Log::OsError{GetLastError()}
                  << L"gdiplus.dll not found in the system folders";
    return nullptr;
  }
  GdiplusLibrary& l = g_library;
  const bool complete =
      Resolve(module, "GdiplusStartup", l.GdiplusStartup) &&
      Resolve(module, "GdipCreateBitmapFromScan0", l.GdipCreateBitmapFromScan0) &&
      Resolve(module, "GdipGetImageGraphicsContext", l.GdipGetImageGraphicsContext) &&
      Resolve(module, "GdipSetCompositingQuality", l.GdipSetCompositingQuality) &&
      Resolve(module, "GdipSetTextRenderingHint", l.GdipSetTextRenderingHint) &&
      Resolve(module, "GdipSetInterpolationMode", l.GdipSetInterpolationMode) &&
      Resolve(module, "GdipSetSmoothingMode", l.GdipSetSmoothingMode) &&
      Resolve(module, "GdipSetCompositingMode", l.GdipSetCompositingMode) &&
      Resolve(module, "GdipFlush", l.GdipFlush) &&
      Resolve(module, "GdipDeleteGraphics", l.GdipDeleteGraphics) &&
      Resolve(module, "GdipDisposeImage", l.GdipDisposeImage) &&
      Resolve(module, "GdipCreateImageAttributes", l.GdipCreateImageAttributes) &&
      Resolve(module, "GdipSetImageAttributesWrapMode", l.GdipSetImageAttributesWrapMode) &&
      Resolve(module, "GdipDisposeImageAttributes", l.GdipDisposeImageAttributes) &&
      Resolve(module, "GdipDrawImageRectRect", l.GdipDrawImageRectRect);
  if (!complete) {
    Log::Stream() << L"LoadGdiplus: gdiplus.dll lacks an entry point";
    return nullptr;
  }
  g_loaded = &g_library;
  return g_loaded;
}
