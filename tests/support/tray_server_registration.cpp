#include "support/tray_server_registration.h"

#include <windows.h>

#include "support/registry.h"

namespace qvtest {
namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{E6442437-6C68-4F52-94DD-2CFED267EFB9}";

}  // namespace

ScopedTrayDeskBandServer::ScopedTrayDeskBandServer(const std::wstring& recordPath) {
  RegisterTestComServer(kClassKey, L"Taskbar deskband object (test double)", L"qvtraydeskband.dll",
                        recordPath);
}

void ScopedTrayDeskBandServer::setCallDelay(DWORD ms) const {
  WriteRegistryValue(HKEY_LOCAL_MACHINE, kClassKey, L"CallDelayMs", REG_DWORD, DwordBytes(ms));
}

ScopedTrayDeskBandServer::~ScopedTrayDeskBandServer() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
}

}  // namespace qvtest
