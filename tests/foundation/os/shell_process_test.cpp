#include <gtest/gtest.h>

#include "foundation/os/integrity_level.h"
#include "foundation/os/shell_process.h"
#include "foundation/owners/scoped_handle.h"
#include "support/shell_window.h"

TEST(ShellProcess, OpensTheProcessThatOwnsTheShellWindowAndNothingWithoutOne) {
  // The test bed's desktop has no shell window of its own.
  ASSERT_EQ(GetShellWindow(), nullptr);
  EXPECT_EQ(QVOS::openShellProcess(), nullptr);

  qvtest::ScopedShellWindow shell;
  ASSERT_TRUE(shell.ready());

  ScopedHandle process(QVOS::openShellProcess());
  ASSERT_TRUE(process);
  EXPECT_EQ(GetProcessId(process.get()), GetProcessId(shell.process()));
  uint32_t level = 0;
  EXPECT_TRUE(QVOS::getIntegrityLevel(process.get(), &level)) << "opened for querying its token";
  EXPECT_EQ(level, QVOS::kHighIntegrity);

  EXPECT_EQ(shell.finish(), 0u);
}
