#pragma once

#include <windows.h>

#include <cstdint>

// Mandatory integrity levels: the relative identifier of a process token's label SID.
namespace QVOS {

constexpr uint32_t kMediumIntegrity = 0x2000;  // SECURITY_MANDATORY_MEDIUM_RID
constexpr uint32_t kHighIntegrity = 0x3000;    // SECURITY_MANDATORY_HIGH_RID

// True, with the level, when the process's token could be read. Systems without integrity
// levels (Windows XP) answer false.
bool getIntegrityLevel(HANDLE process, uint32_t* level);

// True when this process runs at exactly the high level; the system level is not high.
bool isHighIntegrity();

namespace detail {

using IntegrityLevelQuery = bool (*)(HANDLE process, uint32_t* level);

// The token query behind getIntegrityLevel.
bool queryIntegrityLevel(HANDLE process, uint32_t* level);

// Replaces the query getIntegrityLevel makes, for tests of situations Wine cannot produce (it
// runs every process at the high level). Null restores the real one; returns the previous one.
IntegrityLevelQuery setIntegrityLevelQuery(IntegrityLevelQuery query);

}  // namespace detail

}  // namespace QVOS
