#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "store/objects/qv_object.h"
#include "store/variants/qv_variants.h"

// Objects dying in any order, and child lists that would close a cycle.

namespace {

using Journal = std::vector<std::string>;

// Writes what happens to it into a journal that outlives it: being told, being set, dying. An
// action may run when it is told or set.
class Watcher : public QVObject {
 public:
  Watcher(std::string name, Journal* journal) : name_(std::move(name)), journal_(journal) {
    addProperty("x", QVVariantType::Int32);
  }
  ~Watcher() override { journal_->push_back("~" + name_); }
  void observedPropertyChanged(const std::string&, QVObject*, uintptr_t) override {
    journal_->push_back("told " + name_);
    if (onTold) onTold();
  }
  std::function<void()> onTold;
  std::function<void()> onSet;

 protected:
  void didSetProperty(QVProperty*) override {
    journal_->push_back("set " + name_);
    if (onSet) onSet();
  }

 private:
  std::string name_;
  Journal* journal_;
};

// Sets a property of its own while it is destroyed.
class SetsWhenDestroyed : public Watcher {
 public:
  using Watcher::Watcher;
  ~SetsWhenDestroyed() override { setProperty("x", QVVariantInt32(1)); }
};

std::string Xml(const QVObject& object) {
  std::ostringstream out;
  object.toXml(out, 0);
  return out.str();
}

std::vector<QVObject*> Tree(QVObject* root) {
  std::vector<QVObject*> order;
  root->visitTree([](QVObject* object,
                     void* user) { static_cast<std::vector<QVObject*>*>(user)->push_back(object); },
                  &order);
  return order;
}

std::vector<QVObject*> Ancestors(QVObject* object) {
  std::vector<QVObject*> order;
  object->visitAncestors(
      [](QVObject* o, void* user) { static_cast<std::vector<QVObject*>*>(user)->push_back(o); },
      &order);
  return order;
}

}  // namespace

// The subject holds the only references: removing an observer (or a bound target) during the
// round would free it under the loop. It is not told (set) any more, and dies once the round is
// over.
TEST(QVObjectLifetime, RemovedDuringANotificationIsNotUsedAndDiesAfterIt) {
  Journal journal;
  {
    QVObject subject;
    subject.addProperty("x", QVVariantType::Int32);
    auto* first = new Watcher("first", &journal);
    auto* second = new Watcher("second", &journal);
    ASSERT_TRUE(subject.addObserver(first, "x", 0));
    ASSERT_TRUE(subject.addObserver(second, "x", 0));
    first->release();
    second->release();
    first->onTold = [&] { subject.removeObserver(second, "x"); };

    EXPECT_TRUE(subject.setProperty("x", QVVariantInt32(1)));
    EXPECT_EQ(journal, (Journal{"told first", "~second"}));
    journal.clear();
  }
  EXPECT_EQ(journal, Journal{"~first"});

  journal.clear();
  {
    Watcher source("source", &journal);
    auto* b = new Watcher("b", &journal);
    auto* c = new Watcher("c", &journal);
    ASSERT_TRUE(source.addBinding("x", b, "x"));
    ASSERT_TRUE(source.addBinding("x", c, "x"));
    b->release();
    c->release();
    b->onSet = [&] { source.removeBinding("x", c, "x"); };

    EXPECT_TRUE(source.setProperty("x", QVVariantInt32(2)));
    EXPECT_EQ(journal, (Journal{"set source", "set b", "~c"}));
    journal.clear();
  }
  EXPECT_EQ(journal, (Journal{"~source", "~b"}));
}

// Setting a property retains and releases the object; in its destructor that must not delete it
// a second time.
TEST(QVObjectLifetime, ADestructorThatSetsAPropertyDestroysTheObjectOnce) {
  Journal journal;
  auto* object = new SetsWhenDestroyed("object", &journal);
  auto* observer = new Watcher("observer", &journal);
  ASSERT_TRUE(object->addObserver(observer, "x", 0));
  observer->release();
  EXPECT_EQ(object->release(), 0);
  EXPECT_EQ(journal, (Journal{"set object", "told observer", "~object", "~observer"}));

  journal.clear();
  { SetsWhenDestroyed onTheStack("stack", &journal); }
  EXPECT_EQ(journal, (Journal{"set stack", "~stack"}));
}

