#include "foundation/settings/qv_settings.h"

#include "foundation/owners/qv_reg_key.h"
#include "foundation/settings/env_expansion.h"
#include "foundation/settings/settings_key.h"

namespace QVSettings {

uint32_t getDword(const wchar_t* name, uint32_t defaultValue) {
  DWORD value = 0;
  const bool found = onSettingsKey([&](HKEY key) { return QVRegKey::getDword(key, name, &value); });
  return found ? value : defaultValue;
}

bool setDword(const wchar_t* name, uint32_t value) {
  return onSettingsKey([&](HKEY key) { return QVRegKey::setDword(key, name, value); });
}

std::wstring getString(const wchar_t* name, const std::wstring& defaultValue, Expansion expansion) {
  std::wstring text;
  DWORD type = REG_NONE;
  if (!onSettingsKey([&](HKEY key) { return QVRegKey::getString(key, name, &text, &type); })) {
    return defaultValue;
  }
  if (type == REG_EXPAND_SZ && expansion == Expansion::kExpanded)
    return QVPaths::expandEnvironment(text);
  return text;
}

bool setString(const wchar_t* name, const std::wstring& value) {
  return onSettingsKey([&](HKEY key) { return QVRegKey::setString(key, name, value); });
}

bool setStringIn(HKEY key, const wchar_t* name, const std::wstring& value) {
  return QVRegKey::setString(key, name, value);
}

bool isMenuEnabled() { return getDword(kMenuEnabled, kMenuEnabledDefault) == 1; }

bool isInstallMode() { return getDword(kInstallMode, kInstallModeDefault) == 1; }

std::wstring getInstallDate() {
  return getString(kInstallDate, std::wstring(), Expansion::kAsStored);
}

uint64_t getInstallDate2() {
  uint64_t value = 0;
  const bool found =
      onSettingsKey([&](HKEY key) { return QVRegKey::getQword(key, kInstallDate2, &value); });
  return found ? value : 0;
}

}  // namespace QVSettings
