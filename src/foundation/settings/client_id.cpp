#include "foundation/settings/client_id.h"

#include <windows.h>

#include <objbase.h>
#include <rpc.h>

#include <atomic>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/settings/qv_settings.h"

namespace QVPaths {
namespace {

QVCritSec g_clientIdLock;
std::atomic<bool> g_clientIdKnown{false};
std::wstring g_clientId;

// The RPC run time's text form of a fresh GUID. The result of CoCreateGuid is not tested: the
// text of whatever GUID it left is used.
std::wstring NewGuidText() {
  GUID guid = {};
  CoCreateGuid(&guid);
  RPC_WSTR text = nullptr;
  std::wstring result;
  if (UuidToStringW(&guid, &text) == RPC_S_OK && text) {
    result = reinterpret_cast<const wchar_t*>(text);
    RpcStringFreeW(&text);
  }
  return result;
}

}  // namespace

std::wstring getClientId(bool store) {
  if (g_clientIdKnown.load(std::memory_order_acquire)) return g_clientId;
  QVCritLock lock(&g_clientIdLock);
  if (!g_clientIdKnown.load(std::memory_order_relaxed)) {
    std::wstring id =
        QVSettings::getString(QVSettings::kClientId, std::wstring(), Expansion::kAsStored);
    if (id.empty()) {
      id = NewGuidText();
      if (store && !id.empty()) QVSettings::setString(QVSettings::kClientId, id);
    }
    g_clientId = id;
    g_clientIdKnown.store(true, std::memory_order_release);
  }
  return g_clientId;
}

}  // namespace QVPaths
