#pragma once

#include <string>

// ITrayDeskBand's proxy/stub (qvtrayproxy.dll beside the tests, generated from the interface's
// IDL), which Windows ships and Wine lacks: registered under HKLM\Software\Classes for the scope
// (Interface\{IID}\ProxyStubClsid32 and CLSID\{IID}\InprocServer32, the IID naming the factory as
// MIDL's proxies do), so that the interface can be marshalled to a taskbar in another process.
namespace qvtest {

class ScopedTrayProxyRegistration {
 public:
  ScopedTrayProxyRegistration();
  ~ScopedTrayProxyRegistration();
  ScopedTrayProxyRegistration(const ScopedTrayProxyRegistration&) = delete;
  ScopedTrayProxyRegistration& operator=(const ScopedTrayProxyRegistration&) = delete;
};

}  // namespace qvtest
