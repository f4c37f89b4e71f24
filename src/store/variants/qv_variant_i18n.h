#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/variants/qv_variant_list.h"
#include "store/variants/qv_variant_text.h"

// A localizable wide text: the displayed text (printed) and the localisation key it came
// from. Same type code as a plain wide string.
class QVVariantWStringI18N : public QVVariantWString {
 public:
  QVVariantWStringI18N(std::wstring displayed = std::wstring(), std::wstring k = std::wstring())
      : QVVariantWString(std::move(displayed)), key(std::move(k)) {}
  static std::unique_ptr<QVVariantWStringI18N> create(std::wstring displayed = std::wstring(),
                                                      std::wstring k = std::wstring()) {
    return QVNewVariant<QVVariantWStringI18N>(std::move(displayed), std::move(k));
  }

  std::wstring key;
};

// A localizable wide list: the displayed list (printed) and its localisation keys. Same type
// code as a plain wide-string list.
class QVVariantWStringListI18N : public QVVariantWStringList {
 public:
  QVVariantWStringListI18N(std::vector<std::wstring> displayed = {},
                           std::vector<std::wstring> k = {})
      : QVVariantWStringList(std::move(displayed)), keys(std::move(k)) {}
  static std::unique_ptr<QVVariantWStringListI18N> create(std::vector<std::wstring> displayed = {},
                                                          std::vector<std::wstring> k = {}) {
    return QVNewVariant<QVVariantWStringListI18N>(std::move(displayed), std::move(k));
  }

  std::vector<std::wstring> keys;
};
