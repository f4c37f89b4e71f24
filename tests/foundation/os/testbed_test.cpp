#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "support/child_process.h"

namespace {

// The test bed's last step before any test runs (ctest's "testbed.ready"): waits until the
// prefix has finished booting as far as the tests need it, with the taskbar window of Wine's
// desktop up, so that no test meets a half-started prefix under load. Exit code 0 once it is
// there, 1 when it is not within two minutes.
QV_TEST_CHILD(testbed_ready) {
  const ULONGLONG deadline = GetTickCount64() + 120000;
  // Creating a window brings up the desktop process, which puts up the taskbar.
  const HWND probe =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  int code = 0;
  while (!FindWindowW(L"Shell_TrayWnd", nullptr)) {
    if (GetTickCount64() > deadline) {
      code = 1;
      break;
    }
    Sleep(100);
  }
  if (probe) DestroyWindow(probe);
  return code;
}

// Exit code: major * 100 + minor of the version the system reports to this process.
QV_TEST_CHILD(report_version) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&info);
#pragma GCC diagnostic pop
  return static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
}

}  // namespace

// The test bed's promise to later tests: a child can run under a chosen Windows release.
TEST(TestBed, ChildRunsUnderTheChosenWindowsVersion) {
  struct Case {
    const wchar_t* version;
    DWORD reported;
  } cases[] = {
      {L"winxp", 501},
      {L"win7", 601},
      {L"win8", 602},
      {L"win81", 602},
  };
  for (const auto& c : cases) {
    qvtest::ChildOptions options;
    options.windowsVersion = c.version;
    EXPECT_EQ(qvtest::RunChild(L"report_version", {}, options).exitCode, c.reported) << c.version;
  }
}

// Wine's COM service (RpcSs) brokers the classes processes register as local servers, and keeps
// them only while it runs. The bed has one service manager, and the service stays up: with two
// managers serving the same pipes each failed the other's service starts, and RpcSs went
// RUNNING -> STOPPED every second or two.
TEST(TestBed, OneServiceManagerKeepsTheComServiceRunning) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int managers = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"services.exe") == 0) ++managers;
  }
  CloseHandle(snapshot);
  EXPECT_EQ(managers, 1);

  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(manager, nullptr);
  const SC_HANDLE service = OpenServiceW(manager, L"RpcSs", SERVICE_QUERY_STATUS);
  EXPECT_NE(service, nullptr);
  int notRunning = 0;
  for (int look = 0; service && look < 40; ++look) {
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service, &status) || status.dwCurrentState != SERVICE_RUNNING)
      ++notRunning;
    Sleep(100);
  }
  EXPECT_EQ(notRunning, 0) << "of 40 looks over 4 s";
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
}
