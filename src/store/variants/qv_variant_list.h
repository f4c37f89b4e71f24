#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/variants/qv_variant.h"

// Ordered narrow texts, printed joined with "," (items are not escaped).
class QVVariantStringList : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::StringList;

  explicit QVVariantStringList(std::vector<std::string> list = {})
      : QVVariant(kType), items(std::move(list)) {}
  static std::unique_ptr<QVVariantStringList> create(std::vector<std::string> list = {}) {
    return QVNewVariant<QVVariantStringList>(std::move(list));
  }
  std::string toString() const override;

  std::vector<std::string> items;
};

// Ordered wide texts, printed UTF-8 encoded and joined with ",".
class QVVariantWStringList : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::WStringList;

  explicit QVVariantWStringList(std::vector<std::wstring> list = {})
      : QVVariant(kType), items(std::move(list)) {}
  static std::unique_ptr<QVVariantWStringList> create(std::vector<std::wstring> list = {}) {
    return QVNewVariant<QVVariantWStringList>(std::move(list));
  }
  std::string toString() const override;

  // The displayed list.
  std::vector<std::wstring> items;
};
