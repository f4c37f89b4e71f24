#include <gtest/gtest.h>

#include "support/child_process.h"

namespace {

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
  struct Case { const wchar_t* version; DWORD reported; } cases[] = {
      {L"winxp", 501}, {L"win7", 601}, {L"win8", 602}, {L"win81", 602},
  };
  for (const auto& c : cases) {
    qvtest::ChildOptions options;
    options.windowsVersion = c.version;
    EXPECT_EQ(qvtest::RunChild(L"report_version", {}, options).exitCode, c.reported) << c.version;
  }
}
