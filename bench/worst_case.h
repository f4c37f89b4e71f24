#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measure.h"

// Worst cases: an export timed with the other process it waits on made to hang, against the bound
// the README's "Worst case" column states for it. A row adds to worst_case_bench.cpp's list.
namespace qvbench {

struct WorstCase {
  std::string name;      // "<export without QVNSIS_>, <what hangs>", at most 35 characters
  double statedBoundMs;  // the README's bound for that export
  // Makes the other side hang for one call; what it returns lets go of it when destroyed (outside
  // the clock). Null when the case cannot be set up: the run ends, naming it.
  std::function<std::shared_ptr<void>()> hang;
  std::function<void()> call;  // timed
  // After the call, with the hung side still held: whether it really hung (a case that did not
  // would measure nothing and end the run). Null: the call's time is the only evidence.
  std::function<bool(const std::shared_ptr<void>& hung)> didHang = nullptr;
};

// The longest of `repetitions` calls of each case, in ms, against its stated bound; goal 1.1x.
std::vector<Row> MeasureWorstCases(const std::vector<WorstCase>& cases, int repetitions);

}  // namespace qvbench
