#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "exports/export_guard.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

// Stands in for an export: the boundary takes its name from the function.
int QVNSIS_Example(void (*body)()) {
  return GuardedExport(__func__, -1, [&] {
    body();
    return 7;
  });
}

void QVNSIS_ExampleStatus(void (*body)()) {
  GuardedStatusExport(__func__, [&]() -> DWORD {
    body();
    return ERROR_SUCCESS;
  });
}

class ExportGuardTest : public testing::Test {
 protected:
  std::vector<std::wstring> Log() const { return qvtest::TodaysLogMessages(dir_.path()); }

  qvtest::ScopedTempDir dir_;
  qvtest::ScopedTempEnv logEnv_{dir_.path()};
};

}  // namespace

// Whatever the body throws ends the call with the failure value and one line that names the
// export and what was caught; a body that returns is left alone.
TEST_F(ExportGuardTest, WhatIsCaughtIsLoggedUnderTheExportsName) {
  struct Case {
    const char* what;
    void (*body)();
    int result;
    const wchar_t* line;  // null: nothing logged
  } cases[] = {
      {"returns", [] {}, 7, nullptr},
      {"out of memory", [] { throw std::bad_alloc(); }, -1, L"QVNSIS_Example: out of memory"},
      {"a standard exception", [] { throw std::runtime_error("no handle"); }, -1,
       L"QVNSIS_Example: exception: no handle"},
      {"anything else", [] { throw 42; }, -1, L"QVNSIS_Example: unknown exception"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t before = Log().size();
    EXPECT_EQ(QVNSIS_Example(c.body), c.result);
    const std::vector<std::wstring> log = Log();
    EXPECT_EQ(std::vector<std::wstring>(log.begin() + before, log.end()),
              c.line ? std::vector<std::wstring>{c.line} : std::vector<std::wstring>{});
  }
}

// An export without a result leaves its outcome as the last error, set after the body's own
// destructors (a log write among them) have run: out of memory as such, anything else a general
// failure, each with its line.
TEST_F(ExportGuardTest, AStatusExportLeavesItsOutcomeAsTheLastError) {
  QVNSIS_ExampleStatus([] {});
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  QVNSIS_ExampleStatus([] { throw std::bad_alloc(); });
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  QVNSIS_ExampleStatus([] { throw std::logic_error("odd"); });
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(Log(), (std::vector<std::wstring>{L"QVNSIS_ExampleStatus: out of memory",
                                              L"QVNSIS_ExampleStatus: exception: odd"}));
}

// The body may take the export's name for its own lines, so no export writes it by hand.
TEST_F(ExportGuardTest, TheBodyMayTakeTheExportsName) {
  std::wstring seen;
  GuardedExport("QVNSIS_Named", [&](const wchar_t* name) { seen = name; });
  EXPECT_EQ(seen, L"QVNSIS_Named");
  EXPECT_EQ(GuardedExport("QVNSIS_Named", 0,
                          [&](const wchar_t* name) { return name[0] == L'Q' ? 5 : 0; }),
            5);
}
