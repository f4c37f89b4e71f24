#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

#include "foundation/owners/qv_reg_key.h"
#include "shell/deskband_release/deskband_release.h"
#include "shell/deskband_release/deskband_release_hook.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

// The recording in-process server of the test fixtures.
const CLSID kRecordingServer = {0x6a1d3c52, 0x8f0e, 0x4b7a, {0x9c, 0x21, 0x5e, 0x44, 0x0b, 0x93, 0xd7, 0x18}};
const wchar_t kRecordingServerKey[] =
    L"Software\\Classes\\CLSID\\{6A1D3C52-8F0E-4B7A-9C21-5E440B93D718}";

// Wine's COM finds in-process classes under HKLM only. Registered for the scope.
class ScopedRecordingServer {
 public:
  ScopedRecordingServer() {
    QVRegKey key;
    key.create(HKEY_LOCAL_MACHINE, (std::wstring(kRecordingServerKey) + L"\\InprocServer32").c_str(),
               KEY_WRITE);
    Set(key.get(), nullptr, qvtest::ExecutableDirectory() + L"recording_com_server.dll");
    Set(key.get(), L"ThreadingModel", L"Apartment");
  }
  ~ScopedRecordingServer() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRecordingServerKey); }

 private:
  static void Set(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
};

LRESULT CALLBACK PassOn(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Loads the recording server and drops its only object, so COM may free it; with "hook", plays
// the installed release hook; then runs ReleaseIfInExplorer. Exit code: 1 when it answered true,
// plus 2 when COM asked the server whether it could be unloaded; 10 and up for a broken set-up.
QV_TEST_CHILD(release_if_in_explorer) {
  const std::wstring record = args.at(1);
  SetEnvironmentVariableW(L"QVTEST_COM_RECORD", record.c_str());
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 10;
  IUnknown* object = nullptr;
  if (FAILED(CoCreateInstance(kRecordingServer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&object)))) {
    return 11;
  }
  object->Release();

  HHOOK hook = nullptr;
  if (args.at(0) == L"hook") {
    hook = SetWindowsHookExW(WH_CALLWNDPROC, PassOn, nullptr, GetCurrentThreadId());
    if (!hook) return 12;
  }
  SetSharedDeskbandHook(hook);
  const bool released = ReleaseIfInExplorer();
  // Read before COM's own tear-down asks the server again.
  const bool asked = qvtest::ReadFileBytes(record).find("DllCanUnloadNow") != std::string::npos;
  SetSharedDeskbandHook(nullptr);
  if (hook) UnhookWindowsHookEx(hook);
  CoUninitialize();
  return (released ? 1 : 0) | (asked ? 2 : 0);
}

// As in Explorer across two runs of the release: two releases further apart than COM's unload
// delay. Exit code: 0 when the dropped server is gone afterwards, 1 when it is still loaded; 10
// and up for a broken set-up.
QV_TEST_CHILD(release_twice_in_explorer) {
  SetEnvironmentVariableW(L"QVTEST_COM_RECORD", args.at(0).c_str());
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 10;
  IUnknown* object = nullptr;
  if (FAILED(CoCreateInstance(kRecordingServer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&object)))) {
    return 11;
  }
  object->Release();
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, PassOn, nullptr, GetCurrentThreadId());
  if (!hook) return 12;
  SetSharedDeskbandHook(hook);
  bool released = ReleaseIfInExplorer();
  // Well past the 500 ms a library must have been unused before COM frees it.
  Sleep(1500);
  released = ReleaseIfInExplorer() && released;
  const bool loaded = GetModuleHandleW(L"recording_com_server.dll") != nullptr;
  SetSharedDeskbandHook(nullptr);
  UnhookWindowsHookEx(hook);
  CoUninitialize();
  if (!released) return 13;
  return loaded ? 1 : 0;
}

}  // namespace

TEST(ReleaseIfInExplorer, FreesUnusedLibrariesOnlyInExplorerWhileTheHookIsInstalled) {
  ScopedRecordingServer server;
  struct Case {
    const wchar_t* exeName;
    const wchar_t* hook;
    DWORD expected;
  };
  const Case cases[] = {
      // The path test ignores letter case.
      {L"EXPLORER.EXE", L"hook", 3},
      // Once the hook is gone (the release has been done), nothing happens.
      {L"EXPLORER.EXE", L"none", 0},
      // Any other process only passes the hook on.
      {L"qvchild_plain.exe", L"hook", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "process " << c.exeName << ", hook " << c.hook);
    qvtest::ScopedTempDir dir;
    qvtest::ChildOptions options;
    options.exeName = c.exeName;
    EXPECT_EQ(qvtest::RunChild(L"release_if_in_explorer", {c.hook, dir.path() + L"record.txt"}, options)
                  .exitCode,
              c.expected);
  }
}

TEST(ReleaseIfInExplorer, ASecondReleaseFreesWhatTheFirstFoundUnused) {
  ScopedRecordingServer server;
  qvtest::ScopedTempDir dir;
  qvtest::ChildOptions options;
  options.exeName = L"EXPLORER.EXE";
  EXPECT_EQ(qvtest::RunChild(L"release_twice_in_explorer", {dir.path() + L"record.txt"}, options).exitCode,
            0u);
}
