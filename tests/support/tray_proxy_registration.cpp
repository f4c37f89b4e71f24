#include "support/tray_proxy_registration.h"

#include <windows.h>

#include "support/child_process.h"
#include "support/registry.h"

namespace qvtest {
namespace {

constexpr wchar_t kIid[] = L"{6D67E846-5B9C-4DB8-9CBC-DDE12F4254F1}";
const std::wstring kInterfaceKey = std::wstring(L"Software\\Classes\\Interface\\") + kIid;
const std::wstring kProxyKey = std::wstring(L"Software\\Classes\\CLSID\\") + kIid;

}  // namespace

ScopedTrayProxyRegistration::ScopedTrayProxyRegistration() {
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kInterfaceKey, L"", REG_SZ, WideBytes(L"ITrayDeskBand"));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kInterfaceKey + L"\\NumMethods", L"", REG_SZ, WideBytes(L"7"));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kInterfaceKey + L"\\ProxyStubClsid32", L"", REG_SZ, WideBytes(kIid));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kProxyKey, L"", REG_SZ, WideBytes(L"PSFactoryBuffer"));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kProxyKey + L"\\InprocServer32", L"", REG_SZ,
                     WideBytes(ExecutableDirectory() + L"qvtrayproxy.dll"));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kProxyKey + L"\\InprocServer32", L"ThreadingModel", REG_SZ,
                     WideBytes(L"Both"));
}

ScopedTrayProxyRegistration::~ScopedTrayProxyRegistration() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInterfaceKey.c_str());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProxyKey.c_str());
}

}  // namespace qvtest
