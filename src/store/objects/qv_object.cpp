#include "store/objects/qv_object.h"

#include <algorithm>

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

// Keeps several objects alive until the end of the scope.
class RetainedAll {
 public:
  RetainedAll() = default;
  ~RetainedAll() {
    for (QVObject* object : objects_) object->release();
  }
  RetainedAll(const RetainedAll&) = delete;
  RetainedAll& operator=(const RetainedAll&) = delete;
  void add(QVObject* object) {
    objects_.push_back(object);
    object->retain();
  }

 private:
  std::vector<QVObject*> objects_;
};

bool Contains(const std::vector<QVObject*>& list, const QVObject* object) {
  return std::find(list.begin(), list.end(), object) != list.end();
}

void Erase(std::vector<QVObject*>* list, const QVObject* object) {
  list->erase(std::remove(list->begin(), list->end(), object), list->end());
}

void AddOnce(std::vector<QVObject*>* list, QVObject* object) {
  if (!Contains(*list, object)) list->push_back(object);
}

}  // namespace

QVObject::QVObject() : refCount_(1), parent_(nullptr) { bag_.setOwner(this); }

QVObject::~QVObject() {
  // A stack instance dies whatever its count; a heap one is at 0 already. Either way nothing
  // done from here on may delete it again.
  refCount_ = 0;

  // Subjects forget this observer; their references to it die with it.
  for (QVObject* subject : subjects_) subject->dropObserver(this);
  subjects_.clear();
  std::vector<Observer> observers;
  observers.swap(observers_);
  for (const Observer& observer : observers) Erase(&observer.object->subjects_, this);
  for (const Observer& observer : observers) observer.object->release();

  // A bound object keeps a reverse binding to this one: take it back before letting go, so
  // nothing is left pointing at a destroyed object (stack instances die whatever their count).
  std::vector<Binding> bindings;
  bindings.swap(bindings_);
  for (const Binding& binding : bindings) {
    if (binding.target == this) continue;
    binding.target->dropBindingsTo(this);
    binding.target->release();
  }

  // Children are not owned: they only lose their parent, and parents lose this child.
  for (QVObject* holder : holders_) Erase(&holder->children_, this);
  holders_.clear();
  for (QVObject* child : children_) {
    if (child) Erase(&child->holders_, this);
  }
  children_.clear();
  for (QVObject* dependent : dependents_) dependent->parent_ = nullptr;
  dependents_.clear();
  setParent(nullptr);
}

void QVObject::propertyChanged(QVProperty* property) {
  if (!property) return;
  const std::string name = property->name();
  Retained self(this);
  didSetProperty(property);
  notifyObservers(name);
  propagateBindings(name, this, name);
}

int32_t QVObject::retain() {
  if (refCount_ <= 0) return 0;  // being destroyed
  return ++refCount_;
}

int32_t QVObject::release() {
  if (refCount_ <= 0) return 0;  // being destroyed
  if (--refCount_ > 0) return refCount_;
  delete this;
  return 0;
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
  // An observer may add or remove observers while it is told, and a removed one may lose its
  // last reference: every observer of this round is held until the round is over, and one
  // removed meanwhile is not told.
  std::vector<Observer> observers;
  for (const Observer& observer : observers_) {
    if (observer.name == name) observers.push_back(observer);
  }
  RetainedAll alive;
  for (const Observer& observer : observers) alive.add(observer.object);
  for (const Observer& observer : observers) {
    if (!observes(observer.object, name)) continue;
    observer.object->observedPropertyChanged(name, this, observer.userValue);
  }
}

void QVObject::propagateBindings(const std::string& name, const QVObject* source,
                                 const std::string& sourceName) {
  if (std::find(propagating_.begin(), propagating_.end(), name) != propagating_.end()) return;
  // Nested rounds end before this one, so this round's name is the last one.
  struct Propagating {
    std::vector<std::string>* names;
    ~Propagating() { names->pop_back(); }
  };
  propagating_.push_back(name);
  const Propagating mark{&propagating_};

  // As with observers: targets stay alive for the round, and a binding removed meanwhile is
  // not followed.
  std::vector<Binding> bindings;
  for (const Binding& binding : bindings_) {
    if (binding.sourceName == name) bindings.push_back(binding);
  }
  RetainedAll alive;
  for (const Binding& binding : bindings) alive.add(binding.target);
  for (const Binding& binding : bindings) {
    // Never send a change back to where it came from.
    if (binding.target == source && binding.targetName == sourceName) continue;
    if (!hasBinding(name, binding.target, binding.targetName)) continue;
    const QVVariant* value = getProperty(name);
    if (!value) continue;
    binding.target->setPropertyFrom(binding.targetName, *value, this, name, false);
  }
}