TEST(QVObjectLifetime, ADestroyedChildLeavesItsParentsLists) {
  Journal journal;
  QVObject root, other;
  auto* child = new Watcher("child", &journal);
  auto* sibling = new Watcher("sibling", &journal);
  root.addChild(child);
  root.addChild(sibling);
  other.addChild(sibling);
  other.setChildAt(0, child);  // listed without becoming its parent
  child->release();
  EXPECT_EQ(root.childCount(), 1);
  EXPECT_EQ(root.childAt(0), sibling);
  EXPECT_EQ(other.childCount(), 0);
  EXPECT_EQ(Tree(&root), (std::vector<QVObject*>{&root, sibling}));
  EXPECT_EQ(Xml(root), "<QVObject>\r\n    <" + sibling->className() + "/>\r\n</QVObject>\r\n");
  sibling->release();
  EXPECT_EQ(root.childCount(), 0);
  EXPECT_EQ(journal, (Journal{"~child", "~sibling"}));
}

TEST(QVObjectLifetime, ADestroyedParentLeavesNoParentBehind) {
  QVObject listed, unlisted, moved;
  auto* parent = new QVObject();
  parent->addChild(&listed);
  parent->addChild(&unlisted);
  parent->removeAllChildren();  // leaves the parent pointer as it is
  EXPECT_EQ(unlisted.parent(), parent);
  parent->addChild(&listed);
  auto* later = new QVObject();
  later->addChild(&moved);
  parent->addChild(&moved);  // moved on: the first parent is no longer its parent
  later->release();
  EXPECT_EQ(moved.parent(), parent);
  parent->release();
  for (QVObject* child : {&listed, &unlisted, &moved}) {
    EXPECT_EQ(child->parent(), nullptr);
    EXPECT_EQ(Ancestors(child), std::vector<QVObject*>{child});
  }
}

// A stack observer dies while still listed. Another object then takes its place in memory: a
// subject still holding the old pointer would tell the newcomer.
TEST(QVObjectLifetime, ADestroyedObserverLeavesItsSubjects) {
  Journal journal;
  auto* subject = new QVObject();
  subject->addProperty("x", QVVariantType::Int32);
  alignas(Watcher) unsigned char place[sizeof(Watcher)];
  auto* observer = new (place) Watcher("observer", &journal);
  ASSERT_TRUE(subject->addObserver(observer, "x", 0));
  observer->~Watcher();
  auto* newcomer = new (place) Watcher("newcomer", &journal);

  subject->setProperty("x", QVVariantInt32(3));
  EXPECT_EQ(subject->release(), 0);
  EXPECT_EQ(journal, Journal{"~observer"});
  // The subject took no reference of the newcomer's away.
  EXPECT_EQ(newcomer->retain(), 2);
  EXPECT_EQ(newcomer->release(), 1);
  newcomer->~Watcher();
}

TEST(QVObjectLifetime, ChildListsAndParentChainsNeverCloseACycle) {
  QVObject a, b, c, d;
  a.addChild(&a);
  a.prependChild(&a);
  EXPECT_EQ(a.childCount(), 0);
  EXPECT_EQ(a.parent(), nullptr);

  a.addChild(&b);
  b.addChild(&c);
  c.addChild(&a);
  c.prependChild(&b);
  EXPECT_EQ(c.childCount(), 0);
  c.addChild(&d);
  c.setChildAt(0, &a);
  c.replaceChild(&d, &b);
  EXPECT_EQ(c.childAt(0), &d);
  EXPECT_EQ(d.parent(), &c);
  EXPECT_EQ(a.parent(), nullptr);
  EXPECT_EQ(Tree(&a), (std::vector<QVObject*>{&a, &b, &c, &d}));
  EXPECT_EQ(Ancestors(&d), (std::vector<QVObject*>{&d, &c, &b, &a}));
  EXPECT_EQ(Xml(a),
            "<QVObject>\r\n    <QVObject>\r\n        <QVObject>\r\n            <QVObject/>\r\n"
            "        </QVObject>\r\n    </QVObject>\r\n</QVObject>\r\n");
  const QVVariantInt32 missing(1);
  EXPECT_EQ(a.findObject("x", &missing), nullptr);

  // A parent pointer kept after removeAllChildren still counts: a child of its own child would
  // make the parent chain endless.
  QVObject p, q;
  p.addChild(&q);
  p.removeAllChildren();
  q.addChild(&p);
  EXPECT_EQ(q.childCount(), 0);
  EXPECT_EQ(Ancestors(&q), (std::vector<QVObject*>{&q, &p}));

  // Shared children are no cycle.
  QVObject left, right, shared;
  left.addChild(&shared);
  right.addChild(&shared);
  EXPECT_EQ(left.childCount(), 1);
  EXPECT_EQ(right.childCount(), 1);
  EXPECT_EQ(shared.parent(), &right);
}
