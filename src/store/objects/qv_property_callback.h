#pragma once

class QVProperty;

// Told when a property has changed.
class QVPropertyCallback {
 public:
  virtual void propertyChanged(QVProperty* property) = 0;

 protected:
  ~QVPropertyCallback() = default;
};