bool QVObject::observes(const QVObject* observer, const std::string& name) const {
  return std::any_of(observers_.begin(), observers_.end(), [&](const Observer& entry) {
    return entry.object == observer && entry.name == name;
  });
}

bool QVObject::addObserver(QVObject* observer, const std::string& name, uintptr_t userValue) {
  if (!observer || observes(observer, name)) return false;
  observers_.push_back(Observer{observer, name, userValue});
  observer->retain();
  AddOnce(&observer->subjects_, this);
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
  if (removed.empty()) return;
  const bool stillObserving =
      std::any_of(observers_.begin(), observers_.end(),
                  [&](const Observer& entry) { return entry.object == observer; });
  if (!stillObserving) Erase(&observer->subjects_, this);
  for (QVObject* object : removed) object->release();
}

void QVObject::dropObserver(const QVObject* observer) {
  observers_.erase(std::remove_if(observers_.begin(), observers_.end(),
                                  [&](const Observer& entry) { return entry.object == observer; }),
                   observers_.end());
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
  if (!child || Contains(children_, child) || !mayHold(child, true)) return;
  children_.push_back(child);
  listed(child);
  child->setParent(this);
}

void QVObject::prependChild(QVObject* child) {
  if (!child || Contains(children_, child) || !mayHold(child, true)) return;
  children_.insert(children_.begin(), child);
  listed(child);
  child->setParent(this);
}

void QVObject::removeChild(QVObject* child) {
  if (!child) return;
  const auto end = std::remove(children_.begin(), children_.end(), child);
  const bool wasListed = end != children_.end();
  children_.erase(end, children_.end());
  unlisted(child);
  if (wasListed || child->parent_ == this) child->setParent(nullptr);
}

void QVObject::removeAllChildren() {
  std::vector<QVObject*> removed;
  removed.swap(children_);
  for (QVObject* child : removed) {
    if (child) Erase(&child->holders_, this);
  }
}

int QVObject::childCount() const { return static_cast<int>(children_.size()); }

QVObject* QVObject::childAt(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  return children_[static_cast<size_t>(index)];
}

int QVObject::setChildAt(int index, QVObject* child) {
  if (index < 0 || index >= childCount()) return index;
  if (child && !mayHold(child, false)) return index;
  QVObject* const old = children_[static_cast<size_t>(index)];
  children_[static_cast<size_t>(index)] = child;
  if (old) unlisted(old);
  if (child) listed(child);
  return index;
}

void QVObject::replaceChild(QVObject* oldChild, QVObject* newChild) {
  if (!oldChild || !newChild || oldChild == newChild) return;
  if (!Contains(children_, oldChild) || !mayHold(newChild, true)) return;
  std::replace(children_.begin(), children_.end(), oldChild, newChild);
  unlisted(oldChild);
  listed(newChild);
  oldChild->setParent(nullptr);
  newChild->setParent(this);
}

bool QVObject::reaches(const QVObject* object) const {
  if (object == this) return true;
  return std::any_of(children_.begin(), children_.end(),
                     [&](const QVObject* child) { return child && child->reaches(object); });
}

bool QVObject::mayHold(const QVObject* child, bool asParent) const {
  if (child->reaches(this)) return false;
  if (asParent) {
    for (const QVObject* ancestor = this; ancestor; ancestor = ancestor->parent_) {
      if (ancestor == child) return false;
    }
  }
  return true;
}

void QVObject::setParent(QVObject* parent) {
  if (parent_ == parent) return;
  if (parent_) Erase(&parent_->dependents_, this);
  parent_ = parent;
  if (parent_) parent_->dependents_.push_back(this);
}

void QVObject::listed(QVObject* child) { AddOnce(&child->holders_, this); }

void QVObject::unlisted(QVObject* child) {
  if (!Contains(children_, child)) Erase(&child->holders_, this);
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
