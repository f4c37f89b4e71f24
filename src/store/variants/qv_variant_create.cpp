#include "store/variants/qv_variant_create.h"

#include "store/variants/qv_variants.h"

std::unique_ptr<QVVariant> QVVariantCreate(QVVariantType type) {
  switch (type) {
    case QVVariantType::None:
      return QVNewVariant<QVVariant>();
    case QVVariantType::Bool:
      return QVVariantBool::create();
    case QVVariantType::Int64:
      return QVVariantInt64::create();
    case QVVariantType::Int32:
      return QVVariantInt32::create();
    case QVVariantType::Int16:
      return QVVariantInt16::create();
    case QVVariantType::Int8:
      return QVVariantInt8::create();
    case QVVariantType::UInt64:
      return QVVariantUInt64::create();
    case QVVariantType::UInt32:
      return QVVariantUInt32::create();
    case QVVariantType::UInt16:
      return QVVariantUInt16::create();
    case QVVariantType::UInt8:
      return QVVariantUInt8::create();
    case QVVariantType::Double:
      return QVVariantDouble::create();
    case QVVariantType::VoidP:
      return QVVariantVoidP::create();
    case QVVariantType::String:
      return QVVariantString::create();
    case QVVariantType::WString:
      return QVVariantWString::create();
    case QVVariantType::Point:
      return QVVariantPoint::create();
    case QVVariantType::Rect:
      return QVVariantRect::create();
    case QVVariantType::Color:
      return QVVariantColor::create();
    case QVVariantType::StringList:
      return QVVariantStringList::create();
    case QVVariantType::WStringList:
      return QVVariantWStringList::create();
    case QVVariantType::Int32Range:
      return QVVariantInt32Range::create();
    case QVVariantType::Int64Range:
      return QVVariantInt64Range::create();
    case QVVariantType::DoubleRange:
      return QVVariantDoubleRange::create();
  }
  return nullptr;
}
