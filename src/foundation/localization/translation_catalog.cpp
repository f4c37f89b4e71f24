#include "foundation/localization/translation_catalog.h"

#include "foundation/locks/qv_crit_lock.h"

namespace {

QVCritSec g_catalogLock;
QVTranslationCatalog* volatile g_catalog = nullptr;

}  // namespace

QVTranslationCatalog::QVTranslationCatalog() : locale_(L"en_US") {}

QVTranslationCatalog& QVTranslationCatalog::instance() {
  if (g_catalog) return *g_catalog;
  QVCritLock lock(&g_catalogLock);
  // Kept until the process ends, like the other first-use state of the library.
  if (!g_catalog) g_catalog = new QVTranslationCatalog();
  return *g_catalog;
}

std::wstring QVTranslationCatalog::translate(const std::wstring& text) const { return text; }
