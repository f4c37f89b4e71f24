#include <gtest/gtest.h>

#include <windows.h>

#include <png.h>

#include <random>
#include <string>
#include <vector>

#include "exports/window_images/qv_image.h"
#include "support/image_files.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/resource_usage.h"
#include "support/temp_dir.h"

// Mutated images and favourites files through the real decoders and exports: whatever the bytes,
// the call returns, and leaves no handle, GDI object or memory behind.

namespace {

struct Usage {
  DWORD handles = 0;
  DWORD gdiObjects = 0;
  SIZE_T privateBytes = 0;
};

Usage CurrentUsage() {
  Usage usage;
  usage.handles = qvtest::CountHandles();
  usage.gdiObjects = qvtest::CountGdiObjects();
  usage.privateBytes = qvtest::CommittedPrivateBytes();
  return usage;
}

void ExpectNoGrowth(const Usage& before, const Usage& after, SIZE_T memorySlack) {
  EXPECT_GT(before.handles, 0u) << "the handle count works";
  EXPECT_LE(after.handles, before.handles) << "kernel handles";
  EXPECT_LE(after.gdiObjects, before.gdiObjects) << "GDI objects";
  EXPECT_LE(after.privateBytes, before.privateBytes + memorySlack) << "private bytes";
}

// Small mutations of the kinds that break decoders: flipped and overwritten bytes, huge
// 32-bit fields (sizes, lengths), cuts, and inserted or removed runs.
std::string Mutate(std::string bytes, std::mt19937* random) {
  auto pick = [&](size_t n) { return n == 0 ? 0 : static_cast<size_t>((*random)() % n); };
  const int count = 1 + static_cast<int>(pick(4));
  for (int i = 0; i < count && !bytes.empty(); ++i) {
    const size_t at = pick(bytes.size());
    switch (pick(6)) {
      case 0:
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << pick(8)));
        break;
      case 1:
        bytes[at] = static_cast<char>(pick(2) ? 0xFF : 0x00);
        break;
      case 2: {
        static const char* const kHuge[] = {"\xFF\xFF\xFF\xFF", "\x7F\xFF\xFF\xFF",
                                            "\x00\x01\x00\x00", "\x00\x00\x00\x00"};
        bytes.replace(at, std::min<size_t>(4, bytes.size() - at), kHuge[pick(4)], 4);
        break;
      }
      case 3:
        bytes.resize(at);
        break;
      case 4:
        bytes.insert(at, std::string(1 + pick(16), static_cast<char>(pick(256))));
        break;
      default:
        bytes.erase(at, 1 + pick(16));
        break;
    }
  }
  return bytes;
}

std::vector<std::string> SampleImages() {
  qvtest::PngPicture palette;
  palette.width = palette.height = 8;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  palette.transparency = {0, 128};
  palette.rows.assign(8, std::string("\x00\x01\x02\x03\x00\x01\x02\x03", 8));
  qvtest::PngPicture grey16;
  grey16.width = grey16.height = 6;
  grey16.colorType = PNG_COLOR_TYPE_GRAY;
  grey16.bitDepth = 16;
  grey16.interlaced = true;
  grey16.rows.assign(6, std::string(12, '\x42'));
  auto ramp = [](int x, int y, int c) { return (x * 16 + y * 8 + c * 50) & 0xFF; };
  return {qvtest::EncodePng(palette),
          qvtest::EncodePng(grey16),
          qvtest::TwoColourPng(12, 9, 0x123456, 0xABCDEF),
          qvtest::EncodeJpeg(24, 16, 3, ramp),
          qvtest::EncodeJpeg(16, 16, 3, ramp, true),
          qvtest::EncodeJpeg(16, 24, 1, ramp)};
}

// QVNSIS_LoadFavorites of the real DLL on a file of the test's own, with HKCU\SOFTWARE\Tovin put
// back afterwards and the log in a folder of its own.
struct FavoritesImport {
  // Imports the file as it is now.
  void run() const { load(file.c_str()); }

  qvtest::ScopedRegistryKey savedKey{HKEY_CURRENT_USER, L"SOFTWARE\\Tovin"};
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv{logDir.path()};
  qvtest::ScopedTempDir dir;
  qvtest::Library library;
  decltype(&QVNSIS_LoadFavorites) load = QV_EXPORT(library, QVNSIS_LoadFavorites);
  std::wstring file = dir.path() + L"favorites.txt";
};

}  // namespace

