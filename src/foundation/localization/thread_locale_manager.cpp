#include "foundation/localization/thread_locale_manager.h"

#include <atomic>
#include <cstdio>

#include "foundation/log/log.h"
#include "foundation/os/kernel32_optional.h"
#include "foundation/os/windows_version.h"

namespace ThreadLocaleManager {
namespace {

// Read by every thread that loads a resource. The main-thread slot is stored last (release) and
// read first (acquire), so a thread that sees it also sees the language slot.
std::atomic<DWORD> g_mainThreadSlot{TLS_OUT_OF_INDEXES};
std::atomic<DWORD> g_threadLanguageSlot{TLS_OUT_OF_INDEXES};
std::atomic<LANGID> g_mainLanguage{0};

DWORD MainThreadSlot() { return g_mainThreadSlot.load(std::memory_order_acquire); }

bool Initialised() { return MainThreadSlot() != TLS_OUT_OF_INDEXES; }

bool OnMainThread() {
  const DWORD slot = MainThreadSlot();
  return slot != TLS_OUT_OF_INDEXES && TlsGetValue(slot) != nullptr;
}

DWORD ThreadLanguageSlot() { return g_threadLanguageSlot.load(std::memory_order_relaxed); }

// Before Vista the thread locale is what picks resources; from Vista on, the thread UI language.
bool UsesUILanguage() { return QVOS::getWindowsVersion() >= QVOS::WindowsVersion::WinVista; }

std::wstring Hex4(LANGID language) {
  wchar_t text[8] = {};
  swprintf(text, 8, L"%04x", static_cast<unsigned>(language));
  return text;
}

}  // namespace

void Init() noexcept {
  // Runs inside DllMain: nothing may leave it, so a lost log line is all a failure costs.
  try {
    if (Initialised()) {
      if (!OnMainThread()) {
        Log::Stream() << L"ThreadLocaleManager::Init: ERROR: already initialized in another thread";
      }
      return;
    }
    const auto getUILanguage = Kernel32Optional::getThreadUILanguage();
    const LANGID language =
        UsesUILanguage() && getUILanguage ? getUILanguage() : LANGIDFROMLCID(GetThreadLocale());
    // Stored before the slots are published, so no thread sees the manager on without it.
    g_mainLanguage.store(language, std::memory_order_release);

    const DWORD mainThreadSlot = TlsAlloc();
    const DWORD threadLanguageSlot = TlsAlloc();
    if (mainThreadSlot != TLS_OUT_OF_INDEXES && threadLanguageSlot != TLS_OUT_OF_INDEXES) {
      TlsSetValue(mainThreadSlot, reinterpret_cast<void*>(1));
      g_threadLanguageSlot.store(threadLanguageSlot, std::memory_order_relaxed);
      g_mainThreadSlot.store(mainThreadSlot, std::memory_order_release);
    } else {
      // Without both slots the manager stays off: every thread keeps its own language.
      if (mainThreadSlot != TLS_OUT_OF_INDEXES) TlsFree(mainThreadSlot);
      if (threadLanguageSlot != TLS_OUT_OF_INDEXES) TlsFree(threadLanguageSlot);
    }

    Log::Stream() << L"ThreadLocaleManager::Init: main thread id is " << GetCurrentThreadId()
                  << L", langid initialized to " << Hex4(language);
  } catch (...) {
  }
}

void Shutdown() {
  const DWORD mainThreadSlot = g_mainThreadSlot.exchange(TLS_OUT_OF_INDEXES);
  if (mainThreadSlot == TLS_OUT_OF_INDEXES) return;
  TlsFree(g_threadLanguageSlot.exchange(TLS_OUT_OF_INDEXES));
  TlsFree(mainThreadSlot);
}

void SetThreadLangId(LANGID language) {
  const auto setUILanguage = Kernel32Optional::setThreadUILanguage();
  if (UsesUILanguage() && setUILanguage) {
    setUILanguage(language);
  } else {
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
  }
  if (!Initialised()) return;

  TlsSetValue(ThreadLanguageSlot(), reinterpret_cast<void*>(static_cast<ULONG_PTR>(language)));
  if (OnMainThread()) {
    g_mainLanguage.store(language, std::memory_order_release);
    Log::Stream() << L"ThreadLocaleManager::SetThreadLangId: main thread langid changed to "
                  << Hex4(language);
  }
}

LANGID MainLangId() { return g_mainLanguage.load(std::memory_order_acquire); }

}  // namespace ThreadLocaleManager

void SyncThreadLangId() {
  using namespace ThreadLocaleManager;
  if (!Initialised() || OnMainThread()) return;
  const LANGID applied =
      static_cast<LANGID>(reinterpret_cast<ULONG_PTR>(TlsGetValue(ThreadLanguageSlot())));
  if (applied != MainLangId()) SetThreadLangId(MainLangId());
}
