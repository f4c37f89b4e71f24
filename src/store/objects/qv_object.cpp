#include "store/objects/qv_object.h"

#include <algorithm>
#include <boost/core/demangle.hpp>
#include <typeinfo>

#include "store/variants/qv_variant_equals.h"

namespace {

// Keeps an object alive across calls that may release it.
class Retained {
 public:
  explicit Retained(QVObject* object) : object_(object) { object_->retain(); }
  ~Retained() { object_->release(); }
  Retained(const Retained&) = delete;
  Retained& operator=(const Retained&) = delete;

 private:
  QVObject* object_;
};

}  // namespace

QVObject::QVObject() : refCount_(1), parent_(nullptr) { bag_.setOwner(this); }

QVObject::~QVObject() {
  for (const Observer& observer : observers_) observer.object->release();
  observers_.clear();
  // A bound object keeps a reverse binding to this one: take it back before letting go, so
  // nothing is left pointing at a destroyed object (stack instances die whatever their count).
  std::vector<Binding> bindings;
  bindings.swap(bindings_);
  for (const Binding& binding : bindings) {
    if (binding.target == this) continue;
    binding.target->dropBindingsTo(this);
    binding.target->release();
  }
}

void QVObject::propertyChanged(QVProperty* property) {
  if (!property) return;
  const std::string name = property->name();
  didSetProperty(property);
  notifyObservers(name);
  propagateBindings(name, this, name);
}

int32_t QVObject::retain() { return ++refCount_; }

int32_t QVObject::release() {
  if (refCount_ == 1) {
    refCount_ = 0;
    delete this;
    return 0;
  }
  return --refCount_;
}

bool QVObject::addProperty(const std::string& name, QVVariantType type) {
  return bag_.addProperty(name, type);
}

QVVariant* QVObject::getProperty(const std::string& name) const { return bag_.getValue(name); }

QVVariant* QVObject::getDefaultProperty(const std::string& name) const {
  return bag_.getDefault(name);
}

bool QVObject::setProperty(const std::string& name, const QVVariant& value, bool alsoDefault) {
  return setPropertyFrom(name, value, nullptr, std::string(), alsoDefault);
}

bool QVObject::setPropertyFrom(const std::string& name, const QVVariant& value,
                               const QVObject* source, const std::string& sourceName,
                               bool alsoDefault) {
  const bool held = bag_.setValue(name, value, alsoDefault);
  if (QVProperty* property = bag_.find(name)) didSetProperty(property);
  if (!held) return false;
  Retained self(this);
  notifyObservers(name);
  propagateBindings(name, source, sourceName);
  return true;
}

void QVObject::notifyObservers(const std::string& name) {
  // A copy: an observer may add or remove observers while it is told.
  const std::vector<Observer> observers = observers_;
  for (const Observer& observer : observers) {
    if (observer.name != name) continue;
    Retained alive(observer.object);
    observer.object->observedPropertyChanged(name, this, observer.userValue);
  }
}

void QVObject::propagateBindings(const std::string& name, const QVObject* source,
                                 const std::string& sourceName) {
  if (std::find(propagating_.begin(), propagating_.end(), name) != propagating_.end()) return;
  propagating_.push_back(name);
  const std::vector<Binding> bindings = bindings_;
  for (const Binding& binding : bindings) {
    if (binding.sourceName != name) continue;
    // Never send a change back to where it came from.
    if (binding.target == source && binding.targetName == sourceName) continue;
    const QVVariant* value = getProperty(name);
    if (!value) continue;
    Retained alive(binding.target);
    binding.target->setPropertyFrom(binding.targetName, *value, this, name, false);
  }
  propagating_.erase(std::find(propagating_.begin(), propagating_.end(), name));
}

bool QVObject::addObserver(QVObject* observer, const std::string& name, uintptr_t userValue) {
  if (!observer) return false;
  for (const Observer& entry : observers_) {
    if (entry.object == observer && entry.name == name) return false;
  }
  observers_.push_back(Observer{observer, name, userValue});
  observer->retain();
  return true;
}

void QVObject::removeObserver(QVObject* observer, const std::string& name) {
  std::vector<QVObject*> removed;
  for (auto it = observers_.begin(); it != observers_.end();) {
    if (it->object == observer && it->name == name) {
      removed.push_back(it->object);
      it = observers_.erase(it);
    } else {
      ++it;
    }
  }
  for (QVObject* object : removed) object->release();
}

void QVObject::observedPropertyChanged(const std::string&, QVObject*, uintptr_t) {}

bool QVObject::addBinding(const std::string& sourceName, QVObject* target,
                          const std::string& targetName) {
  if (!target || hasBinding(sourceName, target, targetName)) return false;
  const QVVariant* source = getProperty(sourceName);
  const QVVariant* destination = target->getProperty(targetName);
  if (!source || !destination || source->type() != destination->type()) return false;
  bindings_.push_back(Binding{target, sourceName, targetName});
  target->retain();
  if (!target->hasBinding(targetName, this, sourceName)) {
    target->addBinding(targetName, this, sourceName);
  }
  return true;
}

