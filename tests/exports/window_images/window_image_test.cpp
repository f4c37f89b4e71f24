#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/image_files.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

using SetImageFn = decltype(&QVNSIS_SetWindowImage);

// A window of its own holding one static bitmap control with the given client size.
class ImageControl {
 public:
  ImageControl(int width, int height) {
    parent_ = CreateWindowExW(0, L"STATIC", L"images", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr,
                              nullptr, nullptr, nullptr);
    control_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, width,
                               height, parent_, nullptr, nullptr, nullptr);
    // A static bitmap control may shrink to its (absent) bitmap on creation: size it now.
    SetWindowPos(control_, nullptr, 10, 10, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ~ImageControl() {
    if (HBITMAP shown = bitmap()) DeleteObject(shown);
    DestroyWindow(parent_);
  }
  HWND hwnd() const { return control_; }
  HBITMAP bitmap() const {
    return reinterpret_cast<HBITMAP>(SendMessageW(control_, STM_GETIMAGE, IMAGE_BITMAP, 0));
  }

 private:
  HWND parent_ = nullptr;
  HWND control_ = nullptr;
};

// The bitmap's pixels as 0xRRGGBB, top row first, read back through GDI.
std::vector<uint32_t> ReadBack(HBITMAP bitmap, int* width, int* height) {
  BITMAP info = {};
  if (!GetObjectW(bitmap, sizeof(info), &info)) return {};
  *width = info.bmWidth;
  *height = info.bmHeight;
  BITMAPINFO request = {};
  request.bmiHeader.biSize = sizeof(request.bmiHeader);
  request.bmiHeader.biWidth = info.bmWidth;
  request.bmiHeader.biHeight = -info.bmHeight;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
  HDC dc = GetDC(nullptr);
  const int rows = GetDIBits(dc, bitmap, 0, info.bmHeight, pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (rows != info.bmHeight) return {};
  for (auto& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 2 || d < -2) return false;
  }
  return true;
}

// A copy of the library holding the IMAGE resources an installer adds to its own copy, in the
// neutral language: each name with its bytes. Loaded for the scope, beside the one under test.
class LibraryWithImages {
 public:
  LibraryWithImages(const std::wstring& directory,
                    const std::vector<std::pair<const wchar_t*, std::string>>& images)
      : path_(directory + L"qvnsis_with_images.dll") {
    if (!CopyFileW(qvtest::LibraryPath().c_str(), path_.c_str(), FALSE)) return;
    HANDLE update = BeginUpdateResourceW(path_.c_str(), FALSE);
    if (!update) return;
    bool added = true;
    for (const auto& image : images) {
      added = added && UpdateResourceW(update, L"IMAGE", image.first,
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                       const_cast<char*>(image.second.data()),
                                       static_cast<DWORD>(image.second.size()));
    }
    if (EndUpdateResourceW(update, !added) && added) module_ = LoadLibraryW(path_.c_str());
  }
  ~LibraryWithImages() {
    if (module_) FreeLibrary(module_);
    DeleteFileW(path_.c_str());
  }
  LibraryWithImages(const LibraryWithImages&) = delete;
  LibraryWithImages& operator=(const LibraryWithImages&) = delete;

  SetImageFn setWindowImage() const { return QV_EXPORT(module_, QVNSIS_SetWindowImage); }

 private:
  std::wstring path_;
  HMODULE module_ = nullptr;
};

class WindowImage : public testing::Test {
 protected:
  std::vector<std::wstring> Logged() {
    std::vector<std::wstring> lines;
    for (const auto& m : qvtest::TodaysLogMessages(logDir_.path())) {
      if (m.rfind(L"QVNSIS_SetWindowImage", 0) == 0) lines.push_back(m);
    }
    return lines;
  }
  std::wstring WriteFile(const std::wstring& name, const std::string& bytes) {
    qvtest::WriteFileBytes(dir_.path() + name, bytes);
    return dir_.path() + name;
  }

  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_{logDir_.path()};
  qvtest::ScopedTempDir dir_;
  qvtest::Library library_;
  SetImageFn fromFile_ = QV_EXPORT(library_, QVNSIS_SetWindowImageFromFile);
  SetImageFn fromResource_ = QV_EXPORT(library_, QVNSIS_SetWindowImage);
};

}  // namespace

TEST_F(WindowImage, AFileIsStretchedOverTheWholeControl) {
  ASSERT_NE(fromFile_, nullptr);
  ImageControl control(200, 200);
  const std::wstring png =
      WriteFile(L"banner.png", qvtest::TwoColourPng(100, 50, 0xFF0000, 0x0000FF));
  fromFile_(control.hwnd(), png.c_str());

  ASSERT_NE(control.bitmap(), nullptr);
  int width = 0, height = 0;
  const auto pixels = ReadBack(control.bitmap(), &width, &height);
  ASSERT_EQ(width, 200);
  ASSERT_EQ(height, 200);
  ASSERT_EQ(pixels.size(), 200u * 200u);
  for (int y : {0, 50, 100, 199}) {
    for (int x : {0, 60, 90, 110, 140, 199}) {
      SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
      EXPECT_PRED2(Near, pixels[y * 200 + x], x < 100 ? 0xFF0000u : 0x0000FFu);
    }
  }
  EXPECT_TRUE(Logged().empty());
}

TEST_F(WindowImage, ZeroSizedControlsReceiveNothingAndLogNothing) {
  ASSERT_NE(fromFile_, nullptr);
  const std::wstring png =
      WriteFile(L"banner.png", qvtest::TwoColourPng(100, 50, 0xFF0000, 0x0000FF));
  for (SIZE size : {SIZE{0, 0}, SIZE{0, 50}, SIZE{50, 0}}) {
    ImageControl control(size.cx, size.cy);
    fromFile_(control.hwnd(), png.c_str());
    EXPECT_EQ(control.bitmap(), nullptr);
  }
  EXPECT_TRUE(Logged().empty());
}

