#include "store/objects/qv_property_bag.h"

#include "store/objects/qv_object.h"
#include "store/objects/qv_property_assign.h"

void QVPropertyBag::propertyChanged(QVProperty* property) {
  if (owner_) owner_->propertyChanged(property);
}

QVProperty* QVPropertyBag::at(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return properties_[static_cast<size_t>(index)].get();
}

QVProperty* QVPropertyBag::find(const std::string& name) const {
  for (const auto& property : properties_) {
    if (property->name() == name) return property.get();
  }
  return nullptr;
}

bool QVPropertyBag::addProperty(const std::string& name, QVVariantType type) {
  if (find(name)) return false;
  properties_.push_back(std::make_unique<QVProperty>(name, type, this));
  return true;
}

QVVariant* QVPropertyBag::getValue(const std::string& name) const {
  const QVProperty* property = find(name);
  return property ? property->value() : nullptr;
}

QVVariant* QVPropertyBag::getDefault(const std::string& name) const {
  const QVProperty* property = find(name);
  return property ? property->defaultValue() : nullptr;
}

bool QVPropertyBag::setValue(const std::string& name, const QVVariant& value, bool alsoDefault) {
  QVProperty* property = find(name);
  if (!property) return false;
  QVPropertyAssign(*property, value, alsoDefault);
  return true;
}
