#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "store/variants/qv_variant_equals.h"
#include "store/variants/qv_variants.h"

namespace {

struct EqualsCase {
  const char* what;
  std::shared_ptr<QVVariant> a;
  std::shared_ptr<QVVariant> b;
  bool equal;
};

template <typename V, typename... Args>
std::shared_ptr<QVVariant> Make(Args&&... args) {
  return std::make_shared<V>(std::forward<Args>(args)...);
}

}  // namespace

TEST(QVVariantEquals, ComparesCodeThenPayload) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const EqualsCase cases[] = {
      {"int32 0 / uint32 0", Make<QVVariantInt32>(0), Make<QVVariantUInt32>(0u), false},
      {"int32 equal", Make<QVVariantInt32>(5), Make<QVVariantInt32>(5), true},
      {"int8 differ", Make<QVVariantInt8>(int8_t{1}), Make<QVVariantInt8>(int8_t{2}), false},
      {"base / base", Make<QVVariant>(), Make<QVVariant>(), true},
      {"null / value", nullptr, Make<QVVariant>(), false},
      {"null / null", nullptr, nullptr, false},
      {"nan / nan", Make<QVVariantDouble>(nan), Make<QVVariantDouble>(nan), false},
      {"0.0 / -0.0", Make<QVVariantDouble>(0.0), Make<QVVariantDouble>(-0.0), true},
      {"i18n keys differ", Make<QVVariantWStringI18N>(L"Menu", L"k1"),
       Make<QVVariantWStringI18N>(L"Menu", L"k2"), true},
      {"i18n texts differ", Make<QVVariantWStringI18N>(L"Menu", L"k"),
       Make<QVVariantWStringI18N>(L"Start", L"k"), false},
      {"i18n / plain", Make<QVVariantWStringI18N>(L"Menu", L"k"), Make<QVVariantWString>(L"Menu"),
       true},
      {"string / wstring", Make<QVVariantString>("a"), Make<QVVariantWString>(L"a"), false},
      {"list lengths", Make<QVVariantStringList>(std::vector<std::string>{"a"}),
       Make<QVVariantStringList>(std::vector<std::string>{"a", ""}), false},
      {"i18n lists keys differ",
       Make<QVVariantWStringListI18N>(std::vector<std::wstring>{L"a"},
                                      std::vector<std::wstring>{L"x"}),
       Make<QVVariantWStringList>(std::vector<std::wstring>{L"a"}), true},
      {"rect height", Make<QVVariantRect>(1, 2, 3u, 4u), Make<QVVariantRect>(1, 2, 3u, 5u), false},
      {"rect equal", Make<QVVariantRect>(1, 2, 3u, 4u), Make<QVVariantRect>(1, 2, 3u, 4u), true},
      {"color c3", Make<QVVariantColor>(0x01000000u), Make<QVVariantColor>(0x02000000u), false},
      {"point / int32 range", Make<QVVariantPoint>(1, 2), Make<QVVariantInt32Range>(1, 2), false},
      {"int64 range second", Make<QVVariantInt64Range>(1, 2), Make<QVVariantInt64Range>(1, 3),
       false},
      {"double range", Make<QVVariantDoubleRange>(0.5, 1.0), Make<QVVariantDoubleRange>(0.5, 1.0),
       true},
      {"void pointers", Make<QVVariantVoidP>(nullptr), Make<QVVariantVoidP>(nullptr), true},
  };
  for (const EqualsCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(QVVariantEquals(c.a.get(), c.b.get()), c.equal);
    EXPECT_EQ(QVVariantEquals(c.b.get(), c.a.get()), c.equal);
  }
}
