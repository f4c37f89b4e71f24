#pragma once

#include <memory>
#include <string>

#include "store/variants/qv_variant.h"
#include "store/variants/utf8.h"

// Narrow text: bytes, UTF-8 where they are text. Printed as they are.
class QVVariantString : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::String;

  explicit QVVariantString(std::string t = std::string()) : QVVariant(kType), text(std::move(t)) {}
  static std::unique_ptr<QVVariantString> create(std::string t = std::string()) {
    return QVNewVariant<QVVariantString>(std::move(t));
  }
  std::string toString() const override { return text; }

  std::string text;
};

// Wide (UTF-16) text, printed as UTF-8.
class QVVariantWString : public QVVariant {
 public:
  static constexpr QVVariantType kType = QVVariantType::WString;

  explicit QVVariantWString(std::wstring t = std::wstring())
      : QVVariant(kType), text(std::move(t)) {}
  static std::unique_ptr<QVVariantWString> create(std::wstring t = std::wstring()) {
    return QVNewVariant<QVVariantWString>(std::move(t));
  }
  std::string toString() const override { return QVUtf8::fromWide(text); }

  // The displayed text.
  std::wstring text;
};
