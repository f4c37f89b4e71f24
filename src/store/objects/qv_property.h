#pragma once

#include <memory>
#include <string>

#include "store/variants/qv_variant.h"

class QVPropertyBag;

// One named value of a bag, with the default it was declared with. The value and the default
// are distinct variants of the same type code, owned here.
class QVProperty {
 public:
  QVProperty(std::string name, QVVariantType type, QVPropertyBag* bag);

  QVProperty(const QVProperty&) = delete;
  QVProperty& operator=(const QVProperty&) = delete;

  const std::string& name() const { return name_; }
  // Null when the type code was unknown.
  QVVariant* value() const { return value_.get(); }
  QVVariant* defaultValue() const { return default_.get(); }
  QVPropertyBag* bag() const { return bag_; }

  // Replaces the value variant (a localizable assignment changes its class).
  void replaceValue(std::unique_ptr<QVVariant> value) { value_ = std::move(value); }

  // name="value", nothing escaped.
  std::string toAttribute() const;

 private:
  std::string name_;
  std::unique_ptr<QVVariant> value_;
  std::unique_ptr<QVVariant> default_;
  QVPropertyBag* bag_;
};
