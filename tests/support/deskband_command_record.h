#pragma once

#include <cstdint>
#include <string>

// The deskband command record (WM_COPYDATA data 1) laid out by hand from its published layout,
// apart from the library's own struct, so that a check of the layout does not take its own word:
// 17416 bytes, the command at 0, the text from 4, the second text from 16388, the value at
// 17412, zeros everywhere else. The texts fit: at most 8191 and 511 characters.
namespace qvtest {

std::string DeskbandCommandRecord(int32_t command, const std::wstring& text,
                                  const std::wstring& second, int32_t value);

}  // namespace qvtest
