#include <gtest/gtest.h>

#include "foundation/localization/translation_catalog.h"

TEST(QVTranslationCatalog, OneEnglishCatalogueWithoutTableAnswersItsInput) {
  QVTranslationCatalog& catalog = QVTranslationCatalog::instance();
  EXPECT_EQ(&catalog, &QVTranslationCatalog::instance());
  EXPECT_EQ(catalog.locale(), L"en_US");
  EXPECT_EQ(catalog.translate(L"Add to Tovin Menu"), L"Add to Tovin Menu");
  EXPECT_EQ(catalog.translate(L""), L"");
}
