#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

// Type codes of the value family. Stored with objects and chosen by table templates, so the
// numbers never change. The localizable wide-string classes share the codes of their plain
// bases (13 and 18): only a dynamic type test tells them apart.
enum class QVVariantType : int32_t {
  None = 0,
  Bool = 1,
  Int64 = 2,
  Int32 = 3,
  Int16 = 4,
  Int8 = 5,
  UInt64 = 6,
  UInt32 = 7,
  UInt16 = 8,
  UInt8 = 9,
  Double = 10,
  VoidP = 11,
  String = 12,
  WString = 13,
  Point = 14,
  Rect = 15,
  Color = 16,
  StringList = 17,
  WStringList = 18,
  Int32Range = 19,
  Int64Range = 20,
  DoubleRange = 21,
};

// A typed value. The base class is itself the value of code 0, with no payload. Values are
// copied between properties and compared by free functions, never through virtual calls.
class QVVariant {
 public:
  QVVariant() : type_(QVVariantType::None) {}
  virtual ~QVVariant() = default;

  QVVariant(const QVVariant&) = delete;
  QVVariant& operator=(const QVVariant&) = delete;

  QVVariantType type() const { return type_; }

  // The value's text form, in which objects meet the database.
  virtual std::string toString() const { return std::string(); }

 protected:
  explicit QVVariant(QVVariantType type) : type_(type) {}

 private:
  const QVVariantType type_;
};

// Allocates a value without throwing: null when memory is exhausted.
template <typename T, typename... Args>
std::unique_ptr<T> QVNewVariant(Args&&... args) {
  return std::unique_ptr<T>(new (std::nothrow) T(std::forward<Args>(args)...));
}
