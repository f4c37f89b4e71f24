#include "support/tray_server_registration.h"

#include <windows.h>

#include "foundation/qv_reg_key.h"
#include "support/child_process.h"

namespace qvtest {
namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{E6442437-6C68-4F52-94DD-2CFED267EFB9}";

void SetString(const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
  QVRegKey key;
  key.create(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_WRITE);
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

ScopedTrayDeskBandServer::ScopedTrayDeskBandServer(const std::wstring& recordPath) {
  const std::wstring key = kClassKey;
  SetString(key, nullptr, L"Taskbar deskband object (test double)");
  SetString(key, L"RecordFile", recordPath);
  SetString(key + L"\\InprocServer32", nullptr, ExecutableDirectory() + L"qvtraydeskband.dll");
  SetString(key + L"\\InprocServer32", L"ThreadingModel", L"Both");
}

ScopedTrayDeskBandServer::~ScopedTrayDeskBandServer() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
}

}  // namespace qvtest
