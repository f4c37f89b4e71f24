#include "foundation/localization/thread_locale_manager.h"

#include <cstdio>

#include "foundation/log/log.h"
#include "foundation/os/kernel32_optional.h"
#include "foundation/os/windows_version.h"

namespace ThreadLocaleManager {
namespace {

DWORD g_mainThreadSlot = TLS_OUT_OF_INDEXES;
DWORD g_threadLanguageSlot = TLS_OUT_OF_INDEXES;
volatile LANGID g_mainLanguage = 0;

bool Initialised() { return g_mainThreadSlot != TLS_OUT_OF_INDEXES; }

bool OnMainThread() { return Initialised() && TlsGetValue(g_mainThreadSlot) != nullptr; }

// Before Vista the thread locale is what picks resources; from Vista on, the thread UI language.
bool UsesUILanguage() { return QVOS::getWindowsVersion() >= QVOS::WindowsVersion::WinVista; }

std::wstring Hex4(LANGID language) {
  wchar_t text[8] = {};
  swprintf(text, 8, L"%04x", static_cast<unsigned>(language));
  return text;
}

}  // namespace

void Init() {
  if (Initialised()) {
    if (!OnMainThread()) {
      Log::Stream() << L"ThreadLocaleManager::Init: ERROR: already initialized in another thread";
    }
    return;
  }
  g_mainThreadSlot = TlsAlloc();
  g_threadLanguageSlot = TlsAlloc();
  TlsSetValue(g_mainThreadSlot, reinterpret_cast<void*>(1));

  const auto getUILanguage = Kernel32Optional::getThreadUILanguage();
  g_mainLanguage = UsesUILanguage() && getUILanguage ? getUILanguage()
                                                      : LANGIDFROMLCID(GetThreadLocale());
  Log::Stream() << L"ThreadLocaleManager::Init: main thread id is " << GetCurrentThreadId()
                << L", langid initialized to " << Hex4(g_mainLanguage);
}

void Shutdown() {
  if (!Initialised()) return;
  TlsFree(g_threadLanguageSlot);
  TlsFree(g_mainThreadSlot);
  g_threadLanguageSlot = g_mainThreadSlot = TLS_OUT_OF_INDEXES;
}

void SetThreadLangId(LANGID language) {
  const auto setUILanguage = Kernel32Optional::setThreadUILanguage();
  if (UsesUILanguage() && setUILanguage) {
    setUILanguage(language);
  } else {
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
  }
  if (!Initialised()) return;

  TlsSetValue(g_threadLanguageSlot, reinterpret_cast<void*>(static_cast<ULONG_PTR>(language)));
  if (OnMainThread()) {
    g_mainLanguage = language;
    Log::Stream() << L"ThreadLocaleManager::SetThreadLangId: main thread langid changed to "
                  << Hex4(language);
  }
}

LANGID MainLangId() { return g_mainLanguage; }

}  // namespace ThreadLocaleManager

void SyncThreadLangId() {
  using namespace ThreadLocaleManager;
  if (!Initialised() || OnMainThread()) return;
  const LANGID applied = static_cast<LANGID>(reinterpret_cast<ULONG_PTR>(TlsGetValue(g_threadLanguageSlot)));
  if (applied != MainLangId()) SetThreadLangId(MainLangId());
}
