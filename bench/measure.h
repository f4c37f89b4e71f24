#pragma once

#include <functional>
#include <string>
#include <vector>

// Timing and the table's rows, shared by every benchmark family.
namespace qvbench {

struct Row {
  std::string name;
  double ours;
  double baseline;
  double goal;              // 0: the row explains another and has no goal of its own
  const char* unit = "us";  // of ours and baseline: "us" per call, or "B" for sizes
};

double NowMicroseconds();

// Median over rounds of the mean cost of one call, in microseconds.
double MeasurePerCall(int rounds, int calls, const std::function<void()>& body);

// Measures the bodies in `rounds` alternating rounds of `calls` calls each, so drift hits all
// alike, after a warm-up of `warmCalls` calls each (0: none); `beforeEach` runs outside the clock
// before each measured round. The median per-call time of each body, in microseconds.
std::vector<double> CompareMedians(const std::vector<std::function<void()>>& bodies, int calls,
                                   int rounds, int warmCalls,
                                   const std::function<void()>& beforeEach = nullptr);

// A benchmark that cannot measure what it claims ends the run: prints `why` and exits with 1.
[[noreturn]] void Abort(const std::string& why);

}  // namespace qvbench
