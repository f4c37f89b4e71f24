#pragma once

#include <windows.h>

#include <string>

#include "foundation/owners/scoped_handle.h"
#include "support/tray_proxy_registration.h"

// The taskbar's deskband object in a process of its own (qvtrayprocess.exe), as Explorer hosts
// it: the class registered with CoRegisterClassObject as a local server, reached through
// ITrayDeskBand's proxy/stub (registered for the scope). Records its calls to `recordPath` like
// the in-process server (see tray_server_registration.h), after one record
//   registered <process id>
// Told to, it hangs in a method (records "<method> <class id> hung" and never answers) or dies in
// one (records "<method> <class id> died" and ends in the middle of the call).
namespace qvtest {

class ScopedTaskbarProcess {
 public:
  struct Misbehaviour {
    std::wstring hangIn;  // a method name, or empty
    std::wstring dieIn;
  };

  ScopedTaskbarProcess(const std::wstring& recordPath, const Misbehaviour& misbehaviour);
  // Asks it to quit, ends it when it does not (hung in a call), and waits for its end.
  ~ScopedTaskbarProcess();
  ScopedTaskbarProcess(const ScopedTaskbarProcess&) = delete;
  ScopedTaskbarProcess& operator=(const ScopedTaskbarProcess&) = delete;

  // True once its class is registered; false when it could not start or ended first.
  bool ready() const { return ready_; }
  DWORD processId() const { return processId_; }
  HANDLE process() const { return process_.get(); }

 private:
  ScopedTrayProxyRegistration proxy_;
  ScopedHandle process_;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;
  bool ready_ = false;
};

}  // namespace qvtest
