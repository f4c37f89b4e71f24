#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "store/objects/qv_object.h"
#include "store/objects/set_property_from_text.h"
#include "store/variants/qv_variant_create.h"
#include "store/variants/qv_variant_equals.h"
#include "store/variants/qv_variants.h"
#include "store/variants/utf8.h"

namespace {

using R = QVTextParseResult;
using T = QVVariantType;

struct ParseCase {
  T type;
  const char* initial;  // set first, so an ignored or refused text shows as unchanged
  const char* text;
  R result;
  const char* printed;
};

const ParseCase kParseCases[] = {
    {T::Bool, nullptr, "TRUE", R::Applied, "true"},
    {T::Bool, nullptr, "True", R::Applied, "true"},
    {T::Bool, nullptr, "tRUe", R::Applied, "true"},
    {T::Bool, "true", "true ", R::Applied, "false"},
    {T::Bool, "true", "1", R::Applied, "false"},
    {T::Bool, "true", "", R::Applied, "false"},
    {T::Int32, "5", "12abc", R::Applied, "0"},
    {T::Int32, "5", " 12", R::Applied, "0"},
    {T::Int32, "5", "", R::Applied, "0"},
    {T::Int32, "5", "12 ", R::Applied, "0"},
    {T::Int32, "5", "+-1", R::Applied, "0"},
    {T::Int32, "5", "-", R::Applied, "0"},
    {T::Int32, "5", "0x10", R::Applied, "0"},
    {T::Int32, "5", "1e3", R::Applied, "0"},
    {T::Int32, nullptr, "007", R::Applied, "7"},
    {T::Int32, "5", "-2147483649", R::Applied, "0"},
    {T::Int32, nullptr, "+7", R::Applied, "7"},
    {T::Int32, nullptr, "-2147483648", R::Applied, "-2147483648"},
    {T::Int32, "5", "2147483648", R::Applied, "0"},
    {T::Int16, nullptr, "40000", R::Applied, "-25536"},
    {T::Int16, nullptr, "-1", R::Applied, "-1"},
    {T::Int8, nullptr, "200", R::Applied, "-56"},
    {T::UInt32, nullptr, "12abc", R::Applied, "12"},
    {T::UInt32, nullptr, " 42", R::Applied, "42"},
    {T::UInt32, "5", "abc", R::InvalidArgument, "5"},
    {T::UInt32, "5", "-", R::InvalidArgument, "5"},
    {T::UInt32, "5", "", R::InvalidArgument, "5"},
    {T::UInt32, nullptr, "4294967295", R::Applied, "4294967295"},
    {T::UInt32, "5", "4294967296", R::OutOfRange, "5"},
    {T::UInt16, nullptr, "70000", R::Applied, "4464"},
    {T::UInt8, nullptr, "300", R::Applied, "44"},
    {T::Int64, nullptr, "-9223372036854775808", R::Applied, "-9223372036854775808"},
    {T::Int64, nullptr, "12abc", R::Applied, "12"},
    {T::Int64, "5", "9223372036854775808", R::OutOfRange, "5"},
    {T::Int64, "5", "x1", R::InvalidArgument, "5"},
    {T::UInt64, nullptr, "18446744073709551615", R::Applied, "18446744073709551615"},
    {T::UInt64, "5", "18446744073709551616", R::OutOfRange, "5"},
    {T::Double, nullptr, "0.1", R::Applied, "0.100000"},
    {T::Double, nullptr, "2.5xyz", R::Applied, "2.500000"},
    {T::Double, "1", "abc", R::InvalidArgument, "1.000000"},
    {T::Double, "1", "1e39", R::OutOfRange, "1.000000"},
    {T::String, nullptr, "a,b", R::Applied, "a,b"},
    {T::WString, nullptr, "caf\xC3\xA9", R::Applied, "caf\xC3\xA9"},
    {T::Point, "7,8", "1,2,3", R::Ignored, "7,8"},
    {T::Point, "7,8", "", R::Ignored, "7,8"},
    {T::Point, nullptr, "1,2", R::Applied, "1,2"},
    {T::Point, nullptr, "1,x", R::Applied, "1,0"},
    {T::Rect, nullptr, "-1,-2,4294967293,4294967292", R::Applied, "-1,-2,4294967293,4294967292"},
    {T::Rect, nullptr, "1,2,-3,4", R::Applied, "1,2,4294967293,4"},
    {T::Rect, nullptr, "+1,-0,-4294967295,-2147483649", R::Applied, "1,0,1,2147483647"},
    {T::Rect, nullptr, "1,2,-4294967296,\t4", R::Applied, "1,2,0,0"},
    {T::Rect, nullptr, "1,2,4294967296,+", R::Applied, "1,2,0,0"},
    {T::Rect, "1,1,1,1", "1,2,3", R::Ignored, "1,1,1,1"},
    {T::Color, nullptr, "1,2,3,255", R::Applied, "1,2,3,255"},
    {T::Color, nullptr, "257,0,0,0", R::Applied, "1,0,0,0"},
    {T::StringList, nullptr, "a,,b,", R::Applied, "a,,b,"},
    {T::WStringList, nullptr, "x,\xC3\xA9", R::Applied, "x,\xC3\xA9"},
    {T::Int32Range, nullptr, "3,-4", R::Applied, "3,-4"},
    {T::Int32Range, "1,1", "3", R::Ignored, "1,1"},
    {T::Int64Range, nullptr, "-5,9000000000", R::Applied, "-5,9000000000"},
    {T::Int64Range, "1,1", "1,abc", R::InvalidArgument, "1,1"},
    {T::DoubleRange, nullptr, "0.5,0.25", R::Applied, "0.500000,0.250000"},
    {T::DoubleRange, "1,1", "1", R::Ignored, "1.000000,1.000000"},
    {T::VoidP, nullptr, "123", R::Ignored, ""},
    {T::None, nullptr, "x", R::Ignored, ""},
};

}  // namespace

