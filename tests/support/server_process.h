#pragma once

#include <windows.h>

#include <string>

#include "foundation/owners/scoped_handle.h"

// A fixture program playing Explorer's process as a local COM server
// (tests/fixtures/common/local_server.h): started with its record file, a ready event and what it
// is told to misbehave in; asked to quit at the end.
namespace qvtest {

class ServerProcess {
 public:
  ServerProcess() = default;
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts `exe` and waits until its class is registered (true) or it ends first (false).
  // `hangIn` and `dieIn` name a call, or are empty.
  bool start(const std::wstring& exe, const std::wstring& recordPath, const std::wstring& hangIn,
             const std::wstring& dieIn);
  // Asks it to quit, waits `quitMs`, ends it when it does not (hung in a call) and waits for its
  // end. Its exit code: 0 when it quit on its own, else not; 0 as well when it never started.
  DWORD stop(DWORD quitMs);

  bool ready() const { return ready_; }
  DWORD processId() const { return processId_; }
  HANDLE process() const { return process_.get(); }

 private:
  ScopedHandle process_;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;
  bool ready_ = false;
};

}  // namespace qvtest
