#pragma once

#include <windows.h>
#include <objbase.h>

// Initialises COM on the calling thread for its scope. Only an initialisation that succeeded
// (S_OK or S_FALSE) is balanced: uninitialising after RPC_E_CHANGED_MODE would take away the
// caller's own initialisation of the thread.
class ComInitializer {
 public:
  explicit ComInitializer(COINIT model);
  ~ComInitializer();
  ComInitializer(const ComInitializer&) = delete;
  ComInitializer& operator=(const ComInitializer&) = delete;

  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};
