#include <gtest/gtest.h>

#include "foundation/os/guid_text.h"

TEST(GuidText, RegistryFormInUpperCaseWithLeadingZeros) {
  struct Case {
    GUID guid;
    const wchar_t* text;
  } cases[] = {
      {{0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}},
       L"{9BA05972-F6A8-11CF-A442-00A0C90A8F39}"},
      {{0x0000000A, 0x00B0, 0x0C00, {0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0E}},
       L"{0000000A-00B0-0C00-0D00-00000000000E}"},
      {{0xabcdef01, 0x2345, 0x6789, {0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67, 0x89}},
       L"{ABCDEF01-2345-6789-ABCD-EF0123456789}"},
      {GUID(), L"{00000000-0000-0000-0000-000000000000}"},
  };
  for (const auto& c : cases) {
    const std::wstring text = QVOS::guidToString(c.guid);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(text.size(), 38u);
  }
}
