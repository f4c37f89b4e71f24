#include "support/explorer_process.h"

#include "support/child_process.h"
#include "support/taskbar_process.h"

namespace qvtest {
namespace {

// A live stand-in quits at once; a hung one never does, and is ended.
constexpr DWORD kQuitMs = 2000;

}  // namespace

ScopedExplorerProcess::ScopedExplorerProcess(const std::wstring& recordPath,
                                             const Misbehaviour& misbehaviour) {
  if (!ForgetClassesOfEndedServers()) return;
  server_.start(ExecutableDirectory() + L"qvexplorer.exe", recordPath, misbehaviour.hangIn,
                misbehaviour.dieIn);
}

ScopedExplorerProcess::~ScopedExplorerProcess() {
  server_.stop(kQuitMs);
  ForgetClassesOfEndedServers();
}

}  // namespace qvtest
