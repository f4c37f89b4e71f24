#include "support/tray_proxy_registration.h"

#include "foundation/owners/qv_reg_key.h"
#include "support/child_process.h"
#include "support/registry.h"

namespace qvtest {
namespace {

constexpr wchar_t kIid[] = L"{6D67E846-5B9C-4DB8-9CBC-DDE12F4254F1}";
constexpr wchar_t kInterfaces[] = L"Software\\Classes\\Interface";
constexpr wchar_t kClasses[] = L"Software\\Classes\\CLSID";
const std::wstring kInterfaceKey = std::wstring(kInterfaces) + L"\\" + kIid;
const std::wstring kProxyKey = std::wstring(kClasses) + L"\\" + kIid;

void DeleteIidKey(const wchar_t* parent, REGSAM view) {
  QVRegKey key;
  if (key.open(HKEY_LOCAL_MACHINE, parent, KEY_READ | KEY_WRITE | DELETE | view) == ERROR_SUCCESS) {
    RegDeleteTreeW(key.get(), kIid);
  }
}

}  // namespace

ScopedTrayProxyRegistration::ScopedTrayProxyRegistration()
    : ScopedTrayProxyRegistration(ExecutableDirectory(), 0) {}

ScopedTrayProxyRegistration::ScopedTrayProxyRegistration(const std::wstring& directory, REGSAM view)
    : view_(view) {
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kInterfaceKey, L"", REG_SZ, WideBytes(L"ITrayDeskBand"),
                     view);
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kInterfaceKey + L"\\NumMethods", L"", REG_SZ,
                     WideBytes(L"7"), view);
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kInterfaceKey + L"\\ProxyStubClsid32", L"", REG_SZ,
                     WideBytes(kIid), view);
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kProxyKey, L"", REG_SZ, WideBytes(L"PSFactoryBuffer"),
                     view);
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kProxyKey + L"\\InprocServer32", L"", REG_SZ,
                     WideBytes(directory + L"qvtrayproxy.dll"), view);
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kProxyKey + L"\\InprocServer32", L"ThreadingModel", REG_SZ,
                     WideBytes(L"Both"), view);
}

ScopedTrayProxyRegistration::~ScopedTrayProxyRegistration() {
  DeleteIidKey(kInterfaces, view_);
  DeleteIidKey(kClasses, view_);
}

}  // namespace qvtest
