#include "store/variants/qv_variant_equals.h"

#include "store/variants/qv_variants.h"

namespace {

template <typename T>
bool SameValue(const QVVariant& a, const QVVariant& b) {
  const T* x = dynamic_cast<const T*>(&a);
  const T* y = dynamic_cast<const T*>(&b);
  return x && y && x->value == y->value;
}

template <typename T>
bool SameRange(const QVVariant& a, const QVVariant& b) {
  const T* x = dynamic_cast<const T*>(&a);
  const T* y = dynamic_cast<const T*>(&b);
  return x && y && x->first == y->first && x->second == y->second;
}

template <typename T>
bool SameText(const QVVariant& a, const QVVariant& b) {
  const T* x = dynamic_cast<const T*>(&a);
  const T* y = dynamic_cast<const T*>(&b);
  return x && y && x->text == y->text;
}

template <typename T>
bool SameItems(const QVVariant& a, const QVVariant& b) {
  const T* x = dynamic_cast<const T*>(&a);
  const T* y = dynamic_cast<const T*>(&b);
  return x && y && x->items == y->items;
}

bool SamePoint(const QVVariant& a, const QVVariant& b) {
  const auto* x = dynamic_cast<const QVVariantPoint*>(&a);
  const auto* y = dynamic_cast<const QVVariantPoint*>(&b);
  return x && y && x->x == y->x && x->y == y->y;
}

bool SameRect(const QVVariant& a, const QVVariant& b) {
  const auto* x = dynamic_cast<const QVVariantRect*>(&a);
  const auto* y = dynamic_cast<const QVVariantRect*>(&b);
  return x && y && x->x == y->x && x->y == y->y && x->width == y->width && x->height == y->height;
}

bool SameColor(const QVVariant& a, const QVVariant& b) {
  const auto* x = dynamic_cast<const QVVariantColor*>(&a);
  const auto* y = dynamic_cast<const QVVariantColor*>(&b);
  return x && y && x->c0 == y->c0 && x->c1 == y->c1 && x->c2 == y->c2 && x->c3 == y->c3;
}

}  // namespace

bool QVVariantEquals(const QVVariant* a, const QVVariant* b) {
  if (!a || !b || a->type() != b->type()) return false;
  switch (a->type()) {
    case QVVariantType::None:
      return true;
    case QVVariantType::Bool:
      return SameValue<QVVariantBool>(*a, *b);
    case QVVariantType::Int64:
      return SameValue<QVVariantInt64>(*a, *b);
    case QVVariantType::Int32:
      return SameValue<QVVariantInt32>(*a, *b);
    case QVVariantType::Int16:
      return SameValue<QVVariantInt16>(*a, *b);
    case QVVariantType::Int8:
      return SameValue<QVVariantInt8>(*a, *b);
    case QVVariantType::UInt64:
      return SameValue<QVVariantUInt64>(*a, *b);
    case QVVariantType::UInt32:
      return SameValue<QVVariantUInt32>(*a, *b);
    case QVVariantType::UInt16:
      return SameValue<QVVariantUInt16>(*a, *b);
    case QVVariantType::UInt8:
      return SameValue<QVVariantUInt8>(*a, *b);
    case QVVariantType::Double:
      return SameValue<QVVariantDouble>(*a, *b);
    case QVVariantType::VoidP:
      return SameValue<QVVariantVoidP>(*a, *b);
    case QVVariantType::String:
      return SameText<QVVariantString>(*a, *b);
    case QVVariantType::WString:
      return SameText<QVVariantWString>(*a, *b);
    case QVVariantType::Point:
      return SamePoint(*a, *b);
    case QVVariantType::Rect:
      return SameRect(*a, *b);
    case QVVariantType::Color:
      return SameColor(*a, *b);
    case QVVariantType::StringList:
      return SameItems<QVVariantStringList>(*a, *b);
    case QVVariantType::WStringList:
      return SameItems<QVVariantWStringList>(*a, *b);
    case QVVariantType::Int32Range:
      return SameRange<QVVariantInt32Range>(*a, *b);
    case QVVariantType::Int64Range:
      return SameRange<QVVariantInt64Range>(*a, *b);
    case QVVariantType::DoubleRange:
      return SameRange<QVVariantDoubleRange>(*a, *b);
  }
  return false;
}
