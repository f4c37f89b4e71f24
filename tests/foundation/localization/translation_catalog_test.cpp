#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/localization/translation_catalog.h"

TEST(QVTranslationCatalog, OneEnglishCatalogueWithoutTableAnswersItsInput) {
  QVTranslationCatalog& catalog = QVTranslationCatalog::instance();
  EXPECT_EQ(&catalog, &QVTranslationCatalog::instance());
  EXPECT_EQ(catalog.locale(), L"en_US");
  EXPECT_EQ(catalog.translate(L"Add to Tovin Menu"), L"Add to Tovin Menu");
  EXPECT_EQ(catalog.translate(L""), L"");
}

// Threads that ask for the catalogue at once all get the one catalogue, fully built.
TEST(QVTranslationCatalog, ThreadsThatAskAtOnceShareOneCatalogue) {
  constexpr int kThreads = 8;
  HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(start, nullptr);
  std::vector<const QVTranslationCatalog*> seen(kThreads, nullptr);
  std::vector<std::wstring> locales(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      WaitForSingleObject(start, INFINITE);
      seen[i] = &QVTranslationCatalog::instance();
      locales[i] = seen[i]->locale();
    });
  }
  SetEvent(start);
  for (std::thread& t : threads) t.join();
  CloseHandle(start);
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(seen[i], &QVTranslationCatalog::instance()) << "thread " << i;
    EXPECT_EQ(locales[i], L"en_US") << "thread " << i;
  }
}
