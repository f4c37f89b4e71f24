#include "store/objects/qv_property_assign.h"

#include "store/objects/qv_property.h"
#include "store/variants/qv_variants.h"

namespace {

const wchar_t kAssignMarker[] = L"TVI18N:";
const size_t kAssignMarkerLength = 7;
const wchar_t kNotSet[] = L"NOT_SET";

template <typename T>
bool CopyAs(QVVariant& to, const QVVariant& from, void (*copy)(T&, const T&)) {
  T* target = dynamic_cast<T*>(&to);
  const T* source = dynamic_cast<const T*>(&from);
  if (!target || !source) return false;
  copy(*target, *source);
  return true;
}

template <typename T>
bool CopyValue(QVVariant& to, const QVVariant& from) {
  return CopyAs<T>(to, from, [](T& t, const T& s) { t.value = s.value; });
}

template <typename T>
bool CopyRange(QVVariant& to, const QVVariant& from) {
  return CopyAs<T>(to, from, [](T& t, const T& s) {
    t.first = s.first;
    t.second = s.second;
  });
}

template <typename T>
bool CopyText(QVVariant& to, const QVVariant& from) {
  return CopyAs<T>(to, from, [](T& t, const T& s) { t.text = s.text; });
}

template <typename T>
bool CopyItems(QVVariant& to, const QVVariant& from) {
  return CopyAs<T>(to, from, [](T& t, const T& s) { t.items = s.items; });
}

// The payload of `from` into `to`, both of the same code. Localizable targets keep their keys.
bool CopyPayload(QVVariant& to, const QVVariant& from) {
  switch (from.type()) {
    case QVVariantType::Bool:
      return CopyValue<QVVariantBool>(to, from);
    case QVVariantType::Int64:
      return CopyValue<QVVariantInt64>(to, from);
    case QVVariantType::Int32:
      return CopyValue<QVVariantInt32>(to, from);
    case QVVariantType::Int16:
      return CopyValue<QVVariantInt16>(to, from);
    case QVVariantType::Int8:
      return CopyValue<QVVariantInt8>(to, from);
    case QVVariantType::UInt64:
      return CopyValue<QVVariantUInt64>(to, from);
    case QVVariantType::UInt32:
      return CopyValue<QVVariantUInt32>(to, from);
    case QVVariantType::UInt16:
      return CopyValue<QVVariantUInt16>(to, from);
    case QVVariantType::UInt8:
      return CopyValue<QVVariantUInt8>(to, from);
    case QVVariantType::Double:
      return CopyValue<QVVariantDouble>(to, from);
    case QVVariantType::VoidP:
      return CopyValue<QVVariantVoidP>(to, from);
    case QVVariantType::String:
      return CopyText<QVVariantString>(to, from);
    case QVVariantType::WString:
      return CopyText<QVVariantWString>(to, from);
    case QVVariantType::Point:
      return CopyAs<QVVariantPoint>(to, from, [](QVVariantPoint& t, const QVVariantPoint& s) {
        t.x = s.x;
        t.y = s.y;
      });
    case QVVariantType::Rect:
      return CopyAs<QVVariantRect>(to, from, [](QVVariantRect& t, const QVVariantRect& s) {
        t.x = s.x;
        t.y = s.y;
        t.width = s.width;
        t.height = s.height;
      });
    case QVVariantType::Color:
      return CopyAs<QVVariantColor>(to, from, [](QVVariantColor& t, const QVVariantColor& s) {
        t.c0 = s.c0;
        t.c1 = s.c1;
        t.c2 = s.c2;
        t.c3 = s.c3;
      });
    case QVVariantType::StringList:
      return CopyItems<QVVariantStringList>(to, from);
    case QVVariantType::WStringList:
      return CopyItems<QVVariantWStringList>(to, from);
    case QVVariantType::Int32Range:
      return CopyRange<QVVariantInt32Range>(to, from);
    case QVVariantType::Int64Range:
      return CopyRange<QVVariantInt64Range>(to, from);
    case QVVariantType::DoubleRange:
      return CopyRange<QVVariantDoubleRange>(to, from);
    case QVVariantType::None:
      break;
  }
  return false;
}

// A localizable text keeps the key the property already has: its key when it is localizable,
// else its text, unless that text is the "NOT_SET" placeholder.
bool AssignLocalizableText(QVProperty& property, const QVVariantWStringI18N& incoming,
                           bool alsoDefault) {
  const auto* current = dynamic_cast<const QVVariantWString*>(property.value());
  if (!current) return false;
  std::wstring text = incoming.text;
  if (text.size() > kAssignMarkerLength &&
      text.compare(0, kAssignMarkerLength, kAssignMarker) == 0) {
    text.erase(0, kAssignMarkerLength);
  }
  std::wstring key;
  if (const auto* localizable = dynamic_cast<const QVVariantWStringI18N*>(current)) {
    key = localizable->key;
  } else if (current->text == kNotSet) {
    key = text;
  } else {
    key = current->text;
  }
  auto replacement = QVVariantWStringI18N::create(text, std::move(key));
  if (!replacement) return false;
  // `incoming` may be the value being replaced: nothing of it is read after this point.
  property.replaceValue(std::move(replacement));
  if (alsoDefault) {
    if (auto* defaultText = dynamic_cast<QVVariantWString*>(property.defaultValue())) {
      defaultText->text = std::move(text);
    }
  }
  return true;
}

bool AssignLocalizableList(QVProperty& property, const QVVariantWStringListI18N& incoming,
                           bool alsoDefault) {
  const auto* current = dynamic_cast<const QVVariantWStringList*>(property.value());
  if (!current) return false;
  std::vector<std::wstring> items = incoming.items;
  std::vector<std::wstring> keys;
  if (const auto* localizable = dynamic_cast<const QVVariantWStringListI18N*>(current)) {
    keys = localizable->keys;
  } else if (!current->items.empty()) {
    keys = current->items;
  } else {
    keys = items;
  }
  auto replacement = QVVariantWStringListI18N::create(items, std::move(keys));
  if (!replacement) return false;
  property.replaceValue(std::move(replacement));
  if (alsoDefault) {
    if (auto* defaultList = dynamic_cast<QVVariantWStringList*>(property.defaultValue())) {
      defaultList->items = std::move(items);
    }
  }
  return true;
}

}  // namespace

bool QVPropertyAssign(QVProperty& property, const QVVariant& incoming, bool alsoDefault) {
  QVVariant* value = property.value();
  if (!value || value->type() != incoming.type()) return false;

  if (const auto* text = dynamic_cast<const QVVariantWStringI18N*>(&incoming)) {
    return AssignLocalizableText(property, *text, alsoDefault);
  }
  if (const auto* list = dynamic_cast<const QVVariantWStringListI18N*>(&incoming)) {
    return AssignLocalizableList(property, *list, alsoDefault);
  }
  if (!CopyPayload(*value, incoming)) return false;
  if (alsoDefault && property.defaultValue()) CopyPayload(*property.defaultValue(), incoming);
  return true;
}
