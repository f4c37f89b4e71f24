#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "store/objects/qv_property_bag.h"
#include "store/objects/qv_property_callback.h"

class QVObject;

using QVObjectVisitor = void (*)(QVObject* object, void* user);
// Chooses the properties `writeXml` writes; an empty filter writes them all.
using QVXmlFilter = std::function<bool(const QVObject& object, const std::string& name)>;

// A reference-counted object made of named properties. It can hold children (not owned),
// observers told about property changes, and two-way bindings that copy a property's value to
// another object's property. Stack instances are allowed and are never released.
//
// Whatever order objects die in, none keeps a pointer to a destroyed one: a destroyed object
// leaves the child lists, parents, observer lists and bindings of the others. Child lists never
// form a cycle (nor do parent chains), so the visits and writeXml always end.
class QVObject : public QVPropertyCallback {
 public:
  QVObject();

  QVObject(const QVObject&) = delete;
  QVObject& operator=(const QVObject&) = delete;

  // Runs what a change of `property` sets off: didSetProperty, the observers, the bindings.
  void propertyChanged(QVProperty* property) override;

  virtual ~QVObject();

  int32_t retain();
  // Destroys the object when the count was 1; answers the new count (0 then). Once destruction
  // has begun both leave the count at 0, so what a destructor retains and releases (a property
  // it sets, say) cannot delete the object a second time.
  int32_t release();

  // False when the name is taken.
  virtual bool addProperty(const std::string& name, QVVariantType type);
  // Null when there is no such property.
  virtual QVVariant* getProperty(const std::string& name) const;
  virtual QVVariant* getDefaultProperty(const std::string& name) const;
  // Copies `value` into the property (a different type code changes nothing), then tells the
  // observers and the bound objects. False when there is no such property.
  virtual bool setProperty(const std::string& name, const QVVariant& value,
                           bool alsoDefault = false);

  // False, adding nothing, when `observer` already observes `name`. The observer is retained
  // while listed.
  virtual bool addObserver(QVObject* observer, const std::string& name, uintptr_t userValue);
  virtual void removeObserver(QVObject* observer, const std::string& name);
  // Called on an observer when a property it observes has been set.
  virtual void observedPropertyChanged(const std::string& name, QVObject* sender,
                                       uintptr_t userValue);

  // Binds this object's `sourceName` to `target`'s `targetName` both ways. False, adding
  // nothing, when the binding exists, a property is missing or their type codes differ.
  virtual bool addBinding(const std::string& sourceName, QVObject* target,
                          const std::string& targetName);
  // Removes the binding and its reverse.
  virtual void removeBinding(const std::string& sourceName, QVObject* target,
                             const std::string& targetName);
  virtual bool hasBinding(const std::string& sourceName, const QVObject* target,
                          const std::string& targetName) const;

  virtual QVObject* parent() const;
  // Refused (nothing changes) when `child` is this object, lies above it in the child lists or
  // in its parent chain: a cycle would make the visits endless.
  virtual void addChild(QVObject* child);
  virtual void prependChild(QVObject* child);
  virtual void removeChild(QVObject* child);
  // Parents of the removed children are left as they are.
  virtual void removeAllChildren();
  virtual int childCount() const;
  virtual QVObject* childAt(int index) const;
  // Replaces in range, otherwise does nothing; parents are not touched. Answers `index`. A
  // child that would close a cycle is refused as by addChild.
  virtual int setChildAt(int index, QVObject* child);
  // Refused as by addChild when `newChild` would close a cycle.
  virtual void replaceChild(QVObject* oldChild, QVObject* newChild);
  // This object or the first descendant (depth first) whose property `name` equals `value`.
  virtual QVObject* findObject(const std::string& name, const QVVariant* value);

  // This object, then its descendants depth first, parents before children.
  virtual void visitTree(QVObjectVisitor fn, void* user);
  // This object, then its parent, its parent's parent...
  virtual void visitAncestors(QVObjectVisitor fn, void* user);

  void toXml(std::ostream& out, int indent) const { writeXml(out, QVXmlFilter(), indent); }
  // One element per object, named by its class, with the properties that differ from their
  // defaults as attributes; lines end with "\r\n" and nest by four spaces.
  void writeXml(std::ostream& out, const QVXmlFilter& filter, int indent) const {
    const std::string text = xmlText(filter, indent);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  // The same XML as text. The stream forms above stay inline so that only their callers link
  // the C++ runtime's streams: the DLL itself never writes XML, and a stream's code in it would
  // bring the whole locale machinery along. Not virtual (no class overrides it), and defined in
  // qv_object_xml.cpp, which the DLL does not link: a virtual one would put it, and the
  // demangler className needs, into every module that has a QVObject.
  std::string xmlText(const QVXmlFilter& filter, int indent) const;

  // The dynamic class name, e.g. "TovinRecord" (qv_object_xml.cpp).
  std::string className() const;

  QVPropertyBag& properties() { return bag_; }
  const QVPropertyBag& properties() const { return bag_; }

 protected:
  // Called after every set of a property this object holds, before anyone is told.
  virtual void didSetProperty(QVProperty* property);

 private:
  struct Observer {
    QVObject* object;
    std::string name;
    uintptr_t userValue;
  };
  struct Binding {
    QVObject* target;
    std::string sourceName;
    std::string targetName;
  };

  // Sets and propagates. `source` and `sourceName` say where a bound change came from, so it is
  // not sent back there.
  bool setPropertyFrom(const std::string& name, const QVVariant& value, const QVObject* source,
                       const std::string& sourceName, bool alsoDefault);
  void notifyObservers(const std::string& name);
  void propagateBindings(const std::string& name, const QVObject* source,
                         const std::string& sourceName);
  bool observes(const QVObject* observer, const std::string& name) const;
  // Forgets, without releasing anything, every binding that points at `target`.
  void dropBindingsTo(const QVObject* target);
  // Forgets, without releasing it, every entry of `observer` (which is being destroyed).
  void dropObserver(const QVObject* observer);

  // Whether `object` is this object or lies below it in the child lists.
  bool reaches(const QVObject* object) const;
  // Whether `child` may be listed here (and, with `asParent`, have this object as its parent)
  // without closing a cycle.
  bool mayHold(const QVObject* child, bool asParent) const;
  void setParent(QVObject* parent);
  // Keep `holders_` in step with the child lists after `child` was listed or unlisted here.
  void listed(QVObject* child);
  void unlisted(QVObject* child);

  int32_t refCount_;
  QVObject* parent_;
  QVPropertyBag bag_;
  std::vector<QVObject*> children_;
  std::vector<Observer> observers_;
  std::vector<Binding> bindings_;
  // The way back, so that a destroyed object can be taken out of the others: the objects whose
  // child lists hold this one, the objects whose parent this is, the subjects it observes.
  std::vector<QVObject*> holders_;
  std::vector<QVObject*> dependents_;
  std::vector<QVObject*> subjects_;
  // Names whose bindings are being followed; a cycle of bindings stops where it started.
  std::vector<std::string> propagating_;
};
