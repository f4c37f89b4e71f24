#include "foundation/settings/client_id.h"

#include <windows.h>

#include <objbase.h>
#include <rpc.h>

#include <memory>

#include "foundation/settings/qv_settings.h"

namespace QVPaths {
namespace {

std::unique_ptr<std::wstring> g_clientId;

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
  if (g_clientId) return *g_clientId;
  std::wstring id = QVSettings::getString(QVSettings::kClientId, std::wstring(), false);
  if (id.empty()) {
    id = NewGuidText();
    if (store && !id.empty()) QVSettings::setString(QVSettings::kClientId, id);
  }
  g_clientId = std::make_unique<std::wstring>(id);
  return *g_clientId;
}

}  // namespace QVPaths
