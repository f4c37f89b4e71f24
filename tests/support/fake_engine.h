#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/fixture_records.h"

namespace qvtest {

// How the fake engine answers "/QUIT": quits (after a delay when given), ignores it, ignores it
// and is replaced by its keeper as fast as engines are terminated (a rolling stream of windowless
// stand-ins started with "/RESTARTED"), or ignores it and refuses to be opened for termination
// (OpenProcess with PROCESS_TERMINATE fails with access denied). The last two end with stop().
enum class EngineQuit { kObey, kIgnore, kRestart, kResist };

// A copy of the fake engine `tovin.exe` (with its keeper) in a folder of the test's choosing,
// e.g. "<install dir>\Engine". The engine records into "tovin_record.txt" beside itself:
//   start <pid> <arguments exactly as given> <whole command line>
//   quit-sent <pid> <pid of the engine window asked to close, 0 when none>   ("/QUIT" starts)
//   ("/UNINSTALLING" starts record only their start and end at once, whatever the behaviour)
//   close-request <pid> quit | quit-after-<ms> | ignored
//   refuse-termination <pid> <Win32 result of protecting the process>
//   keeper-start / keeper-restart <keeper pid> <new engine pid> / keeper-exit
//   exit <pid>
// Destruction stops every process running from the folder.
class FakeEngineInstall {
 public:
  explicit FakeEngineInstall(const std::wstring& directory);
  ~FakeEngineInstall();
  FakeEngineInstall(const FakeEngineInstall&) = delete;
  FakeEngineInstall& operator=(const FakeEngineInstall&) = delete;

  // `stay` false: each start records itself and exits at once, without a window.
  void setBehaviour(EngineQuit quit, unsigned quitDelayMs = 0, bool stay = true) const;

  const std::wstring& exePath() const { return exePath_; }
  std::wstring recordPath() const { return directory_ + L"tovin_record.txt"; }
  // The argument text of every start, in order.
  std::vector<std::wstring> startArguments() const;

  // Starts the engine as the shell would ("\"exe\" " + arguments).
  ScopedHandle start(const std::wstring& arguments) const;
  // Process ids of this folder's tovin.exe processes.
  std::vector<DWORD> runningEngines() const;
  // Ends the keeper and every engine of this folder.
  void stop() const;

 private:
  std::wstring directory_;
  std::wstring exePath_;
};

// One round of a sweep: terminates every tovin.exe process, found by name in a process list;
// how many were listed.
size_t TerminateEveryEngine();

// The window of class "TOVIN_CLASS" owned by process `pid`, waiting for it up to the timeout.
HWND WaitForEngineWindow(DWORD pid, DWORD timeoutMs = 10000);

}  // namespace qvtest
