#include <windows.h>

#include <memory>
#include <string>

#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "exports/window_images/image_resource.h"
#include "exports/window_images/qv_image.h"
#include "foundation/log/log.h"
#include "foundation/owners/scoped_gdi_object.h"
#include "foundation/settings/qv_paths.h"

namespace {

// The bitmap this library last put into a control, so the next one can release it.
constexpr wchar_t kShownBitmapProperty[] = L"QVNSIS_WindowImage";

// Stretches `image` over the control's client area and hands the control the bitmap. A control
// of no area has nothing to show and is left alone.
DWORD Paint(const wchar_t* source, HWND control, const QVImage& image) {
  RECT client = {};
  if (!GetClientRect(control, &client)) {
    Log::Stream() << source << L": can't get client rect";
    return ERROR_INVALID_WINDOW_HANDLE;
  }
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return ERROR_SUCCESS;
  const auto scaled = image.scaledTo(width, height);
  if (!scaled) return ERROR_NOT_ENOUGH_MEMORY;
  ScopedBitmap bitmap(scaled->toHBITMAP());
  if (!bitmap) return ERROR_NOT_ENOUGH_MEMORY;

  const HBITMAP ours = bitmap.get();
  const HBITMAP previous = reinterpret_cast<HBITMAP>(
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(ours)));
  // A control that copies the bitmap (common controls 6 do, for one with alpha) shows its copy
  // and leaves ours to us; otherwise it holds ours from now on.
  const HBITMAP shown =
      reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (shown == ours) bitmap.release();
  // The picture replaced is released only when this library made it: any other belongs to the
  // installer.
  const HANDLE ownPrevious = GetPropW(control, kShownBitmapProperty);
  if (previous && previous == ownPrevious && previous != shown) DeleteObject(previous);
  if (shown) {
    SetPropW(control, kShownBitmapProperty, shown);
  } else {
    RemovePropW(control, kShownBitmapProperty);
  }
  return ERROR_SUCCESS;
}

// The resource's name for the log: a number given as a name (MAKEINTRESOURCE) is no text to
// read, and is written "#<number>" as resource scripts do.
std::wstring ResourceNameText(const wchar_t* name) {
  if (!name) return std::wstring();
  if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
  return name;
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_SetWindowImage(HWND control, const wchar_t* name) {
  GuardedStatusExport(__func__, [&](const wchar_t* exportName) -> DWORD {
    const auto image = LoadImageResource(name);
    if (!image) {
      Log::Stream() << exportName << L": can't load resource " << ResourceNameText(name);
      // No such resource, or one that does not decode.
      return ERROR_RESOURCE_NAME_NOT_FOUND;
    }
    return Paint(exportName, control, *image);
  });
}

QVNSIS_EXPORT void QVNSIS_SetWindowImageFromFile(HWND control, const wchar_t* path) {
  GuardedStatusExport(__func__, [&](const wchar_t* exportName) -> DWORD {
    const std::wstring file = path ? std::wstring(path) : std::wstring();
    const auto image = QVImage::loadFromFile(file);
    if (!image) {
      Log::Stream() << exportName << L": can't load file " << path;
      return QVPaths::fileExists(file) ? ERROR_INVALID_DATA : ERROR_FILE_NOT_FOUND;
    }
    return Paint(exportName, control, *image);
  });
}
