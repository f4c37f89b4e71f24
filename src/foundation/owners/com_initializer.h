#pragma once

#include <windows.h>

// COM initialised on the calling thread for the holder's scope. Only an initialisation that
// succeeded (S_OK, or S_FALSE when the thread already had the same apartment) is balanced by
// CoUninitialize: a failed or mode-changed one must not take away another owner's apartment.
class ComInitializer {
 public:
  // `concurrencyModel`: a COINIT value such as COINIT_APARTMENTTHREADED.
  explicit ComInitializer(DWORD concurrencyModel);
  ~ComInitializer();

  ComInitializer(const ComInitializer&) = delete;
  ComInitializer& operator=(const ComInitializer&) = delete;

  HRESULT result() const { return result_; }
  // The initialisation succeeded and is balanced at the end of the scope.
  bool initialized() const { return result_ == S_OK || result_ == S_FALSE; }

 private:
  HRESULT result_;
};