TEST_F(WindowImage, FailuresAreLoggedAndLeaveTheControlAsItWas) {
  ASSERT_NE(fromFile_, nullptr);
  ASSERT_NE(fromResource_, nullptr);
  ImageControl control(50, 50);
  const std::wstring text = WriteFile(L"notes.png", "neither a PNG nor a JPEG");
  const std::wstring missing = dir_.path() + L"missing.jpg";
  const std::wstring good =
      WriteFile(L"good.png", qvtest::TwoColourPng(10, 10, 0x00FF00, 0x00FF00));
  fromFile_(control.hwnd(), good.c_str());
  const HBITMAP shown = control.bitmap();
  ASSERT_NE(shown, nullptr);

  fromFile_(control.hwnd(), text.c_str());
  fromFile_(control.hwnd(), missing.c_str());
  fromFile_(control.hwnd(), nullptr);
  // The library carries no pictures of its own.
  fromResource_(control.hwnd(), L"BANNER");
  fromResource_(control.hwnd(), nullptr);
  fromFile_(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xDEAD0)), good.c_str());
  EXPECT_EQ(control.bitmap(), shown);
  EXPECT_EQ(Logged(), (std::vector<std::wstring>{
                          L"QVNSIS_SetWindowImageFromFile: can't load file " + text,
                          L"QVNSIS_SetWindowImageFromFile: can't load file " + missing,
                          L"QVNSIS_SetWindowImageFromFile: can't load file ",
                          L"QVNSIS_SetWindowImage: can't load resource BANNER",
                          L"QVNSIS_SetWindowImage: can't load resource ",
                          L"QVNSIS_SetWindowImageFromFile: can't get client rect",
                      }));
}

TEST_F(WindowImage, RepaintingReleasesOurOldBitmapButNotTheInstallers) {
  ASSERT_NE(fromFile_, nullptr);
  ImageControl control(64, 64);
  const std::wstring png =
      WriteFile(L"banner.png", qvtest::TwoColourPng(100, 50, 0xFF0000, 0x0000FF));
  // The installer's own picture stays the installer's to delete.
  HBITMAP installers = CreateBitmap(64, 64, 1, 32, nullptr);
  ASSERT_NE(installers, nullptr);
  SendMessageW(control.hwnd(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(installers));
  fromFile_(control.hwnd(), png.c_str());
  EXPECT_EQ(GetObjectType(installers), static_cast<DWORD>(OBJ_BITMAP));
  DeleteObject(installers);

  HBITMAP first = control.bitmap();
  ASSERT_NE(first, nullptr);
  fromFile_(control.hwnd(), png.c_str());
  EXPECT_NE(control.bitmap(), first);
  EXPECT_EQ(GetObjectType(first), 0u) << "the replaced bitmap of ours was released";
  EXPECT_EQ(GetObjectType(control.bitmap()), static_cast<DWORD>(OBJ_BITMAP));
}

// A picture an installer added to the library, and what goes wrong around it: resources that do
// not decode or do not exist (by name or by number) are logged with their name and leave the
// control as it was; a handle that is no window (none, a made-up one, one destroyed) gets
// nothing from either export.
TEST_F(WindowImage, ResourcesThatDoNotLoadAndHandlesThatAreNoWindows) {
  ASSERT_NE(fromFile_, nullptr);
  const LibraryWithImages images(dir_.path(),
                                 {{L"BANNER", qvtest::TwoColourPng(20, 10, 0x00FF00, 0x00FF00)},
                                  {L"BROKEN", "\x89PNG\r\n\x1A\n but cut short"}});
  const SetImageFn fromResource = images.setWindowImage();
  ASSERT_NE(fromResource, nullptr);
  const std::wstring good =
      WriteFile(L"good.png", qvtest::TwoColourPng(10, 10, 0x00FF00, 0x00FF00));

  ImageControl control(40, 40);
  fromResource(control.hwnd(), L"BANNER");
  const HBITMAP shown = control.bitmap();
  ASSERT_NE(shown, nullptr) << "the added picture is shown";
  fromResource(control.hwnd(), L"BROKEN");
  fromResource(control.hwnd(), L"MISSING");
  fromResource(control.hwnd(), MAKEINTRESOURCEW(7));
  EXPECT_EQ(control.bitmap(), shown);

  HWND destroyed = CreateWindowExW(0, L"STATIC", L"", SS_BITMAP, 0, 0, 40, 40, nullptr, nullptr,
                                   nullptr, nullptr);
  ASSERT_NE(destroyed, nullptr);
  DestroyWindow(destroyed);
  const HWND noWindows[] = {nullptr, reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xDEAD0)),
                            destroyed};
  for (HWND noWindow : noWindows) {
    fromResource(noWindow, L"BANNER");
    fromFile_(noWindow, good.c_str());
  }

  std::vector<std::wstring> expected = {L"QVNSIS_SetWindowImage: can't load resource BROKEN",
                                        L"QVNSIS_SetWindowImage: can't load resource MISSING",
                                        L"QVNSIS_SetWindowImage: can't load resource #7"};
  for (size_t i = 0; i < sizeof(noWindows) / sizeof(noWindows[0]); ++i) {
    expected.push_back(L"QVNSIS_SetWindowImage: can't get client rect");
    expected.push_back(L"QVNSIS_SetWindowImageFromFile: can't get client rect");
  }
  EXPECT_EQ(Logged(), expected);
}
