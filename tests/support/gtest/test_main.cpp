#include <gtest/gtest.h>

#include "support/child_process.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (qvtest::RunChildIfRequested(&exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // ctest runs one test per process by name: a name that matches nothing must not pass.
  if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    fprintf(stderr, "no test matched the filter\n");
    return 1;
  }
  return result;
}
