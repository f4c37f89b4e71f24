#pragma once

#include <windows.h>

#include <string>

#include "support/server_process.h"

// Explorer's shell automation objects in a process of their own (qvexplorer.exe), as Explorer
// serves them: CLSID_ShellWindows registered with CoRegisterClassObject as a local server, every
// object reached through the system's proxies. Wine's COM service hands out the first class
// object registered, so the service is restarted first (dropping the desktop's own Explorer's
// registration) and again at the end (dropping the stand-in's). Records its calls to
// `recordPath` (see tests/fixtures/explorer/explorer_process_main.cpp) after one record
//   registered <process id>
// Told to, it hangs in a call (records "<call> hung" and never answers) or dies in one
// (records "<call> died" and ends in the middle of the call).
namespace qvtest {

class ScopedExplorerProcess {
 public:
  struct Misbehaviour {
    std::wstring hangIn;  // a call name, or empty
    std::wstring dieIn;
  };

  ScopedExplorerProcess(const std::wstring& recordPath, const Misbehaviour& misbehaviour);
  // Asks it to quit, ends it when it does not (hung in a call), waits for its end and restarts
  // the COM service.
  ~ScopedExplorerProcess();
  ScopedExplorerProcess(const ScopedExplorerProcess&) = delete;
  ScopedExplorerProcess& operator=(const ScopedExplorerProcess&) = delete;

  // True once its class is registered; false when it could not start or ended first.
  bool ready() const { return server_.ready(); }
  DWORD processId() const { return server_.processId(); }
  HANDLE process() const { return server_.process(); }

 private:
  ServerProcess server_;
};

}  // namespace qvtest
