#include <gtest/gtest.h>

#include <process.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::wstring> Messages(const std::wstring& dir) {
  return qvtest::LogMessages(qvtest::TodayLogFile(dir));
}

using qvtest::Library;

}  // namespace

TEST(Library, LoadingLogsOneStartedLineAndThreadsAddNothing) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  Library library;
  ASSERT_TRUE(library);
  const auto atLoad = Messages(dir.path());
  EXPECT_EQ(std::count(atLoad.begin(), atLoad.end(), L"DllMain: started"), 1);
  ASSERT_FALSE(atLoad.empty());
  EXPECT_EQ(atLoad.back(), L"DllMain: started") << "the language manager starts before it";

  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0, [](void*) WINAPI -> unsigned { return 0; }, nullptr, 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  EXPECT_EQ(Messages(dir.path()), atLoad) << "thread attach and detach write nothing";
}

// An installer may load and unload the library around every call; each load must give back the
// thread-local slots it takes, or the process runs out of them (1088) after a few hundred loads.
TEST(Library, UnloadingGivesBackTheThreadLocalSlots) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  // Slots are handed out lowest first, so the first free one shows how many are still taken.
  auto firstFreeSlot = [] {
    const DWORD slot = TlsAlloc();
    TlsFree(slot);
    return slot;
  };
  { Library warm; }
  const DWORD before = firstFreeSlot();
  constexpr DWORD kLoads = 20;
  for (DWORD i = 0; i < kLoads; ++i) {
    Library library;
    ASSERT_TRUE(library);
  }
  // The library's own two slots a load come back; the statically linked C++ runtime keeps one a
  // load (its exception state's thread key), which no code of ours can give back.
  EXPECT_LE(firstFreeSlot() - before, kLoads);
}

// Loading and unloading runs the library's static constructors and destructors under the loader
// lock: they must neither load nor free other libraries there, and each load must come up whole
// (the language manager reads kernel32's UI language through its optional lookups).
TEST(Library, LoadUnloadCyclesStartTheLanguageManagerEveryTimeAndLeaveNothingLoaded) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  wchar_t expected[96] = {};
  swprintf(expected, 96,
           L"ThreadLocaleManager::Init: main thread id is %lu, langid initialized to %04x",
           GetCurrentThreadId(), static_cast<unsigned>(GetThreadUILanguage()));
  constexpr int kLoads = 5;
  for (int i = 0; i < kLoads; ++i) {
    {
      Library library;
      ASSERT_TRUE(library);
    }
    EXPECT_EQ(GetModuleHandleW(L"qvnsis.dll"), nullptr) << "load " << i << " stayed loaded";
  }
  const auto messages = Messages(dir.path());
  EXPECT_EQ(std::count(messages.begin(), messages.end(), std::wstring(expected)), kLoads);
}

TEST(Library, QVNSIS_LogWritesTheMessageUnchangedAndIgnoresNullAndEmpty) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  Library library;
  ASSERT_TRUE(library);
  const auto log = QV_EXPORT(library, QVNSIS_Log);
  ASSERT_NE(log, nullptr);

  const size_t atLoad = Messages(dir.path()).size();
  log(nullptr);
  log(L"");
  log(L"Installer: step 3 of 7 \u00FC (err: 5)");

  const auto messages = Messages(dir.path());
  ASSERT_EQ(messages.size(), atLoad + 1);
  EXPECT_EQ(messages.back(), L"Installer: step 3 of 7 \u00FC (err: 5)");
}

TEST(Library, QVNSIS_LogSurvivesAMissingTemporaryDirectory) {
  qvtest::ScopedTempDir dir;
  const std::wstring missing = dir.path() + L"gone\\";
  qvtest::ScopedTempEnv env(missing);
  Library library;
  ASSERT_TRUE(library);
  QV_CALL(library, QVNSIS_Log, L"nowhere");
  EXPECT_FALSE(qvtest::FileExists(missing));
}

namespace {

// Calls the library makes, through its import table, to load or free a library.
LONG g_libraryLoads = 0;
LONG g_libraryFrees = 0;

HMODULE WINAPI RecordLoadLibraryA(LPCSTR name) {
  InterlockedIncrement(&g_libraryLoads);
  return LoadLibraryA(name);
}
HMODULE WINAPI RecordLoadLibraryW(LPCWSTR name) {
  InterlockedIncrement(&g_libraryLoads);
  return LoadLibraryW(name);
}
HMODULE WINAPI RecordLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
  InterlockedIncrement(&g_libraryLoads);
  return LoadLibraryExA(name, file, flags);
}
HMODULE WINAPI RecordLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
  InterlockedIncrement(&g_libraryLoads);
  return LoadLibraryExW(name, file, flags);
}
BOOL WINAPI RecordFreeLibrary(HMODULE module) {
  InterlockedIncrement(&g_libraryFrees);
  return FreeLibrary(module);
}