TEST(SetPropertyFromText, ParsesEachTypeByItsRules) {
  for (const ParseCase& c : kParseCases) {
    SCOPED_TRACE(std::string("type ") + std::to_string(static_cast<int>(c.type)) + " text \"" +
                 c.text + "\"");
    QVObject object;
    ASSERT_TRUE(object.addProperty("p", c.type));
    if (c.initial) {
      ASSERT_EQ(setPropertyFromText(object, "p", c.initial), R::Applied);
    }
    EXPECT_EQ(setPropertyFromText(object, "p", c.text), c.result);
    EXPECT_EQ(object.getProperty("p")->toString(), c.printed);
  }
}

TEST(SetPropertyFromText, DoubleKeepsFloatPrecision) {
  QVObject object;
  object.addProperty("p", T::Double);
  ASSERT_EQ(setPropertyFromText(object, "p", "0.1"), R::Applied);
  const double held = dynamic_cast<QVVariantDouble*>(object.getProperty("p"))->value;
  EXPECT_EQ(held, static_cast<double>(0.1f));
  EXPECT_NE(held, 0.1);
  EXPECT_NEAR(held, 0.100000001490116, 1e-15);
}

TEST(SetPropertyFromText, MissingPropertyIsIgnored) {
  QVObject object;
  EXPECT_EQ(setPropertyFromText(object, "absent", "1"), R::Ignored);
  EXPECT_EQ(object.getProperty("absent"), nullptr);
}

