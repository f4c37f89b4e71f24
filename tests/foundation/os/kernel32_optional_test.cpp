#include <gtest/gtest.h>

#include <windows.h>

#include "foundation/os/kernel32_optional.h"

// Wine 8 and every Windows from Vista on have both: the lookups must find kernel32's own entries
// (whatever module kernel32 forwards them to) and calling through them must behave like a call
// through the import table.
TEST(Kernel32Optional, TheLookupsResolveToKernel32sOwnEntries) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(kernel32, nullptr);

  const auto getUILanguage = Kernel32Optional::getThreadUILanguage();
  ASSERT_NE(getUILanguage, nullptr);
  EXPECT_EQ(reinterpret_cast<FARPROC>(getUILanguage),
            GetProcAddress(kernel32, "GetThreadUILanguage"));
  EXPECT_EQ(getUILanguage(), GetThreadUILanguage());

  const auto setUILanguage = Kernel32Optional::setThreadUILanguage();
  ASSERT_NE(setUILanguage, nullptr);
  EXPECT_EQ(reinterpret_cast<FARPROC>(setUILanguage),
            GetProcAddress(kernel32, "SetThreadUILanguage"));
  // Language 0 asks for no change and answers the thread's current language.
  EXPECT_EQ(setUILanguage(0), GetThreadUILanguage());
}
