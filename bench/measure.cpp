#include "measure.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace qvbench {

double NowMicroseconds() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double MeasurePerCall(int rounds, int calls, const std::function<void()>& body) {
  std::vector<double> perCall;
  for (int r = 0; r < rounds; ++r) {
    const double start = NowMicroseconds();
    for (int i = 0; i < calls; ++i) body();
    perCall.push_back((NowMicroseconds() - start) / calls);
  }
  std::sort(perCall.begin(), perCall.end());
  return perCall[perCall.size() / 2];
}

std::vector<double> CompareMedians(const std::vector<std::function<void()>>& bodies, int calls,
                                   int rounds, int warmCalls,
                                   const std::function<void()>& beforeEach) {
  if (warmCalls > 0) {
    for (const auto& body : bodies) MeasurePerCall(1, warmCalls, body);
  }
  std::vector<std::vector<double>> times(bodies.size());
  for (int r = 0; r < rounds; ++r) {
    for (size_t b = 0; b < bodies.size(); ++b) {
      if (beforeEach) beforeEach();
      times[b].push_back(MeasurePerCall(1, calls, bodies[b]));
    }
  }
  std::vector<double> medians;
  for (auto& t : times) {
    std::sort(t.begin(), t.end());
    medians.push_back(t[t.size() / 2]);
  }
  return medians;
}

void Abort(const std::string& why) {
  std::fprintf(stderr, "%s\n", why.c_str());
  ExitProcess(1);
}

}  // namespace qvbench
