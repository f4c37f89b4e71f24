#pragma once

#include <windows.h>

#include <string>

#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"

namespace qvtest {

// A child routine that holds something (a mutex, a file lock, a window) until told to let go. It
// is run with `args` followed by the names of two events: it sets the first once it holds, and
// lets go and ends when the second is set. The constructor waits up to a minute for the first.
class HoldingChild {
 public:
  HoldingChild(const std::wstring& name, ChildArgs args);
  // Lets go and waits for the child's end.
  ~HoldingChild() { finish(); }
  HoldingChild(const HoldingChild&) = delete;
  HoldingChild& operator=(const HoldingChild&) = delete;

  // It said it holds before it ended.
  bool holding() const { return holding_; }
  HANDLE process() const { return child_.process(); }
  // Lets go and waits for the child's end (killing it after `timeoutMs`); its exit code.
  DWORD finish(DWORD timeoutMs = 120000);
  // Ends it where it stands, as a program that dies holding.
  void kill();

 private:
  std::wstring readyName_, doneName_;
  ScopedHandle ready_, done_;
  RunningChild child_;
  bool holding_ = false;
};

}  // namespace qvtest
