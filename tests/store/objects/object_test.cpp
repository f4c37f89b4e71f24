#include <gtest/gtest.h>

#include <map>

#include "store/objects/qv_object.h"
#include "store/variants/qv_variants.h"

namespace {

// Counts the sets of each property and the changes it is told about as an observer.
class Recorder : public QVObject {
 public:
  explicit Recorder(bool* destroyed = nullptr) : destroyed_(destroyed) {
    addProperty("x", QVVariantType::Int32);
  }
  ~Recorder() override {
    if (destroyed_) *destroyed_ = true;
  }
  void observedPropertyChanged(const std::string& name, QVObject* sender,
                               uintptr_t userValue) override {
    seen.push_back(name + "@" + std::to_string(userValue));
    lastSender = sender;
  }
  std::map<std::string, int> sets;
  std::vector<std::string> seen;
  QVObject* lastSender = nullptr;

 protected:
  void didSetProperty(QVProperty* property) override { ++sets[property->name()]; }

 private:
  bool* destroyed_;
};

int32_t CountOf(QVObject* object) {
  const int32_t count = object->retain() - 1;
  object->release();
  return count;
}

int32_t XOf(const QVObject& object) {
  return dynamic_cast<const QVVariantInt32*>(object.getProperty("x"))->value;
}

}  // namespace

TEST(QVObject, ReleaseDestroysAtTheLastReference) {
  bool destroyed = false;
  auto* object = new Recorder(&destroyed);
  EXPECT_EQ(object->retain(), 2);
  EXPECT_EQ(object->release(), 1);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(object->release(), 0);
  EXPECT_TRUE(destroyed);
}

TEST(QVObjectBindings, ChainWithoutEchoingBack) {
  Recorder a, b, c;
  ASSERT_TRUE(a.addBinding("x", &b, "x"));
  ASSERT_TRUE(b.addBinding("x", &c, "x"));
  EXPECT_TRUE(b.hasBinding("x", &a, "x"));  // two-way
  EXPECT_TRUE(c.hasBinding("x", &b, "x"));

  EXPECT_TRUE(a.setProperty("x", QVVariantInt32(5)));
  EXPECT_EQ(XOf(b), 5);
  EXPECT_EQ(XOf(c), 5);
  EXPECT_EQ(a.sets["x"], 1);
  EXPECT_EQ(b.sets["x"], 1);
  EXPECT_EQ(c.sets["x"], 1);

  c.setProperty("x", QVVariantInt32(6));
  EXPECT_EQ(XOf(a), 6);
  EXPECT_EQ(a.sets["x"], 2);
  EXPECT_EQ(c.sets["x"], 2);
}

// Without a stop this recursion would never end.
TEST(QVObjectBindings, CycleStopsWhereItStarted) {
  Recorder a, b, c;
  a.addBinding("x", &b, "x");
  b.addBinding("x", &c, "x");
  c.addBinding("x", &a, "x");
  a.setProperty("x", QVVariantInt32(7));
  EXPECT_EQ(XOf(b), 7);
  EXPECT_EQ(XOf(c), 7);
}

TEST(QVObjectBindings, RefusedUnlessBothPropertiesExistWithOneType) {
  Recorder a, b;
  b.addProperty("s", QVVariantType::String);
  EXPECT_FALSE(a.addBinding("x", &b, "s"));
  EXPECT_FALSE(a.addBinding("missing", &b, "x"));
  EXPECT_FALSE(a.addBinding("x", &b, "missing"));
  EXPECT_FALSE(a.addBinding("x", nullptr, "x"));
  EXPECT_TRUE(a.addBinding("x", &b, "x"));
  EXPECT_FALSE(a.addBinding("x", &b, "x"));
  EXPECT_FALSE(b.addBinding("x", &a, "x"));  // the reverse already exists
  EXPECT_EQ(CountOf(&a), 2);
  EXPECT_EQ(CountOf(&b), 2);
}

TEST(QVObjectBindings, RemovingTakesBothDirectionsAndTheirReferences) {
  auto* a = new Recorder();
  auto* b = new Recorder();
  a->addBinding("x", b, "x");
  b->removeBinding("x", a, "x");
  EXPECT_FALSE(a->hasBinding("x", b, "x"));
  EXPECT_FALSE(b->hasBinding("x", a, "x"));
  EXPECT_EQ(CountOf(a), 1);
  EXPECT_EQ(CountOf(b), 1);
  a->setProperty("x", QVVariantInt32(1));
  EXPECT_EQ(XOf(*b), 0);
  EXPECT_EQ(a->release(), 0);
  EXPECT_EQ(b->release(), 0);
}

