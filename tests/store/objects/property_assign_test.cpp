#include <gtest/gtest.h>

#include "store/objects/qv_object.h"
#include "store/objects/set_property_from_text.h"
#include "store/variants/qv_variants.h"

namespace {

const QVVariantWString* TextOf(const QVVariant* value) {
  return dynamic_cast<const QVVariantWString*>(value);
}

}  // namespace

TEST(QVPropertyBag, KeepsOrderAndRefusesDuplicates) {
  QVPropertyBag bag;
  EXPECT_TRUE(bag.addProperty("b", QVVariantType::Int32));
  EXPECT_TRUE(bag.addProperty("a", QVVariantType::String));
  bag.setValue("b", QVVariantInt32(9), false);
  EXPECT_FALSE(bag.addProperty("b", QVVariantType::String));
  ASSERT_EQ(bag.count(), 2);
  EXPECT_EQ(bag.at(0)->name(), "b");
  EXPECT_EQ(bag.at(0)->value()->toString(), "9");  // the existing property is kept
  EXPECT_EQ(bag.at(1)->name(), "a");
  EXPECT_EQ(bag.at(2), nullptr);
  EXPECT_EQ(bag.at(-1), nullptr);
  EXPECT_NE(bag.getValue("a"), bag.getDefault("a"));
  bag.clear();
  EXPECT_EQ(bag.count(), 0);
  EXPECT_EQ(bag.find("a"), nullptr);
}

TEST(QVObjectSetProperty, OtherTypeCodeChangesNothingButNameIsHeld) {
  QVObject object;
  object.addProperty("s", QVVariantType::String);
  object.setProperty("s", QVVariantString("kept"));
  EXPECT_TRUE(object.setProperty("s", QVVariantInt64(5)));
  EXPECT_EQ(object.getProperty("s")->toString(), "kept");
  EXPECT_FALSE(object.setProperty("absent", QVVariantInt64(5)));
}

TEST(QVObjectSetProperty, DefaultChangesOnlyWhenAsked) {
  QVObject object;
  object.addProperty("n", QVVariantType::Int32);
  object.setProperty("n", QVVariantInt32(3));
  EXPECT_EQ(object.getDefaultProperty("n")->toString(), "0");
  object.setProperty("n", QVVariantInt32(4), true);
  EXPECT_EQ(object.getProperty("n")->toString(), "4");
  EXPECT_EQ(object.getDefaultProperty("n")->toString(), "4");
}

TEST(QVObjectSetProperty, UnknownTypeCodeHoldsNoValue) {
  QVObject object;
  EXPECT_TRUE(object.addProperty("odd", static_cast<QVVariantType>(99)));
  EXPECT_EQ(object.getProperty("odd"), nullptr);
  EXPECT_TRUE(object.setProperty("odd", QVVariantInt32(1)));
  EXPECT_EQ(object.properties().find("odd")->toAttribute(), "odd=\"\"");
}

