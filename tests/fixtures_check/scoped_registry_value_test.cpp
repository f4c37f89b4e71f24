#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/registry.h"

// The holder the benchmark points "InstallDir" with: whatever stood there before comes back
// exactly, however long, whatever its type.
namespace {

const wchar_t kKey[] = L"Software\\qvnsis-tests\\ScopedRegistryValue";

struct Earlier {
  const char* what;
  bool present;
  DWORD type;
  std::string bytes;
};

TEST(ScopedRegistryValue, PutsTheEarlierValueBackExactly) {
  const qvtest::ScopedRegistryKey clean(HKEY_CURRENT_USER, L"Software\\qvnsis-tests");
  // Longer than MAX_PATH characters, as an installation folder below a deep profile may be.
  const std::wstring longDir = L"C:\\" + std::wstring(700, L'd') + L"\\Tovin";
  const std::vector<Earlier> cases = {
      {"a text longer than MAX_PATH", true, REG_SZ, qvtest::WideBytes(longDir)},
      {"an expandable text", true, REG_EXPAND_SZ, qvtest::WideBytes(L"%LOCALAPPDATA%\\Tovin")},
      {"a number", true, REG_DWORD, qvtest::DwordBytes(12)},
      {"nothing", false, REG_NONE, ""},
  };
  const std::string ours = qvtest::WideBytes(L"C:\\bench\\Tovin");
  for (const Earlier& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kKey);
    if (c.present) {
      ASSERT_TRUE(
          qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kKey, L"InstallDir", c.type, c.bytes));
    }
    {
      const qvtest::ScopedRegistryValue value(HKEY_CURRENT_USER, kKey, L"InstallDir", REG_SZ, ours);
      qvtest::RegistryValue during;
      ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kKey, L"InstallDir", &during));
      EXPECT_EQ(during.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(during.bytes, ours);
    }
    qvtest::RegistryValue after;
    const bool there = qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kKey, L"InstallDir", &after);
    EXPECT_EQ(there, c.present);
    if (there) {
      EXPECT_EQ(after.type, c.type);
      EXPECT_EQ(after.bytes, c.bytes);
    }
  }
}

}  // namespace
