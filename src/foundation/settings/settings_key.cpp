#include "foundation/settings/settings_key.h"

#include <atomic>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/settings/settings_names.h"

namespace QVSettings {
namespace {

QVCritSec g_keyLock;
std::atomic<bool> g_keyOpen{false};
QVRegKey g_key;  // closed by its destructor when the library unloads

}  // namespace

HKEY settingsKey() {
  if (g_keyOpen.load(std::memory_order_acquire)) return g_key.get();
  QVCritLock lock(&g_keyLock);
  if (!g_keyOpen.load(std::memory_order_relaxed)) {
    QVRegKey opened;
    if (opened.open(HKEY_CURRENT_USER, kKeyPath, kKeyAccess) == ERROR_SUCCESS) {
      g_key = std::move(opened);
      g_keyOpen.store(true, std::memory_order_release);
    }
  }
  return g_key.get();
}

}  // namespace QVSettings
