#include "foundation/os/guid_text.h"

#include <objbase.h>

namespace QVOS {

std::wstring guidToString(const GUID& guid) {
  wchar_t text[200] = {};
  if (StringFromGUID2(guid, text, 200) <= 0) return std::wstring();
  return text;
}

}  // namespace QVOS
