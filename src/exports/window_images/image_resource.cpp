#include "exports/window_images/image_resource.h"

#include <windows.h>

#include "exports/window_images/qv_image.h"
#include "foundation/localization/thread_locale_manager.h"
#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_crit_sec.h"
#include "foundation/os/module_instance.h"

namespace {
QVCritSec g_resourceLock;
}  // namespace

std::shared_ptr<QVImage> LoadImageResource(const wchar_t* name) {
  QVCritLock lock(&g_resourceLock);
  // The loader picks a language-specific resource by the thread's language, as for strings.
  SyncThreadLangId();
  if (!name) return nullptr;
  auto image = std::make_shared<QVImage>();
  const HMODULE module = GetModuleInstance();
  HRSRC resource = FindResourceW(module, name, L"IMAGE");
  if (!resource) return nullptr;
  HGLOBAL loaded = LoadResource(module, resource);
  if (!loaded) return nullptr;
  const DWORD size = SizeofResource(module, resource);
  const void* bytes = LockResource(loaded);
  const bool decoded = bytes && image->loadFromMemory(bytes, size);
  FreeResource(loaded);
  return decoded ? image : nullptr;
}
