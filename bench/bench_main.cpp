// Benchmarks of the library, each row a ratio against a baseline measured in the same run.
// Run with `make bench` (under wine64); it prints one table. Each family lives in its own
// <family>_bench.cpp; the helpers they share with the tests are in tests/support.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "families.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
  using namespace qvbench;
  // Helpers that play another process (the desktop's shell window) start this program again.
  int childExit = 0;
  if (qvtest::RunChildIfRequested(&childExit)) return childExit;
  const std::vector<InstallerSizes> sizes = ParseInstallerSizes(argc, argv);
  if (sizes.empty()) {
    std::fprintf(stderr,
                 "no DLL sizes given: `make bench` measures them with makensis and passes them\n");
  }
  // A run that stopped early leaves its database under the scratch folder, and the next run must
  // not build on it.
  const std::wstring scratch = qvtest::ExecutableDirectory() + L"bench-scratch\\";
  qvtest::RemoveTree(scratch);
  CreateDirectoryW(scratch.c_str(), nullptr);
  // The library's day logs go to the scratch folder, which the log rows count and clear.
  const qvtest::ScopedTempEnv logsInScratch(scratch);

  std::vector<Row> rows = SizeRows(sizes);
  // First, before any other row had the library loaded.
  for (const Row& row : LoadUnloadRows(scratch)) rows.push_back(row);
  for (const Row& row : LogLineRows(scratch)) rows.push_back(row);
  for (const Row& row : PinAppStoreRows(scratch)) rows.push_back(row);
  for (const Row& row : WindowImageRows(scratch)) rows.push_back(row);
  for (const Row& row : FavoritesRows(scratch)) rows.push_back(row);
  for (const Row& row : StopTovinRows(scratch)) rows.push_back(row);
  for (const Row& row : IsDeskbandRegisteredRows(scratch)) rows.push_back(row);
  for (const Row& row : WorstCaseRows(scratch)) rows.push_back(row);

  std::printf("| %-44s | %15s | %15s | %7s | %6s |\n", "benchmark", "ours", "baseline", "ratio",
              "goal");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(17, '-').c_str(),
              std::string(17, '-').c_str(), std::string(9, '-').c_str(),
              std::string(8, '-').c_str());
  // Times to a tenth of a microsecond, sizes in whole bytes.
  auto amount = [](double value, const char* unit) {
    char text[32];
    if (std::string(unit) == "B") {
      std::snprintf(text, sizeof(text), "%.0f B ", value);
    } else {
      std::snprintf(text, sizeof(text), "%.1f %s", value, unit);
    }
    return std::string(text);
  };
  bool allMet = true;
  for (const Row& row : rows) {
    const double ratio = row.ours / row.baseline;
    char goal[16] = "     -";
    if (row.goal > 0) {
      const bool met = ratio <= row.goal;
      allMet = allMet && met;
      std::snprintf(goal, sizeof(goal), "%s%4.2fx", met ? "<=" : "> ", row.goal);
    }
    std::printf("| %-44s | %15s | %15s | %6.2fx | %s |\n", row.name.c_str(),
                amount(row.ours, row.unit).c_str(), amount(row.baseline, row.unit).c_str(), ratio,
                goal);
  }
  qvtest::RemoveTree(scratch);
  std::printf("%s\n", allMet ? "every goal met" : "some goal missed");
  return 0;
}