TEST(BadInput, MutatedImagesFailOrLoadCleanly) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedTempDir dir;
  qvtest::Library library;
  auto fromFile = QV_EXPORT(library, QVNSIS_SetWindowImageFromFile);
  ASSERT_NE(fromFile, nullptr);
  HWND control = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 128, 128, nullptr,
                                 nullptr, nullptr, nullptr);
  ASSERT_NE(control, nullptr);
  SetWindowPos(control, nullptr, 0, 0, 128, 128, SWP_NOZORDER | SWP_NOACTIVATE);
  const std::vector<std::string> samples = SampleImages();
  const std::wstring file = dir.path() + L"mutated.img";

  // Everything started once per process (GDI+, the log) is up before counting.
  for (const auto& sample : samples) {
    qvtest::WriteFileBytes(file, sample);
    fromFile(control, file.c_str());
    ASSERT_NE(QVImage::loadFromFile(file), nullptr);
  }
  const Usage before = CurrentUsage();

  std::mt19937 random(20261210);
  int loaded = 0, failed = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string bytes = Mutate(samples[i % samples.size()], &random);
    auto image = std::make_shared<QVImage>();
    if (image->loadFromMemory(bytes.data(), bytes.size())) {
      ++loaded;
      ASSERT_GT(image->width(), 0);
      ASSERT_GT(image->height(), 0);
      ASSERT_NE(image->pixels(), nullptr);
    } else {
      ++failed;
    }
    // Every tenth through the export, as a file painted into a window.
    if (i % 10 == 0) {
      qvtest::WriteFileBytes(file, bytes);
      fromFile(control, file.c_str());
    }
  }
  // Both outcomes occur, so the mutations reach past the signatures.
  EXPECT_GT(loaded, 100);
  EXPECT_GT(failed, 100);
  // 300 leaked 128 x 128 pictures would hold 19 MB of bitmaps alone.
  ExpectNoGrowth(before, CurrentUsage(), 4 * 1024 * 1024);
  DestroyWindow(control);
}

TEST(BadInput, MutatedFavoritesFilesImportCleanly) {
  const FavoritesImport favorites;
  ASSERT_NE(favorites.load, nullptr);
  const std::wstring utf16 = L"\uFEFFapp1\r\nZ\u00FCrich app\r\n\xD83D\xDE00\r\n\r\nlast";
  const std::vector<std::string> samples = {
      "app1\r\n\xE6\x9D\xB1\xE4\xBA\xAC\nCaf\xC3\xA9\r\n\r\n\xF0\x9F\x98\x80 app\nlast",
      "\xEF\xBB\xBF"
      "one\ntwo\n",
      std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2),
  };
  // Enough lines for the log's once-a-day clean-up (at a process's 50th line) to be behind us.
  for (int i = 0; i < 10; ++i) {
    qvtest::WriteFileBytes(favorites.file, samples[i % samples.size()]);
    favorites.run();
  }
  const Usage before = CurrentUsage();

  std::mt19937 random(1210);
  for (int i = 0; i < 1500; ++i) {
    qvtest::WriteFileBytes(favorites.file, Mutate(samples[i % samples.size()], &random));
    favorites.run();
  }
  ExpectNoGrowth(before, CurrentUsage(), 4 * 1024 * 1024);
  // Still stores a clean list afterwards.
  qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload\\Favorites");
  qvtest::WriteFileBytes(favorites.file, "a\nb\n");
  favorites.run();
  qvtest::RegistryValue value;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload\\Favorites",
                                        L"1", &value));
  EXPECT_EQ(value.bytes, qvtest::WideBytes(L"b"));
}

TEST(BadInput, A64MegabyteFavoritesFileImportsWhole) {
  // Timing against a quarter-size file is a benchmark row; here, that every entry of a large
  // file arrives in order. Long entries keep the registry and log work moderate.
  const FavoritesImport favorites;
  ASSERT_NE(favorites.load, nullptr);

  constexpr size_t kEntries = 1024;
  constexpr size_t kEntryBytes = 64 * 1024;  // with "\r\n", 64 MiB + 2 KiB in all
  std::string bytes;
  bytes.reserve(kEntries * (kEntryBytes + 2));
  for (size_t i = 0; i < kEntries; ++i) {
    std::string entry = "app" + std::to_string(i) + "-";
    entry.resize(kEntryBytes - 3, static_cast<char>('a' + i % 26));
    entry += "\xC3\xA9";  // and one two-byte character at the end
    bytes += entry + "\r\n";
  }
  qvtest::WriteFileBytes(favorites.file, bytes);
  bytes.clear();
  bytes.shrink_to_fit();
  favorites.run();

  const std::wstring key = L"SOFTWARE\\Tovin\\Sideload\\Favorites";
  for (size_t i : {size_t{0}, size_t{1}, size_t{511}, kEntries - 1}) {
    SCOPED_TRACE(i);
    std::wstring expected = L"app" + std::to_wstring(i) + L"-";
    expected.resize(kEntryBytes - 3, static_cast<wchar_t>(L'a' + i % 26));
    expected += L"\u00E9";
    qvtest::RegistryValue value;
    ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, key, std::to_wstring(i), &value));
    EXPECT_EQ(value.bytes, qvtest::WideBytes(expected));
  }
  qvtest::RegistryValue beyond;
  EXPECT_FALSE(
      qvtest::ReadRegistryValue(HKEY_CURRENT_USER, key, std::to_wstring(kEntries), &beyond));
  size_t added = 0;
  for (const auto& m : qvtest::TodaysLogMessages(favorites.logDir.path())) {
    if (m.rfind(L"QVNSIS_LoadFavorites: Adding favorite to sideloading: app", 0) == 0) ++added;
  }
  EXPECT_EQ(added, kEntries);
}
