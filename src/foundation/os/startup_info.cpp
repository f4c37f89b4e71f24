#include "foundation/os/startup_info.h"

#include <cwchar>

#include "foundation/os/wow64.h"

namespace QVOS {
namespace {

// " - <label>: <iso name> (<id as 4 lower-case hex digits>)", or nothing without an ISO name.
std::wstring languagePart(const wchar_t* label, LANGID language) {
  wchar_t name[260] = {};
  if (GetLocaleInfoW(language, LOCALE_SISO639LANGNAME, name, 260) <= 0 || name[0] == L'\0') {
    return std::wstring();
  }
  wchar_t id[8] = {};
  swprintf(id, 8, L"%04x", static_cast<unsigned>(language));
  return std::wstring(L" - ") + label + L": " + name + L" (" + id + L")";
}

}  // namespace

namespace detail {

std::wstring describeSystem(WindowsVersion version, bool windows64, LANGID systemUiLanguage,
                            LANGID userUiLanguage) {
  std::wstring text = L"Version: ";
  text += windowsVersionName(version);
  text += windows64 ? L" (64bit)" : L" (32bit)";
  text += languagePart(L"OS Language", systemUiLanguage);
  text += languagePart(L"UI Language", userUiLanguage);
  return text;
}

}  // namespace detail

std::wstring getStartupInfo() {
  const WindowsVersion version = getWindowsVersion();
#ifdef _WIN64
  // A 64-bit process runs only on 64-bit Windows; WOW64 describes 32-bit processes alone.
  const bool windows64 = true;
#else
  const bool windows64 = isWow64();
#endif
  return detail::describeSystem(version, windows64, GetSystemDefaultUILanguage(),
                                GetUserDefaultUILanguage());
}

}  // namespace QVOS