// A localizable text keeps the key the property already has.
TEST(QVObjectSetProperty, LocalizableTextKeepsThePropertysKey) {
  struct Case {
    const char* what;
    std::wstring plain;  // the property's text first
    bool localized;      // then made localizable by assigning "Old"
    std::wstring incoming;
    std::wstring text;
    std::wstring key;
  };
  const Case cases[] = {
      {"plain current", L"menu_title", false, L"Menu", L"Menu", L"menu_title"},
      {"placeholder", L"NOT_SET", false, L"Menu", L"Menu", L"Menu"},
      {"localizable current", L"k", true, L"Menu", L"Menu", L"k"},
      {"localizable placeholder", L"NOT_SET", true, L"Menu", L"Menu", L"Old"},
      {"marker stripped", L"NOT_SET", false, L"TVI18N:Menu", L"Menu", L"Menu"},
      {"bare marker kept", L"x", false, L"TVI18N:", L"TVI18N:", L"x"},
      {"stored marker not stripped", L"x", false, L"QVI18N:Menu", L"QVI18N:Menu", L"x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QVObject object;
    object.addProperty("t", QVVariantType::WString);
    object.setProperty("t", QVVariantWString(c.plain));
    if (c.localized) object.setProperty("t", QVVariantWStringI18N(L"Old", L"unused"));
    object.setProperty("t", QVVariantWStringI18N(c.incoming, L"unused"));
    const auto* value = dynamic_cast<const QVVariantWStringI18N*>(object.getProperty("t"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->text, c.text);
    EXPECT_EQ(value->key, c.key);
    EXPECT_EQ(TextOf(object.getDefaultProperty("t"))->text, L"");
  }
}

TEST(QVObjectSetProperty, LocalizableTextWithDefault) {
  QVObject object;
  object.addProperty("t", QVVariantType::WString);
  object.setProperty("t", QVVariantWStringI18N(L"TVI18N:Hello", L""), true);
  EXPECT_EQ(TextOf(object.getDefaultProperty("t"))->text, L"Hello");
  // Assigning the property its own value replaces that value: still the same text afterwards.
  object.setProperty("t", *object.getProperty("t"), true);
  EXPECT_EQ(TextOf(object.getProperty("t"))->text, L"Hello");
  EXPECT_EQ(TextOf(object.getDefaultProperty("t"))->text, L"Hello");
  // A plain text later changes the displayed text and keeps the key.
  object.setProperty("t", QVVariantWString(L"Bye"));
  const auto* value = dynamic_cast<const QVVariantWStringI18N*>(object.getProperty("t"));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->text, L"Bye");
  EXPECT_EQ(value->key, L"");
}

TEST(QVObjectSetProperty, LocalizableListKeepsThePropertysKeys) {
  using List = std::vector<std::wstring>;
  struct Case {
    const char* what;
    List plain;      // the property's list first
    bool localized;  // then made localizable by assigning {"o"}
    List keys;
  };
  const Case cases[] = {
      {"localizable current", List{L"k1", L"k2"}, true, List{L"k1", L"k2"}},
      {"plain current", List{L"c1"}, false, List{L"c1"}},
      {"empty current", List{}, false, List{L"a", L"b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QVObject object;
    object.addProperty("l", QVVariantType::WStringList);
    object.setProperty("l", QVVariantWStringList(c.plain));
    if (c.localized) object.setProperty("l", QVVariantWStringListI18N(List{L"o"}, List{L"u"}));
    object.setProperty("l", QVVariantWStringListI18N(List{L"a", L"b"}, List{L"z"}), true);
    const auto* value = dynamic_cast<const QVVariantWStringListI18N*>(object.getProperty("l"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->items, (List{L"a", L"b"}));
    EXPECT_EQ(value->keys, c.keys);
    EXPECT_EQ(dynamic_cast<const QVVariantWStringList*>(object.getDefaultProperty("l"))->items,
              (List{L"a", L"b"}));
  }
}

TEST(SetPropertyFromText, StoredMarkerMakesALocalizableText) {
  QVObject object;
  object.addProperty("t", QVVariantType::WString);
  object.setProperty("t", QVVariantWString(L"NOT_SET"), true);
  // The marked rest is widened byte by byte, not decoded.
  ASSERT_EQ(setPropertyFromText(object, "t", "QVI18N:caf\xC3\xA9"), QVTextParseResult::Applied);
  const auto* value = dynamic_cast<const QVVariantWStringI18N*>(object.getProperty("t"));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->text, L"caf\u00c3\u00a9");
  EXPECT_EQ(value->key, L"caf\u00c3\u00a9");

  QVObject bare;
  bare.addProperty("t", QVVariantType::WString);
  setPropertyFromText(bare, "t", "QVI18N:");
  const auto* empty = dynamic_cast<const QVVariantWStringI18N*>(bare.getProperty("t"));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->text, L"");
  EXPECT_EQ(empty->key, L"");

  QVObject unmarked;
  unmarked.addProperty("t", QVVariantType::WString);
  setPropertyFromText(unmarked, "t", "qvi18n:caf\xC3\xA9");
  EXPECT_EQ(dynamic_cast<const QVVariantWStringI18N*>(unmarked.getProperty("t")), nullptr);
  EXPECT_EQ(TextOf(unmarked.getProperty("t"))->text, L"qvi18n:caf\u00e9");
}

TEST(SetPropertyFromText, StoredMarkerMakesALocalizableList) {
  QVObject object;
  object.addProperty("l", QVVariantType::WStringList);
  ASSERT_EQ(setPropertyFromText(object, "l", "QVI18N:a,,b"), QVTextParseResult::Applied);
  const auto* value = dynamic_cast<const QVVariantWStringListI18N*>(object.getProperty("l"));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->items, (std::vector<std::wstring>{L"a", L"", L"b"}));
  EXPECT_EQ(value->keys, value->items);
}
