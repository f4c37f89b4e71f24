#include "support/holding_child.h"

#include <cstdio>
#include <utility>

namespace qvtest {
namespace {

ChildArgs WithEvents(ChildArgs args, const std::wstring& ready, const std::wstring& done) {
  args.push_back(ready);
  args.push_back(done);
  return args;
}

}  // namespace

HoldingChild::HoldingChild(const std::wstring& name, ChildArgs args)
    : readyName_(UniqueName(L"ready")),
      doneName_(UniqueName(L"done")),
      ready_(CreateEventW(nullptr, TRUE, FALSE, readyName_.c_str())),
      done_(CreateEventW(nullptr, TRUE, FALSE, doneName_.c_str())),
      child_(name, WithEvents(std::move(args), readyName_, doneName_)) {
  const HANDLE waits[] = {ready_.get(), child_.process()};
  holding_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
  if (!holding_ && child_.process()) {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(child_.process(), &code);
    fwprintf(stderr, L"child %ls did not say it holds (exit code %lu)\n", name.c_str(), code);
  }
}

DWORD HoldingChild::finish(DWORD timeoutMs) {
  SetEvent(done_.get());
  return child_.wait(timeoutMs);
}

void HoldingChild::kill() {
  TerminateProcess(child_.process(), 9);
  child_.wait();
}

}  // namespace qvtest
