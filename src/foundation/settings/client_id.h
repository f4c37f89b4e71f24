#pragma once

#include <string>

namespace QVPaths {

// The per-user client identifier: 36 characters, lower-case hexadecimal 8-4-4-4-12, no braces.
//
// The first call takes "ClientId" from the settings, or when there is none generates a fresh GUID
// and, only when `store` is true, writes it as "ClientId" (a failed write is ignored). The answer
// is cached for the life of the process: later calls return it whatever `store` says, and store
// nothing. The answer is fixed under a lock: threads that ask at once all get the same one.
std::wstring getClientId(bool store);

}  // namespace QVPaths