void QVObject::removeBinding(const std::string& sourceName, QVObject* target,
                             const std::string& targetName) {
  const auto it = std::find_if(bindings_.begin(), bindings_.end(), [&](const Binding& b) {
    return b.target == target && b.sourceName == sourceName && b.targetName == targetName;
  });
  if (it == bindings_.end()) return;
  // The reverse removal releases this object, which may be its last reference.
  Retained self(this);
  bindings_.erase(it);
  if (target->hasBinding(targetName, this, sourceName)) {
    target->removeBinding(targetName, this, sourceName);
  }
  target->release();
}

bool QVObject::hasBinding(const std::string& sourceName, const QVObject* target,
                          const std::string& targetName) const {
  return std::any_of(bindings_.begin(), bindings_.end(), [&](const Binding& b) {
    return b.target == target && b.sourceName == sourceName && b.targetName == targetName;
  });
}

void QVObject::dropBindingsTo(const QVObject* target) {
  bindings_.erase(std::remove_if(bindings_.begin(), bindings_.end(),
                                 [&](const Binding& b) { return b.target == target; }),
                  bindings_.end());
}

QVObject* QVObject::parent() const { return parent_; }

void QVObject::addChild(QVObject* child) {
  if (!child || std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  children_.push_back(child);
  child->parent_ = this;
}

void QVObject::prependChild(QVObject* child) {
  if (!child || std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  children_.insert(children_.begin(), child);
  child->parent_ = this;
}

void QVObject::removeChild(QVObject* child) {
  if (!child) return;
  const auto end = std::remove(children_.begin(), children_.end(), child);
  const bool listed = end != children_.end();
  children_.erase(end, children_.end());
  if (listed || child->parent_ == this) child->parent_ = nullptr;
}

void QVObject::removeAllChildren() { children_.clear(); }

int QVObject::childCount() const { return static_cast<int>(children_.size()); }

QVObject* QVObject::childAt(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  return children_[static_cast<size_t>(index)];
}

int QVObject::setChildAt(int index, QVObject* child) {
  if (index >= 0 && index < childCount()) children_[static_cast<size_t>(index)] = child;
  return index;
}

void QVObject::replaceChild(QVObject* oldChild, QVObject* newChild) {
  if (!oldChild || !newChild || oldChild == newChild) return;
  bool replaced = false;
  for (QVObject*& child : children_) {
    if (child == oldChild) {
      child = newChild;
      replaced = true;
    }
  }
  if (!replaced) return;
  oldChild->parent_ = nullptr;
  newChild->parent_ = this;
}

QVObject* QVObject::findObject(const std::string& name, const QVVariant* value) {
  if (name.empty() || !value) return nullptr;
  if (QVVariantEquals(getProperty(name), value)) return this;
  for (QVObject* child : children_) {
    if (!child) continue;
    if (QVObject* hit = child->findObject(name, value)) return hit;
  }
  return nullptr;
}

void QVObject::visitTree(QVObjectVisitor fn, void* user) {
  if (!fn) return;
  fn(this, user);
  for (size_t i = 0; i < children_.size(); ++i) {
    if (children_[i]) children_[i]->visitTree(fn, user);
  }
}

void QVObject::visitAncestors(QVObjectVisitor fn, void* user) {
  if (!fn) return;
  for (QVObject* object = this; object; object = object->parent_) fn(object, user);
}

void QVObject::didSetProperty(QVProperty*) {}

namespace {

const char kLineEnd[] = "\r\n";

std::string Indent(int indent) {
  std::string text;
  for (int i = 0; i < indent; ++i) text += "    ";
  return text;
}

std::string WithoutPrefix(std::string name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) == 0) name.erase(0, prefix.size());
  return name;
}

}  // namespace

std::string QVObject::className() const {
  // Some compilers name a type "class X"; the element name is the bare X.
  return WithoutPrefix(WithoutPrefix(boost::core::demangle(typeid(*this).name()), "class "),
                       "struct ");
}

std::string QVObject::xmlText(const QVXmlFilter& filter, int indent) const {
  const std::string name = className();
  std::string text = Indent(indent) + "<" + name;
  for (int i = 0; i < bag_.count(); ++i) {
    const QVProperty* property = bag_.at(i);
    if (QVVariantEquals(property->value(), property->defaultValue())) continue;
    if (filter && !filter(*this, property->name())) continue;
    text += " " + property->toAttribute();
  }
  if (children_.empty()) return text + "/>" + kLineEnd;
  text += ">";
  text += kLineEnd;
  for (const QVObject* child : children_) {
    if (child) text += child->xmlText(filter, indent + 1);
  }
  return text + Indent(indent) + "</" + name + ">" + kLineEnd;
}
