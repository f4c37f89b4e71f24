#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "exports/window_images/gdiplus_manifest_id.h"
#include "foundation/os/system_library.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/text.h"
#include "support/windows_bits.h"

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

std::wstring WindowsFolder() {
  wchar_t directory[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(directory, MAX_PATH);
  std::wstring path = directory;
  if (path.back() != L'\\') path += L'\\';
  return path;
}

// The manifest resource the library itself carries, read from its file.
ACTCTXW LibraryManifest(const std::wstring& library, WORD id) {
  ACTCTXW manifest = {};
  manifest.cbSize = sizeof(manifest);
  manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  manifest.lpSource = library.c_str();
  manifest.lpResourceName = MAKEINTRESOURCEW(id);
  return manifest;
}

// A copy of a real DLL under a name no system folder has, for the scope.
class PlantedLibrary {
 public:
  PlantedLibrary(const std::wstring& folder, const wchar_t* name) : path_(folder + name) {
    CopyFileW(qvtest::LibraryPath().c_str(), path_.c_str(), FALSE);
  }
  ~PlantedLibrary() { DeleteFileW(path_.c_str()); }
  PlantedLibrary(const PlantedLibrary&) = delete;
  PlantedLibrary& operator=(const PlantedLibrary&) = delete;
  bool exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  std::wstring path_;
};

// gdiplus.dll comes from the system folder of this process's own bitness, by its full path: under
// WoW64 SysWOW64, even while the thread has file-system redirection turned off (as NSIS's
// ${DisableX64FSRedirection} leaves it), where System32 would hand a 32-bit process the 64-bit
// file.
TEST(SystemLibrary, LoadsFromTheSystemFolderOfItsOwnBitness) {
  const std::wstring expected = QVOS::systemLibraryPath(L"gdiplus.dll");
  ASSERT_FALSE(expected.empty());
  wchar_t folder[MAX_PATH] = {};
  if (sizeof(void*) == 4 && qvtest::WindowsIs64Bit()) {
    GetSystemWow64DirectoryW(folder, MAX_PATH);
  } else {
    GetSystemDirectoryW(folder, MAX_PATH);
  }
  EXPECT_EQ(Lower(expected), Lower(std::wstring(folder) + L"\\gdiplus.dll"));

  void* redirection = nullptr;
  using DisableFn = BOOL(WINAPI*)(void**);
  using RevertFn = BOOL(WINAPI*)(void*);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const auto disable =
      reinterpret_cast<DisableFn>(GetProcAddress(kernel32, "Wow64DisableWow64FsRedirection"));
  const auto revert =
      reinterpret_cast<RevertFn>(GetProcAddress(kernel32, "Wow64RevertWow64FsRedirection"));
  const bool redirectionOff =
      sizeof(void*) == 4 && qvtest::WindowsIs64Bit() && disable && disable(&redirection);
  const HMODULE gdiplus = QVOS::loadSystemLibrary(L"gdiplus.dll");
  const DWORD error = GetLastError();
  if (redirectionOff) revert(redirection);
  ASSERT_NE(gdiplus, nullptr) << "error " << error;
  EXPECT_EQ(Lower(ModulePath(gdiplus)), Lower(expected));
  EXPECT_NE(GetProcAddress(gdiplus, "GdiplusStartup"), nullptr);
  FreeLibrary(gdiplus);
}

// A name the system folders lack is not loaded at all, even when a file of that name lies beside
// the program and in its working directory, where a bare-name load would find it.
TEST(SystemLibrary, APlantedLibraryIsNeverLoaded) {
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring workingFolder = current;
  if (workingFolder.back() != L'\\') workingFolder += L'\\';
  const PlantedLibrary besideProgram(qvtest::ExecutableDirectory(), L"qvplanted.dll");
  const PlantedLibrary inWorkingFolder(workingFolder, L"qvplanted.dll");
  ASSERT_TRUE(besideProgram.exists());

  EXPECT_EQ(QVOS::loadSystemLibrary(L"qvplanted.dll"), nullptr);
  EXPECT_EQ(QVOS::loadSystemLibrary(L"qvplanted.dll", kGdiplusManifestId), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"qvplanted.dll"), nullptr);
}

// Where the system directory has no gdiplus.dll (Windows XP keeps GDI+ only in its side-by-side
// store), the library's own manifest resource leads to the GDI+ assembly's folder, by full path.
TEST(SystemLibrary, GdiplusFromTheSideBySideStoreThroughTheLibrarysManifest) {
  const std::wstring library = qvtest::LibraryPath();
  const std::wstring path =
      QVOS::sideBySideLibraryPath(LibraryManifest(library, kGdiplusManifestId), L"gdiplus.dll");
  ASSERT_FALSE(path.empty()) << "no GDI+ assembly found through the manifest resource of "
                             << qvtest::Utf8(library);
  const std::wstring store = Lower(WindowsFolder() + L"winsxs\\");
  EXPECT_EQ(Lower(path).compare(0, store.size(), store), 0) << qvtest::Utf8(path);
  EXPECT_NE(Lower(path).find(L"microsoft.windows.gdiplus_6595b64144ccf1df_1.0."),
            std::wstring::npos)
      << qvtest::Utf8(path) << ": GDI+ 1.0, which Windows XP has";
  const std::wstring architecture = sizeof(void*) == 8 ? L"amd64_" : L"x86_";
  EXPECT_EQ(Lower(path).compare(store.size(), architecture.size(), architecture), 0)
      << qvtest::Utf8(path);

  const HMODULE gdiplus = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(gdiplus, nullptr);
  EXPECT_NE(GetProcAddress(gdiplus, "GdipDrawImageRectRect"), nullptr);
  FreeLibrary(gdiplus);

  // A resource that names no assembly with that file leads nowhere.
  EXPECT_TRUE(
      QVOS::sideBySideLibraryPath(LibraryManifest(library, kGdiplusManifestId), L"qvplanted.dll")
          .empty());
  EXPECT_TRUE(QVOS::sideBySideLibraryPath(LibraryManifest(library, 4321), L"gdiplus.dll").empty());
}

}  // namespace
