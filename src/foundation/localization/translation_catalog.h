#pragma once

#include <string>

// The process-wide message catalogue that localizable lists from the object database pass
// through. It is created on first use for "en_US" with no table loaded, and the library never
// loads one, so every lookup answers its input.
class QVTranslationCatalog {
 public:
  static QVTranslationCatalog& instance();

  const std::wstring& locale() const { return locale_; }

  // The translation of `text` in the current table; `text` itself when there is none.
  std::wstring translate(const std::wstring& text) const;

 private:
  QVTranslationCatalog();
  QVTranslationCatalog(const QVTranslationCatalog&) = delete;
  QVTranslationCatalog& operator=(const QVTranslationCatalog&) = delete;

  std::wstring locale_;
};