// Points the module's imports of kernel32's loading and freeing functions at the recorders
// above. Answers how many were found.
int RedirectLibraryLoading(void* base) {
  const auto* image = static_cast<BYTE*>(base);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!directory.VirtualAddress) return 0;
  const struct {
    const char* name;
    void* recorder;
  } redirects[] = {
      {"LoadLibraryA", reinterpret_cast<void*>(&RecordLoadLibraryA)},
      {"LoadLibraryW", reinterpret_cast<void*>(&RecordLoadLibraryW)},
      {"LoadLibraryExA", reinterpret_cast<void*>(&RecordLoadLibraryExA)},
      {"LoadLibraryExW", reinterpret_cast<void*>(&RecordLoadLibraryExW)},
      {"FreeLibrary", reinterpret_cast<void*>(&RecordFreeLibrary)},
  };
  int found = 0;
  for (auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + directory.VirtualAddress);
       import->Name; ++import) {
    if (_stricmp(reinterpret_cast<const char*>(image + import->Name), "kernel32.dll") != 0)
      continue;
    const auto* names =
        reinterpret_cast<const IMAGE_THUNK_DATA*>(image + import->OriginalFirstThunk);
    auto* slots =
        reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<BYTE*>(image) + import->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(image + names->u1.AddressOfData)->Name;
      for (const auto& redirect : redirects) {
        if (strcmp(name, redirect.name) != 0) continue;
        DWORD protection = 0;
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE,
                       &protection);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(redirect.recorder);
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection, &protection);
        ++found;
      }
    }
  }
  return found;
}

// LdrRegisterDllNotification's call: the loader calls it under its lock, for a module being
// loaded once its imports are bound and before its DllMain runs.
struct DllNotificationData {
  ULONG flags;
  const UNICODE_STRING* fullName;
  const UNICODE_STRING* baseName;
  void* base;
  ULONG imageSize;
};
using DllNotification = VOID(NTAPI*)(ULONG reason, const DllNotificationData* data, PVOID context);
using RegisterDllNotification = NTSTATUS(NTAPI*)(ULONG flags, DllNotification callback,
                                                 PVOID context, PVOID* cookie);
using UnregisterDllNotification = NTSTATUS(NTAPI*)(PVOID cookie);
constexpr ULONG kDllLoaded = 1;

struct Redirection {
  int redirected = -1;
  // Loads and frees recorded before DllMain: none can be the library's own.
  LONG loadsBefore = -1;
};

VOID NTAPI RedirectWhenTheLibraryLoads(ULONG reason, const DllNotificationData* data,
                                       PVOID context) {
  const UNICODE_STRING* name = data->baseName;
  if (reason != kDllLoaded || !name || name->Length != 10 * sizeof(wchar_t) ||
      _wcsnicmp(name->Buffer, L"qvnsis.dll", 10) != 0) {
    return;
  }
  auto* redirection = static_cast<Redirection*>(context);
  redirection->redirected = RedirectLibraryLoading(data->base);
  redirection->loadsBefore = g_libraryLoads + g_libraryFrees;
}

}  // namespace

// The library's DllMain (its static constructors and destructors with it) runs under the loader
// lock, where loading or freeing a library risks a deadlock: it must call neither LoadLibrary nor
// FreeLibrary there, not even for kernel32 (which every process has). Seen through the library's
// own import table, pointed at recorders once it is bound and before DllMain runs.
TEST(Library, DllMainNeitherLoadsNorFreesALibrary) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto registerNotification = reinterpret_cast<RegisterDllNotification>(
      GetProcAddress(ntdll, "LdrRegisterDllNotification"));
  const auto unregisterNotification = reinterpret_cast<UnregisterDllNotification>(
      GetProcAddress(ntdll, "LdrUnregisterDllNotification"));
  ASSERT_TRUE(registerNotification && unregisterNotification);
  ASSERT_EQ(GetModuleHandleW(L"qvnsis.dll"), nullptr);

  Redirection redirection;
  PVOID cookie = nullptr;
  ASSERT_EQ(registerNotification(0, RedirectWhenTheLibraryLoads, &redirection, &cookie), 0);
  HMODULE library = LoadLibraryW(qvtest::LibraryPath().c_str());
  unregisterNotification(cookie);
  ASSERT_NE(library, nullptr);
  const LONG loadsInLoading = g_libraryLoads;
  const LONG freesInLoading = g_libraryFrees;
  FreeLibrary(library);
  const LONG loadsInUnloading = g_libraryLoads - loadsInLoading;
  const LONG freesInUnloading = g_libraryFrees - freesInLoading;

  ASSERT_EQ(redirection.loadsBefore, 0) << "no notification before DllMain";
  ASSERT_GT(redirection.redirected, 0)
      << "the library imports none of kernel32's loading functions";
  EXPECT_EQ(loadsInLoading, 0) << "DllMain loaded a library";
  EXPECT_EQ(freesInLoading, 0) << "DllMain freed a library";
  EXPECT_EQ(loadsInUnloading, 0) << "DllMain loaded a library while unloading";
  EXPECT_EQ(freesInUnloading, 0) << "DllMain freed a library while unloading";
}
