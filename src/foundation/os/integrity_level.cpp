#include "foundation/os/integrity_level.h"

#include <vector>

#include "foundation/owners/scoped_handle.h"

namespace QVOS {
namespace {

detail::IntegrityLevelQuery g_query = nullptr;

}  // namespace

namespace detail {

bool queryIntegrityLevel(HANDLE process, uint32_t* level) {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) return false;
  const ScopedHandle token(rawToken);

  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    if (level) *level = 0;
    return false;
  }
  if (size < sizeof(TOKEN_MANDATORY_LABEL)) return false;

  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size))
    return false;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  PSID sid = label->Label.Sid;
  if (!sid || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) return false;
  if (level) *level = *GetSidSubAuthority(sid, 0);
  return true;
}

IntegrityLevelQuery setIntegrityLevelQuery(IntegrityLevelQuery query) {
  IntegrityLevelQuery previous = g_query;
  g_query = query;
  return previous;
}

}  // namespace detail

bool getIntegrityLevel(HANDLE process, uint32_t* level) {
  return (g_query ? g_query : detail::queryIntegrityLevel)(process, level);
}

bool isHighIntegrity() {
  uint32_t level = 0;
  return getIntegrityLevel(GetCurrentProcess(), &level) && level == kHighIntegrity;
}

}  // namespace QVOS
