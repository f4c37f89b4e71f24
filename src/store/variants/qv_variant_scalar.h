#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "store/variants/qv_variant.h"

// A value of one number (or flag, or opaque pointer).
template <typename T, QVVariantType Code>
class QVVariantScalar : public QVVariant {
 public:
  static constexpr QVVariantType kType = Code;

  explicit QVVariantScalar(T v = T()) : QVVariant(Code), value(v) {}

  static std::unique_ptr<QVVariantScalar> create(T v = T()) {
    return QVNewVariant<QVVariantScalar>(v);
  }

  std::string toString() const override {
    if constexpr (std::is_same_v<T, bool>) {
      return value ? "true" : "false";
    } else if constexpr (std::is_pointer_v<T>) {
      return std::string();  // an opaque handle has no text form
    } else if constexpr (std::is_floating_point_v<T>) {
      return std::to_string(value);  // "%f": six decimals
    } else if constexpr (std::is_signed_v<T>) {
      return std::to_string(static_cast<long long>(value));
    } else {
      return std::to_string(static_cast<unsigned long long>(value));
    }
  }

  T value;
};

using QVVariantBool = QVVariantScalar<bool, QVVariantType::Bool>;
using QVVariantInt64 = QVVariantScalar<int64_t, QVVariantType::Int64>;
using QVVariantInt32 = QVVariantScalar<int32_t, QVVariantType::Int32>;
using QVVariantInt16 = QVVariantScalar<int16_t, QVVariantType::Int16>;
using QVVariantInt8 = QVVariantScalar<int8_t, QVVariantType::Int8>;
using QVVariantUInt64 = QVVariantScalar<uint64_t, QVVariantType::UInt64>;
using QVVariantUInt32 = QVVariantScalar<uint32_t, QVVariantType::UInt32>;
using QVVariantUInt16 = QVVariantScalar<uint16_t, QVVariantType::UInt16>;
using QVVariantUInt8 = QVVariantScalar<uint8_t, QVVariantType::UInt8>;
using QVVariantDouble = QVVariantScalar<double, QVVariantType::Double>;
// Never dereferenced: it only carries a caller's handle along with an object.
using QVVariantVoidP = QVVariantScalar<void*, QVVariantType::VoidP>;
