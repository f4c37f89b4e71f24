#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"

// Test executables double as their own child processes: "--child NAME ARGS..." runs the child
// routine registered under NAME instead of the tests.
namespace qvtest {

using ChildArgs = std::vector<std::wstring>;
using ChildMain = int (*)(const ChildArgs& args);

struct ChildRegistration {
  ChildRegistration(const wchar_t* name, ChildMain main);
};

#define QV_TEST_CHILD(name)                                                                    \
  static int name##_child_main(const ::qvtest::ChildArgs& args);                               \
  static ::qvtest::ChildRegistration name##_child_registration(L## #name, &name##_child_main); \
  static int name##_child_main([[maybe_unused]] const ::qvtest::ChildArgs& args)

// Runs a registered child routine when the command line asks for one. Returns true and sets
// `exitCode` when it did.
bool RunChildIfRequested(int* exitCode);

struct ChildOptions {
  // Runs a copy of this executable under this file name (the log shows the process name).
  std::wstring exeName;
  // Windows version Wine reports to the child: "winxp", "win7", "win8", "win81", "win10".
  std::wstring windowsVersion;
  // Written beside the child's copy as "<exe>.manifest" (needs exeName or windowsVersion), e.g. to
  // declare the Windows releases it supports; without it any such file is removed.
  std::string manifest;
  // Starts the child under this process as its debugger and collects its debug output.
  bool captureDebugOutput = false;
  DWORD timeoutMs = 120000;
};

struct ChildResult {
  DWORD exitCode = 0xFFFFFFFF;
  // Why there is no exit code: the error of a failed start, or WAIT_TIMEOUT.
  DWORD failure = 0;
  std::vector<std::wstring> debugOutput;
};

// Runs `--child name args...` to its end.
ChildResult RunChild(const std::wstring& name, const ChildArgs& args,
                     const ChildOptions& options = ChildOptions());

// A child left running while the test goes on.
class RunningChild {
 public:
  RunningChild(const std::wstring& name, const ChildArgs& args,
               const ChildOptions& options = ChildOptions());
  ~RunningChild();
  // Exit code, or 0xFFFFFFFF when it did not end within the timeout (it is then killed).
  DWORD wait(DWORD timeoutMs = 120000);
  HANDLE process() const { return process_.get(); }

 private:
  ScopedHandle process_;
};

// The directory holding this test executable (and the library under test), with a backslash.
std::wstring ExecutableDirectory();

// A fresh named event, for handshakes with children.
std::wstring UniqueName(const std::wstring& prefix);

}  // namespace qvtest
