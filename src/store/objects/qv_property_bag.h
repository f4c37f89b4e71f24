#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/objects/qv_property.h"
#include "store/objects/qv_property_callback.h"

class QVObject;

// The named properties of one object, in the order they were added: that order is used
// wherever properties are listed (attributes, table columns).
class QVPropertyBag : public QVPropertyCallback {
 public:
  QVPropertyBag() = default;
  virtual ~QVPropertyBag() = default;

  QVPropertyBag(const QVPropertyBag&) = delete;
  QVPropertyBag& operator=(const QVPropertyBag&) = delete;

  // Forwards to the owner, once one is set.
  void propertyChanged(QVProperty* property) override;

  void setOwner(QVObject* owner) { owner_ = owner; }
  QVObject* owner() const { return owner_; }

  int count() const { return static_cast<int>(properties_.size()); }
  // Null when out of range.
  QVProperty* at(int index) const;
  QVProperty* find(const std::string& name) const;

  // False, leaving the existing property as it is, when the name is taken.
  bool addProperty(const std::string& name, QVVariantType type);
  QVVariant* getValue(const std::string& name) const;
  QVVariant* getDefault(const std::string& name) const;
  // Copies `value` into the named property when the type codes match. True whenever the bag
  // holds the name, even when the copy was refused.
  bool setValue(const std::string& name, const QVVariant& value, bool alsoDefault);
  void clear() { properties_.clear(); }

 private:
  QVObject* owner_ = nullptr;
  std::vector<std::unique_ptr<QVProperty>> properties_;
};
