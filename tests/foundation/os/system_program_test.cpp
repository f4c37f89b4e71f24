#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "foundation/os/system_program.h"
#include "foundation/owners/scoped_handle.h"
#include "support/text.h"
#include "support/windows_bits.h"

namespace {

std::wstring Folder(UINT(WINAPI* query)(LPWSTR, UINT)) {
  wchar_t directory[MAX_PATH] = {};
  const UINT length = query(directory, MAX_PATH);
  std::wstring path(directory, length);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

// Starts `exe` suspended and asks the system whether that process runs emulated (a 32-bit process
// on 64-bit Windows); ends it again. -1 when it cannot be started.
int StartsEmulated(const std::wstring& exe) {
  std::wstring line = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &info)) {
    return -1;
  }
  ScopedHandle process(info.hProcess);
  ScopedHandle thread(info.hThread);
  BOOL emulated = FALSE;
  const bool asked = IsWow64Process(process.get(), &emulated) != FALSE;
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 10000);
  return asked ? (emulated ? 1 : 0) : -1;
}

TEST(SystemProgram, TheSystemDirectoryAsThisProcessSeesIt) {
  EXPECT_EQ(QVOS::systemProgramPath(L"regsvr32.exe"),
            Folder(GetSystemDirectoryW) + L"regsvr32.exe");
  // Under WoW64 that folder holds the 32-bit programs, like this process.
  EXPECT_EQ(StartsEmulated(QVOS::systemProgramPath(L"rundll32.exe")),
            sizeof(void*) == 4 && qvtest::WindowsIs64Bit() ? 1 : 0);
}

// What has to load a library of the Windows's own bitness (the deskband's) is started from the
// 64-bit system folder on 64-bit Windows, whatever this process's bitness.
TEST(SystemProgram, TheNativeProgramHasTheWindowsOwnBitness) {
  const std::wstring path = QVOS::nativeSystemProgramPath(L"rundll32.exe");
  if (sizeof(void*) == 4 && qvtest::WindowsIs64Bit()) {
    EXPECT_EQ(path, Folder(GetSystemWindowsDirectoryW) + L"Sysnative\\rundll32.exe");
  } else {
    EXPECT_EQ(path, QVOS::systemProgramPath(L"rundll32.exe"));
  }
  EXPECT_EQ(StartsEmulated(path), 0)
      << qvtest::Utf8(path) << " runs as a 64-bit process on 64-bit Windows";
}

}  // namespace
