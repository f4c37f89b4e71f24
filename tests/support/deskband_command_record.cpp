#include "support/deskband_command_record.h"

#include <cstring>

namespace qvtest {

std::string DeskbandCommandRecord(int32_t command, const std::wstring& text,
                                  const std::wstring& second, int32_t value) {
  std::string bytes(17416, '\0');
  std::memcpy(&bytes[0], &command, 4);
  std::memcpy(&bytes[4], text.data(), text.size() * 2);
  std::memcpy(&bytes[16388], second.data(), second.size() * 2);
  std::memcpy(&bytes[17412], &value, 4);
  return bytes;
}

}  // namespace qvtest
