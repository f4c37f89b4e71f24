#include <gtest/gtest.h>

#include <process.h>

#include <functional>

#include "exports/window_images/image_resource.h"
#include "exports/window_images/qv_image.h"
#include "foundation/localization/thread_locale_manager.h"
#include "support/child_process.h"

// This executable carries "IMAGE" resources of its own (image_resources.rc): BANNER is red in
// English and blue in German. Resources are looked up in the module the library runs in, here
// the test executable. Wine takes a process's UI language from LANG when the process starts:
// ctest starts the ImageResourceDe suite with a German LANG.

namespace {

constexpr uint32_t kEnglishRed = 0xFFFF0000;
constexpr uint32_t kGermanBlue = 0xFF0000FF;

// The first pixel of the image as 0xAARRGGBB, 0 when it did not load.
uint32_t FirstPixel(const std::shared_ptr<QVImage>& image) {
  if (!image || !image->pixels()) return 0;
  const uint8_t* p = image->pixels();
  return static_cast<uint32_t>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

void RunOnThread(const std::function<void()>& body) {
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void* p) WINAPI -> unsigned {
        (*static_cast<const std::function<void()>*>(p))();
        return 0;
      },
      const_cast<std::function<void()>*>(&body), 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

// Under an emulated Windows XP the thread locale picks resources. The main thread fixes the
// process language; a worker set to English still gets the German picture, because the load
// brings it to the main language first. Exit code 0 when so, else which step differed.
QV_TEST_CHILD(worker_image_language) {
  ThreadLocaleManager::Init();
  if (FirstPixel(LoadImageResource(L"BANNER")) != kGermanBlue) return 1;
  int result = 0;
  RunOnThread([&] {
    SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT));
    // Without the switch this thread would be given the English one.
    HRSRC english = FindResourceW(nullptr, L"BANNER", L"IMAGE");
    HRSRC german =
        FindResourceExW(nullptr, L"IMAGE", L"BANNER", MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL));
    if (!english || english == german) result = 2;
    if (FirstPixel(LoadImageResource(L"BANNER")) != kGermanBlue) result = 3;
    if (LANGIDFROMLCID(GetThreadLocale()) != ThreadLocaleManager::MainLangId()) result = 4;
  });
  return result;
}

}  // namespace

TEST(ImageResource, TheProcessLanguagesPictureIsChosen) {
  EXPECT_EQ(FirstPixel(LoadImageResource(L"BANNER")), kEnglishRed);
}

TEST(ImageResource, MissingOrUndecodableResourcesGiveNothing) {
  EXPECT_EQ(LoadImageResource(L"BROKEN"), nullptr);
  EXPECT_EQ(LoadImageResource(L"NO_SUCH_IMAGE"), nullptr);
  EXPECT_EQ(LoadImageResource(nullptr), nullptr);
  EXPECT_EQ(LoadImageResource(L""), nullptr);
}

TEST(ImageResourceDe, TheGermanPictureUnderAGermanLanguage) {
  EXPECT_EQ(FirstPixel(LoadImageResource(L"BANNER")), kGermanBlue);
}

TEST(ImageResourceDe, AWorkerThreadIsBroughtToTheProcessLanguage) {
  qvtest::ChildOptions options;
  options.windowsVersion = L"winxp";
  EXPECT_EQ(qvtest::RunChild(L"worker_image_language", {}, options).exitCode, 0u);
}
