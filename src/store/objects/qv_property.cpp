#include "store/objects/qv_property.h"

#include "store/variants/qv_variant_create.h"

QVProperty::QVProperty(std::string name, QVVariantType type, QVPropertyBag* bag)
    : name_(std::move(name)),
      value_(QVVariantCreate(type)),
      default_(QVVariantCreate(type)),
      bag_(bag) {}

std::string QVProperty::toAttribute() const {
  return name_ + "=\"" + (value_ ? value_->toString() : std::string()) + "\"";
}