TEST(QVObjectBindings, DestroyedObjectLeavesNoBindingBehind) {
  auto* survivor = new Recorder();
  const QVObject* gone = nullptr;
  {
    Recorder local;
    gone = &local;
    local.addBinding("x", survivor, "x");
    EXPECT_EQ(CountOf(survivor), 2);
  }
  EXPECT_FALSE(survivor->hasBinding("x", gone, "x"));
  EXPECT_EQ(CountOf(survivor), 1);
  EXPECT_TRUE(survivor->setProperty("x", QVVariantInt32(3)));
  EXPECT_EQ(survivor->release(), 0);
}

TEST(QVObjectObservers, ToldWithNameSenderAndUserValue) {
  QVObject subject;
  subject.addProperty("x", QVVariantType::Int32);
  subject.addProperty("y", QVVariantType::Int32);
  bool destroyed = false;
  auto* observer = new Recorder(&destroyed);
  EXPECT_TRUE(subject.addObserver(observer, "x", 42));
  EXPECT_FALSE(subject.addObserver(observer, "x", 43));
  EXPECT_EQ(CountOf(observer), 2);

  subject.setProperty("y", QVVariantInt32(1));
  subject.setProperty("x", QVVariantInt32(1));
  EXPECT_EQ(observer->seen, std::vector<std::string>{"x@42"});
  EXPECT_EQ(observer->lastSender, &subject);

  subject.removeObserver(observer, "x");
  subject.setProperty("x", QVVariantInt32(2));
  EXPECT_EQ(observer->seen.size(), 1u);
  EXPECT_EQ(observer->release(), 0);
  EXPECT_TRUE(destroyed);
}

TEST(QVObjectObservers, ReleasedWhenTheSubjectIsDestroyed) {
  auto* observer = new Recorder();
  {
    QVObject subject;
    subject.addProperty("x", QVVariantType::Int32);
    subject.addObserver(observer, "x", 0);
    EXPECT_EQ(CountOf(observer), 2);
  }
  EXPECT_EQ(CountOf(observer), 1);
  observer->release();
}

TEST(QVObjectObservers, BagChangeReachesTheOwner) {
  Recorder subject;
  Recorder observer;
  subject.addObserver(&observer, "x", 7);
  subject.properties().propertyChanged(subject.properties().find("x"));
  EXPECT_EQ(subject.sets["x"], 1);
  EXPECT_EQ(observer.seen, std::vector<std::string>{"x@7"});
}

TEST(QVObjectChildren, ListAndParents) {
  QVObject root, a, b, c;
  root.addChild(&a);
  root.addChild(&a);
  root.prependChild(&b);
  ASSERT_EQ(root.childCount(), 2);
  EXPECT_EQ(root.childAt(0), &b);
  EXPECT_EQ(root.childAt(1), &a);
  EXPECT_EQ(root.childAt(2), nullptr);
  EXPECT_EQ(a.parent(), &root);

  root.replaceChild(&a, &c);
  EXPECT_EQ(root.childAt(1), &c);
  EXPECT_EQ(c.parent(), &root);
  EXPECT_EQ(a.parent(), nullptr);

  EXPECT_EQ(root.setChildAt(5, &a), 5);
  EXPECT_EQ(root.childCount(), 2);

  root.removeChild(&b);
  EXPECT_EQ(root.childCount(), 1);
  EXPECT_EQ(b.parent(), nullptr);

  root.removeAllChildren();
  EXPECT_EQ(root.childCount(), 0);
  EXPECT_EQ(c.parent(), &root);
}

TEST(QVObjectChildren, FindObjectSearchesDepthFirst) {
  Recorder root, left, leftChild, right;
  root.addChild(&left);
  root.addChild(&right);
  left.addChild(&leftChild);
  leftChild.setProperty("x", QVVariantInt32(9));
  right.setProperty("x", QVVariantInt32(9));
  const QVVariantInt32 nine(9);
  EXPECT_EQ(root.findObject("x", &nine), &leftChild);
  EXPECT_EQ(right.findObject("x", &nine), &right);
  EXPECT_EQ(root.findObject("x", nullptr), nullptr);
  EXPECT_EQ(root.findObject("", &nine), nullptr);
  const QVVariantUInt32 unsignedNine(9u);
  EXPECT_EQ(root.findObject("x", &unsignedNine), nullptr);
}

TEST(QVObjectChildren, VisitsTreeInPreOrderAndAncestorsUpward) {
  QVObject root, a, a1, b;
  root.addChild(&a);
  root.addChild(&b);
  a.addChild(&a1);
  std::vector<QVObject*> order;
  const QVObjectVisitor record = [](QVObject* object, void* user) {
    static_cast<std::vector<QVObject*>*>(user)->push_back(object);
  };
  root.visitTree(record, &order);
  EXPECT_EQ(order, (std::vector<QVObject*>{&root, &a, &a1, &b}));
  order.clear();
  a1.visitAncestors(record, &order);
  EXPECT_EQ(order, (std::vector<QVObject*>{&a1, &a, &root}));
  root.visitTree(nullptr, &order);
  EXPECT_EQ(order.size(), 3u);
}
