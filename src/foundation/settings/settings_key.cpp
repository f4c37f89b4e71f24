#include "foundation/settings/settings_key.h"

#include <atomic>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/settings/settings_names.h"

namespace QVSettings {
namespace {

QVCritSec g_keyLock;
// The handle callers get, null while no key is open; read without the lock, set under it.
std::atomic<HKEY> g_current{nullptr};
QVRegKey g_key;  // owns g_current's handle; closed by its destructor when the library unloads
// The handle of a deleted key stays open until the next deletion (or unload): another thread may
// be using it right now, and closing it would let the system hand its number to another key.
QVRegKey g_deletedKey;

// Under g_keyLock, with no key open.
void openKey() {
  QVRegKey opened;
  if (opened.open(HKEY_CURRENT_USER, kKeyPath, kKeyAccess) == ERROR_SUCCESS) {
    g_key = std::move(opened);
    g_current.store(g_key.get(), std::memory_order_release);
  }
}

}  // namespace

HKEY settingsKey() {
  if (const HKEY key = g_current.load(std::memory_order_acquire)) return key;
  QVCritLock lock(&g_keyLock);
  if (!g_current.load(std::memory_order_relaxed)) openKey();
  return g_current.load(std::memory_order_relaxed);
}

HKEY reopenSettingsKeyIfDeleted(HKEY used) {
  if (!used) return nullptr;
  QVCritLock lock(&g_keyLock);
  const HKEY current = g_current.load(std::memory_order_relaxed);
  if (current == used) {
    // Any query on a handle whose key was deleted answers ERROR_KEY_DELETED.
    if (RegQueryInfoKeyW(used, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_KEY_DELETED) {
      return nullptr;
    }
    g_current.store(nullptr, std::memory_order_release);
    g_deletedKey = std::move(g_key);
    openKey();
  } else if (!current) {
    openKey();  // another thread dropped it and could not open it again
  }
  // Another thread may have replaced the handle already: retry with whatever is current.
  return g_current.load(std::memory_order_relaxed);
}

}  // namespace QVSettings
