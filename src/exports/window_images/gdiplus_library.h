#pragma once

// GDI+'s headers expect min and max, and the property types that WIN32_LEAN_AND_MEAN leaves out.
#include <windows.h>
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

// The GDI+ entry points the window images use, from gdiplus.dll loaded on the first picture by
// its full path (foundation/os/system_library): gdiplus.dll is not one of Windows's known DLLs,
// and only the two image exports need it, so it stays out of the import table and out of every
// other load of this library.
struct GdiplusLibrary {
#define QV_GDIPLUS_ENTRY(name) decltype(&Gdiplus::DllExports::name) name = nullptr
  decltype(&Gdiplus::GdiplusStartup) GdiplusStartup = nullptr;
  QV_GDIPLUS_ENTRY(GdipCreateBitmapFromScan0);
  QV_GDIPLUS_ENTRY(GdipGetImageGraphicsContext);
  QV_GDIPLUS_ENTRY(GdipSetCompositingQuality);
  QV_GDIPLUS_ENTRY(GdipSetTextRenderingHint);
  QV_GDIPLUS_ENTRY(GdipSetInterpolationMode);
  QV_GDIPLUS_ENTRY(GdipSetSmoothingMode);
  QV_GDIPLUS_ENTRY(GdipSetCompositingMode);
  QV_GDIPLUS_ENTRY(GdipFlush);
  QV_GDIPLUS_ENTRY(GdipDeleteGraphics);
  QV_GDIPLUS_ENTRY(GdipDisposeImage);
  QV_GDIPLUS_ENTRY(GdipCreateImageAttributes);
  QV_GDIPLUS_ENTRY(GdipSetImageAttributesWrapMode);
  QV_GDIPLUS_ENTRY(GdipDisposeImageAttributes);
  QV_GDIPLUS_ENTRY(GdipDrawImageRectRect);
#undef QV_GDIPLUS_ENTRY
};

// The entry points, loaded once for the process and kept loaded (GDI+ is never shut down);
// null, with a log line, when gdiplus.dll cannot be loaded or lacks one of them.
const GdiplusLibrary* LoadGdiplus();
