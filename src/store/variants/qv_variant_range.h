#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "store/variants/qv_variant.h"

// A pair of numbers, printed "first,second".
template <typename T, QVVariantType Code>
class QVVariantRange : public QVVariant {
 public:
  static constexpr QVVariantType kType = Code;

  QVVariantRange(T f = T(), T s = T()) : QVVariant(Code), first(f), second(s) {}

  static std::unique_ptr<QVVariantRange> create(T f = T(), T s = T()) {
    return QVNewVariant<QVVariantRange>(f, s);
  }

  std::string toString() const override {
    return std::to_string(first) + "," + std::to_string(second);
  }

  T first;
  T second;
};

using QVVariantInt32Range = QVVariantRange<int32_t, QVVariantType::Int32Range>;
using QVVariantInt64Range = QVVariantRange<int64_t, QVVariantType::Int64Range>;
using QVVariantDoubleRange = QVVariantRange<double, QVVariantType::DoubleRange>;
