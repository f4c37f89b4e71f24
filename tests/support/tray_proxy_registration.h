#pragma once

#include <windows.h>

#include <string>

// ITrayDeskBand's proxy/stub (qvtrayproxy.dll, generated from the interface's IDL), which Windows
// ships and Wine lacks: registered under HKLM\Software\Classes for the scope
// (Interface\{IID}\ProxyStubClsid32 and CLSID\{IID}\InprocServer32, the IID naming the factory as
// MIDL's proxies do), so that the interface can be marshalled to a taskbar in another process.
namespace qvtest {

class ScopedTrayProxyRegistration {
 public:
  // The proxy/stub beside the tests, in this process's registry view.
  ScopedTrayProxyRegistration();
  // The one in `directory` (with a trailing backslash), in the registry view `view`
  // (KEY_WOW64_64KEY: what a 64-bit process reads, seen from a 32-bit one).
  ScopedTrayProxyRegistration(const std::wstring& directory, REGSAM view);
  ~ScopedTrayProxyRegistration();
  ScopedTrayProxyRegistration(const ScopedTrayProxyRegistration&) = delete;
  ScopedTrayProxyRegistration& operator=(const ScopedTrayProxyRegistration&) = delete;

 private:
  REGSAM view_;
};

}  // namespace qvtest
