#include <gtest/gtest.h>

#include <windows.h>

#include "foundation/owners/qv_reg_key.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/temp_dir.h"

namespace {

std::wstring ClassKey(int number) {
  return L"Software\\Classes\\CLSID\\" + qvtest::DeskbandClsidText(number);
}

std::wstring RegisteredLibrary(int number) {
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = sizeof(path) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, (ClassKey(number) + L"\\InprocServer32").c_str(), nullptr,
                   RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return path;
}

}  // namespace

// "regsvr32 /s" of each build registers exactly that build's class for the user, pointing at
// the library; "/u" removes it again. From a folder whose name has a space, as installs have.
TEST(FakeDeskband, Regsvr32RegistersAndUnregistersEachBuild) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedDeskbandCleanup cleanup;
  const std::wstring folder = dir.path() + L"Tovin Platform\\";
  for (int number = 0; number < 5; ++number) {
    SCOPED_TRACE(number);
    const std::wstring library = qvtest::InstallDeskbandLibrary(folder, number);
    EXPECT_EQ(qvtest::RunRegsvr32(L"/s \"" + library + L"\""), 0u);
    EXPECT_EQ(RegisteredLibrary(number), library);
    for (int other = 0; other < 5; ++other) {
      if (other != number) {
        EXPECT_EQ(RegisteredLibrary(other), L"") << other;
      }
    }
    EXPECT_EQ(qvtest::RunRegsvr32(L"/s /u \"" + library + L"\""), 0u);
    EXPECT_EQ(RegisteredLibrary(number), L"");
  }
  const auto registered =
      qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(folder), L"DllRegisterServer");
  const auto unregistered =
      qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(folder), L"DllUnregisterServer");
  ASSERT_EQ(registered.size(), 5u);
  ASSERT_EQ(unregistered.size(), 5u);
  for (int number = 0; number < 5; ++number) {
    const qvtest::Record expected = {L"DllRegisterServer", std::to_wstring(number),
                                     qvtest::DeskbandClsidText(number), L"0"};
    EXPECT_EQ(registered[number], expected);
    EXPECT_EQ(unregistered[number][2], qvtest::DeskbandClsidText(number));
  }
}

// The prompt helper, started through rundll32 as the installer library does, signals the
// ready event the installer waits for.
TEST(FakeDeskband, PromptHelperSignalsTheReadyEvent) {
  qvtest::ScopedTempDir dir;
  const std::wstring folder = dir.path() + L"Tovin Platform\\";
  const std::wstring library = qvtest::InstallDeskbandLibrary(folder, 3);
  ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, L"TovinExplorerPromptHelperReadyEvent"));
  ASSERT_TRUE(ready);

  std::wstring line = L"rundll32.exe \"" + library + L"\",RunExplorerPromptHelper";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  ScopedHandle process(info.hProcess);
  CloseHandle(info.hThread);

  EXPECT_EQ(WaitForSingleObject(ready.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(process.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  const auto helper =
      qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(folder), L"RunExplorerPromptHelper");
  ASSERT_EQ(helper.size(), 1u);
  EXPECT_EQ(helper[0][1], L"3");
  EXPECT_EQ(helper[0][2], L"1");
  ASSERT_EQ(helper[0].size(), 6u);
  EXPECT_EQ(helper[0][5], std::to_wstring(sizeof(void*) * 8))
      << "the library's bitness is its process's";
}