TEST(SetPropertyFromText, EmptyStringListComesBackAsOneEmptyItem) {
  QVVariantStringList empty;
  EXPECT_EQ(empty.toString(), "");
  QVObject object;
  object.addProperty("p", T::StringList);
  ASSERT_EQ(setPropertyFromText(object, "p", empty.toString()), R::Applied);
  const auto* list = dynamic_cast<QVVariantStringList*>(object.getProperty("p"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->items, std::vector<std::string>{""});
}

TEST(SetPropertyFromText, ItemsContainingCommasSplitApart) {
  QVVariantStringList original({"a,b", "c"});
  QVObject object;
  object.addProperty("p", T::StringList);
  setPropertyFromText(object, "p", original.toString());
  const auto* list = dynamic_cast<QVVariantStringList*>(object.getProperty("p"));
  EXPECT_EQ(list->items, (std::vector<std::string>{"a", "b", "c"}));
}

// Every printed value reads back as an equal value.
TEST(SetPropertyFromText, PrintedValuesReadBackEqual) {
  std::vector<std::unique_ptr<QVVariant>> values;
  values.push_back(QVVariantBool::create(true));
  values.push_back(QVVariantInt64::create(std::numeric_limits<int64_t>::min()));
  values.push_back(QVVariantInt32::create(-123456));
  values.push_back(QVVariantInt16::create(-32768));
  values.push_back(QVVariantInt8::create(-128));
  values.push_back(QVVariantUInt64::create(std::numeric_limits<uint64_t>::max()));
  values.push_back(QVVariantUInt32::create(4000000000u));
  values.push_back(QVVariantUInt16::create(65535));
  values.push_back(QVVariantUInt8::create(255));
  values.push_back(QVVariantDouble::create(-2.75));
  values.push_back(QVVariantString::create("x=\"1\""));
  values.push_back(QVVariantWString::create(L"\u65e5\u672c"));
  values.push_back(QVVariantPoint::create(-3, 4));
  values.push_back(QVVariantRect::create(-1, -2, static_cast<uint32_t>(-3), 4294967292u));
  values.push_back(QVVariantColor::createPacked(0xFF030201u));
  values.push_back(QVVariantStringList::create({"a", "", "c"}));
  values.push_back(QVVariantWStringList::create({L"\u00e9", L"b"}));
  values.push_back(QVVariantInt32Range::create(std::numeric_limits<int32_t>::min(), 7));
  values.push_back(QVVariantInt64Range::create(-9000000000, 9000000000));
  values.push_back(QVVariantDoubleRange::create(0.5, -1.25));
  for (const auto& value : values) {
    SCOPED_TRACE(value->toString());
    QVObject object;
    object.addProperty("p", value->type());
    ASSERT_EQ(setPropertyFromText(object, "p", value->toString()), R::Applied);
    EXPECT_TRUE(QVVariantEquals(object.getProperty("p"), value.get()));
  }
}

TEST(QVVariantToString, PrintsCFormats) {
  EXPECT_EQ(QVVariantRect(-1, -2, static_cast<uint32_t>(-3), static_cast<uint32_t>(-4)).toString(),
            "-1,-2,4294967293,4294967292");
  EXPECT_EQ(QVVariantInt8(-5).toString(), "-5");
  EXPECT_EQ(QVVariantUInt8(200).toString(), "200");
  EXPECT_EQ(QVVariantBool(false).toString(), "false");
  EXPECT_EQ(QVVariantDouble(0.1).toString(), "0.100000");
  EXPECT_EQ(QVVariantDouble(-2.5).toString(), "-2.500000");
  int local = 0;
  EXPECT_EQ(QVVariantVoidP(&local).toString(), "");
  EXPECT_EQ(QVVariant().toString(), "");
  EXPECT_EQ(QVVariantColor(0x04030201u).toString(), "1,2,3,4");
  EXPECT_EQ(QVVariantWStringI18N(L"Shown", L"key").toString(), "Shown");
  EXPECT_EQ(QVVariantWStringListI18N({L"a", L"b"}, {L"k1", L"k2"}).toString(), "a,b");
  EXPECT_EQ(QVVariantDoubleRange(1.5, 2).toString(), "1.500000,2.000000");
}

TEST(QVVariantToString, HugeDoublesPrintInFull) {
  const double huge = std::ldexp(1.0, 200);  // 61 digits, exactly representable
  const std::string text = QVVariantDouble(huge).toString();
  EXPECT_EQ(text.size(), 61u + 7u);  // the digits, the point and six decimals
  EXPECT_EQ(text.substr(61), ".000000");
  EXPECT_EQ(std::strtod(text.c_str(), nullptr), huge);
}

TEST(QVVariantCreate, GivesTheZeroValueOfEachCode) {
  for (int code = 0; code <= 21; ++code) {
    SCOPED_TRACE(code);
    const auto value = QVVariantCreate(static_cast<T>(code));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(static_cast<int>(value->type()), code);
  }
  EXPECT_EQ(QVVariantCreate(T::Int32)->toString(), "0");
  EXPECT_EQ(QVVariantCreate(T::Rect)->toString(), "0,0,0,0");
  EXPECT_EQ(QVVariantCreate(T::Double)->toString(), "0.000000");
  EXPECT_EQ(QVVariantCreate(T::Bool)->toString(), "false");
  EXPECT_EQ(dynamic_cast<QVVariantWStringI18N*>(QVVariantCreate(T::WString).get()), nullptr);
  EXPECT_EQ(dynamic_cast<QVVariantWStringListI18N*>(QVVariantCreate(T::WStringList).get()),
            nullptr);
  EXPECT_EQ(QVVariantCreate(static_cast<T>(22)), nullptr);
  EXPECT_EQ(QVVariantCreate(static_cast<T>(-1)), nullptr);
}

TEST(QVUtf8, StrictDecodingRefusesEveryInvalidSequence) {
  struct Case {
    std::string bytes;
    bool valid;
    std::wstring text;
  } cases[] = {
      {"", true, L""},
      {"plain", true, L"plain"},
      {"caf\xC3\xA9", true, L"caf\u00E9"},
      {"\xEF\xBB\xBF"
       "a",
       true, L"\uFEFFa"},  // a byte-order mark is a character like any other
      {"\xF0\x9F\x98\x80", true, L"\xD83D\xDE00"},
      {"\xF4\x8F\xBF\xBF", true, L"\xDBFF\xDFFF"},
      {"\xC0\xAF", false, L""},          // overlong
      {"\xE0\x80\xAF", false, L""},      // overlong
      {"\xED\xA0\x80", false, L""},      // an encoded surrogate
      {"\xF4\x90\x80\x80", false, L""},  // beyond U+10FFFF
      {"\x80", false, L""},              // a lone continuation byte
      {"ok\xE2\x82", false, L""},        // cut short at the end
      {"\xC3(", false, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::wstring text = L"unchanged";
    EXPECT_EQ(QVUtf8::toWideStrict(c.bytes.data(), c.bytes.size(), &text), c.valid);
    EXPECT_EQ(text, c.valid ? c.text : L"unchanged");
  }
}
