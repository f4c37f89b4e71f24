// Window images: QVNSIS_SetWindowImageFromFile of a 1920 x 1080 PNG into a 640 x 360 control,
// against GDI+ alone loading the same file and drawing it, with the same filter, into a DIB of the
// control's size.
#include <windows.h>

// GDI+'s headers expect min and max, and the property types that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
#include <png.h>

#include <cstdint>

#include "families.h"
#include "support/library.h"
#include "support/temp_dir.h"

namespace qvbench {

std::vector<Row> WindowImageRows(const std::wstring& scratch) {
  const int width = 1920, height = 1080;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  uint32_t noise = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / width + (noise >> 28));
      p[1] = static_cast<uint8_t>(y * 255 / height + (noise >> 29));
      p[2] = static_cast<uint8_t>((x + y) / 12 + (noise >> 27));
    }
  }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
  std::vector<uint8_t> encoded(size);
  if (!size ||
      !png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr)) {
    Abort("cannot encode the benchmark PNG");
  }
  const std::wstring path = scratch + L"banner-1920x1080.png";
  qvtest::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(encoded.data()), size));

  const qvtest::Library library;
  const auto setImage = QV_EXPORT(library, QVNSIS_SetWindowImageFromFile);
  if (!setImage) Abort("cannot load QVNSIS_SetWindowImageFromFile");
  HWND control = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 640, 360, nullptr,
                                 nullptr, nullptr, nullptr);
  SetWindowPos(control, nullptr, 0, 0, 640, 360, SWP_NOZORDER | SWP_NOACTIVATE);

  namespace Gdip = Gdiplus::DllExports;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  auto gdiplusAlone = [&] {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 640;
    info.bmiHeader.biHeight = -360;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    Gdiplus::GpImage* picture = nullptr;
    Gdip::GdipLoadImageFromFile(path.c_str(), &picture);
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdip::GdipCreateFromHDC(dc, &graphics);
    Gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    Gdip::GdipDrawImageRectRectI(graphics, picture, 0, 0, 640, 360, 0, 0, width, height,
                                 Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    Gdip::GdipDeleteGraphics(graphics);
    Gdip::GdipDisposeImage(picture);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
  };
  auto ours = [&] { setImage(control, path.c_str()); };

  const std::vector<double> t = CompareMedians({gdiplusAlone, ours}, 4, 5, 2);

  // The export must have shown a picture of the control's size.
  BITMAP shown = {};
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (!bitmap || !GetObjectW(bitmap, sizeof(shown), &shown) || shown.bmWidth != 640 ||
      shown.bmHeight != 360) {
    Abort("QVNSIS_SetWindowImageFromFile did not show a 640 x 360 bitmap");
  }
  DestroyWindow(control);
  DeleteObject(bitmap);
  DeleteFileW(path.c_str());
  return {{"SetWindowImageFromFile 1920x1080 vs GDI+", t[1], t[0], 1.5}};
}

}  // namespace qvbench
