#include "support/app_visibility_registration.h"

#include "support/registry.h"

namespace qvtest {
namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{7E5FE3D9-985F-4908-91F9-EE19F9FD1514}";

void SetDword(const wchar_t* name, DWORD value) {
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kClassKey, name, REG_DWORD, DwordBytes(value));
}

}  // namespace

ScopedAppVisibilityServer::ScopedAppVisibilityServer(const std::wstring& recordPath) {
  SetDword(L"LauncherVisible", 0);
  SetDword(L"AppVisibleMonitors", 0);
  RegisterTestComServer(kClassKey, L"Application visibility service (test double)",
                        L"qvappvisibility.dll", recordPath);
}

ScopedAppVisibilityServer::~ScopedAppVisibilityServer() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
}

void ScopedAppVisibilityServer::setLauncherVisible(bool visible) const {
  SetDword(L"LauncherVisible", visible ? 1 : 0);
}

void ScopedAppVisibilityServer::setAppVisibleMonitors(DWORD mask) const {
  SetDword(L"AppVisibleMonitors", mask);
}

}  // namespace qvtest
