#include "support/app_visibility_registration.h"

#include "foundation/qv_reg_key.h"
#include "support/child_process.h"

namespace qvtest {
namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{7E5FE3D9-985F-4908-91F9-EE19F9FD1514}";

void SetString(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
  QVRegKey key;
  key.create(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_WRITE);
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetDword(const wchar_t* name, DWORD value) {
  QVRegKey key;
  key.create(HKEY_LOCAL_MACHINE, kClassKey, KEY_WRITE);
  RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

}  // namespace

ScopedAppVisibilityServer::ScopedAppVisibilityServer(const std::wstring& recordPath) {
  const std::wstring key = kClassKey;
  SetString(key, nullptr, L"Application visibility service (test double)");
  SetString(key, L"RecordFile", recordPath);
  SetDword(L"LauncherVisible", 0);
  SetDword(L"AppVisibleMonitors", 0);
  SetString(key + L"\\InprocServer32", nullptr, ExecutableDirectory() + L"qvappvisibility.dll");
  SetString(key + L"\\InprocServer32", L"ThreadingModel", L"Both");
}

ScopedAppVisibilityServer::~ScopedAppVisibilityServer() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey); }

void ScopedAppVisibilityServer::setLauncherVisible(bool visible) const {
  SetDword(L"LauncherVisible", visible ? 1 : 0);
}

void ScopedAppVisibilityServer::setAppVisibleMonitors(DWORD mask) const {
  SetDword(L"AppVisibleMonitors", mask);
}

}  // namespace qvtest
