#include "foundation/localization/localized_string.h"

#include <windows.h>

#include "foundation/localization/thread_locale_manager.h"
#include "foundation/os/module_instance.h"

bool LoadStringResource(int id, StringResource* resource) {
  SyncThreadLangId();
  // String ids are 16 bits: the loader would take a wider or negative id for its low half and
  // answer with an unrelated text.
  if (id < 0 || id > 0xFFFF) return false;
  const wchar_t* text = nullptr;
  // A zero buffer size asks for a pointer into the resource itself.
  const int length =
      LoadStringW(GetModuleInstance(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return false;
  resource->text = text;
  resource->length = length;
  return true;
}

std::wstring GetLocalizedString(int id) {
  StringResource resource;
  if (LoadStringResource(id, &resource)) return std::wstring(resource.text, resource.length);
  return L"string id " + std::to_wstring(id) + L" missing";
}
