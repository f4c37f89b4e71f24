#pragma once

#include <string>

namespace QVPaths {

// `text` with its environment variables (%NAME%) expanded by the system. Empty text gives an
// empty result; when the system cannot expand it, the text comes back unchanged.
std::wstring expandEnvironment(const std::wstring& text);

}  // namespace QVPaths
