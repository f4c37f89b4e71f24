#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "support/server_process.h"
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
  // Explorer's process has the Windows's own bitness. A 32-bit test on 64-bit Windows starts the
  // 64-bit qvtrayprocess.exe from `nativeDirectory` (with a trailing backslash) and registers that
  // folder's 64-bit proxy/stub in the 64-bit registry view, beside its own 32-bit one.
  ScopedTaskbarProcess(const std::wstring& recordPath, const Misbehaviour& misbehaviour,
                       const std::wstring& nativeDirectory);
  // Asks it to quit, ends it when it does not (hung in a call), and waits for its end. When it
  // did not quit on its own (died in a call, or was ended), its class is forgotten as Windows
  // does (see ForgetClassesOfEndedServers).
  ~ScopedTaskbarProcess();
  ScopedTaskbarProcess(const ScopedTaskbarProcess&) = delete;
  ScopedTaskbarProcess& operator=(const ScopedTaskbarProcess&) = delete;

  // True once its class is registered; false when it could not start or ended first.
  bool ready() const { return server_.ready(); }
  DWORD processId() const { return server_.processId(); }
  HANDLE process() const { return server_.process(); }

 private:
  ScopedTrayProxyRegistration proxy_;
  std::unique_ptr<ScopedTrayProxyRegistration> nativeProxy_;
  ServerProcess server_;
};

// Windows's COM service drops the classes a server process registered when that process ends;
// Wine 8's (RpcSs) keeps them and goes on handing out the first one registered for a class, so
// that after a taskbar process died every later creation reached the dead one. Restarting the
// service, which keeps its registrations in memory only, forgets them. True once it runs again.
bool ForgetClassesOfEndedServers();

}  // namespace qvtest
