#include <gtest/gtest.h>

#include <sstream>

#include "store/objects/qv_object.h"
#include "store/variants/qv_variants.h"

// Outside any namespace: the element name is the bare class name.
class Folder : public QVObject {
 public:
  Folder() {
    addProperty("name", QVVariantType::String);
    addProperty("pos", QVVariantType::Point);
    addProperty("open", QVVariantType::Bool);
  }
};

class Shortcut : public QVObject {
 public:
  Shortcut() {
    addProperty("title", QVVariantType::WString);
    setProperty("title", QVVariantWString(L"NOT_SET"), true);
  }
};

namespace {

std::string Xml(const QVObject& object, int indent, const QVXmlFilter& filter = QVXmlFilter()) {
  std::ostringstream out;
  object.writeXml(out, filter, indent);
  return out.str();
}

}  // namespace

TEST(QVObjectXml, ObjectAtItsDefaultsIsOneEmptyElement) {
  Folder folder;
  EXPECT_EQ(folder.className(), "Folder");
  EXPECT_EQ(Xml(folder, 0), "<Folder/>\r\n");
  std::ostringstream out;
  QVObject().toXml(out, 2);
  EXPECT_EQ(out.str(), "        <QVObject/>\r\n");
}

TEST(QVObjectXml, NestedObjectsWriteChangedPropertiesInBagOrder) {
  Folder root, sub;
  Shortcut first, second;
  root.setProperty("open", QVVariantBool(true));
  root.setProperty("name", QVVariantString("Apps"));
  sub.setProperty("pos", QVVariantPoint(1, -2));
  first.setProperty("title", QVVariantWString(L"Caf\u00e9"));
  root.addChild(&sub);
  root.addChild(&second);
  sub.addChild(&first);
  EXPECT_EQ(Xml(root, 0),
            "<Folder name=\"Apps\" open=\"true\">\r\n"
            "    <Folder pos=\"1,-2\">\r\n"
            "        <Shortcut title=\"Caf\xC3\xA9\"/>\r\n"
            "    </Folder>\r\n"
            "    <Shortcut/>\r\n"
            "</Folder>\r\n");
}

TEST(QVObjectXml, FilterAppliesToChildrenToo) {
  Folder root, sub;
  root.setProperty("name", QVVariantString("a\"b"));
  root.setProperty("open", QVVariantBool(true));
  sub.setProperty("name", QVVariantString("s"));
  sub.setProperty("open", QVVariantBool(true));
  root.addChild(&sub);
  const QVXmlFilter onlyNames = [](const QVObject&, const std::string& name) {
    return name == "name";
  };
  // Values are written as they are, quotes included.
  EXPECT_EQ(Xml(root, 1, onlyNames),
            "    <Folder name=\"a\"b\">\r\n"
            "        <Folder name=\"s\"/>\r\n"
            "    </Folder>\r\n");
}
