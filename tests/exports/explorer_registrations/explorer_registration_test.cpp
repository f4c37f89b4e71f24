#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/explorer_registration_keys.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"

// The two registration exports of the real DLL, with the menu text of the installer's language.
// Wine takes the language from LANG at process start: ctest starts the ExplorerExportsDe suite
// with a German LANG.

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
using qvtest::kExplorerVerbKeys;

std::wstring Text(const std::wstring& key, const wchar_t* name, DWORD* type) {
  qvtest::RegistryValue value;
  if (!qvtest::ReadRegistryValue(HKEY_CURRENT_USER, key, name, &value)) return L"<missing>";
  *type = value.type;
  if (value.bytes.size() < 2 || value.bytes.size() % 2 != 0 ||
      value.bytes.compare(value.bytes.size() - 2, 2, std::string(2, '\0')) != 0) {
    return L"<not a terminated wide string>";
  }
  return std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                      value.bytes.size() / 2 - 1);
}

std::vector<std::wstring> LogMessages(const std::wstring& dir) {
  return qvtest::TodaysLogMessages(dir);
}

// The settings and class keys put back at the end, and a log of the test's own.
struct ScopedRegistrationState {
  qvtest::ScopedRegistryKey settings{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedExplorerClassKeys classes;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv{logDir.path()};
};

// Installs into a directory with spaces, calls both exports twice through the real DLL and
// checks the registrations with `menuText` and the log.
void RegisterThroughTheLibrary(const std::wstring& menuText) {
  ScopedRegistrationState state;
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                         qvtest::WideBytes(L"C:\\Users\\Jo Doe\\Tovin Apps")));
  {
    qvtest::Library library;
    auto contextMenu = QV_EXPORT(library, QVNSIS_RegisterContextMenuHandlers);
    auto protocol = QV_EXPORT(library, QVNSIS_RegisterProtocolHandler);
    ASSERT_NE(contextMenu, nullptr);
    ASSERT_NE(protocol, nullptr);
    for (int run = 0; run < 2; ++run) {
      contextMenu();
      protocol();
    }
  }

  DWORD type = REG_NONE;
  for (const wchar_t* verbKey : kExplorerVerbKeys) {
    EXPECT_EQ(Text(verbKey, L"", &type), menuText) << verbKey;
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Text(std::wstring(verbKey) + L"\\command", L"", &type),
              L"\"C:\\Users\\Jo Doe\\Tovin Apps\\Engine\\tovin.exe\" /ADDFAVORITE\"%1\"")
        << verbKey;
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  }
  EXPECT_EQ(Text(L"Software\\Classes\\tovin", L"", &type), L"URL:Tovin Protocol");
  EXPECT_EQ(Text(L"Software\\Classes\\tovin", L"URL Protocol", &type), L"");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(Text(L"Software\\Classes\\tovin\\shell\\open\\command", L"", &type),
            L"\"C:\\Users\\Jo Doe\\Tovin Apps\\Engine\\tovin.exe\" \"%1\"");
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));

  std::vector<std::wstring> expected = {L"DllMain: started"};
  for (int run = 0; run < 2; ++run) {
    expected.push_back(L"PlatformExplorerUtils::RegisterContextMenuHandlers: registering");
    expected.push_back(L"PlatformExplorerUtils::RegisterProtocolHandler: registering");
  }
  // What loading logs ahead of the entry point's line (the language set-up) is not ours to check.
  const std::vector<std::wstring> log = LogMessages(state.logDir.path());
  const auto start = std::find(log.begin(), log.end(), L"DllMain: started");
  EXPECT_EQ(std::vector<std::wstring>(start, log.end()), expected);
}

}  // namespace

TEST(ExplorerExports, RegisterWithTheEnglishMenuText) {
  RegisterThroughTheLibrary(L"Add to Tovin Menu");
}

TEST(ExplorerExportsDe, RegisterWithTheGermanMenuText) {
  RegisterThroughTheLibrary(L"Zum Tovin-Men\u00fc hinzuf\u00fcgen");
}

// Through the library: an "InstallDir" that is missing, empty or a REG_DWORD 0 (its bytes read as
// empty text) is no installation, and one holding a double quote names no usable engine: nothing
// is written and the earlier registration stays. Any other number is the text of its bytes, and
// that is what the commands then name.
TEST(ExplorerExports, AnInstallDirThatReadsAsEmptyKeepsTheEarlierRegistration) {
  ScopedRegistrationState state;
  auto registerBoth = [] {
    qvtest::Library library;
    QV_CALL(library, QVNSIS_RegisterContextMenuHandlers);
    QV_CALL(library, QVNSIS_RegisterProtocolHandler);
  };
  auto expectEngine = [](const std::wstring& engine) {
    DWORD type = REG_NONE;
    for (const wchar_t* verbKey : kExplorerVerbKeys) {
      EXPECT_EQ(Text(std::wstring(verbKey) + L"\\command", L"", &type),
                L"\"" + engine + L"\" /ADDFAVORITE\"%1\"")
          << verbKey;
    }
    EXPECT_EQ(Text(L"Software\\Classes\\tovin\\shell\\open\\command", L"", &type),
              L"\"" + engine + L"\" \"%1\"");
  };
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                         qvtest::WideBytes(L"C:\\Tovin")));
  registerBoth();
  expectEngine(L"C:\\Tovin\\Engine\\tovin.exe");

  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
  } cases[] = {
      {"no InstallDir", REG_NONE, ""},
      {"an empty REG_SZ", REG_SZ, qvtest::WideBytes(L"")},
      {"a REG_DWORD 0", REG_DWORD, qvtest::DwordBytes(0)},
      {"a double quote, which would end the engine's argument", REG_SZ,
       qvtest::WideBytes(L"C:\\x\" /evil \"y")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.type == REG_NONE) {
      ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, kTovinKey, L"InstallDir"), ERROR_SUCCESS);
    } else {
      ASSERT_TRUE(
          qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", c.type, c.bytes));
    }
    registerBoth();
    expectEngine(L"C:\\Tovin\\Engine\\tovin.exe");
  }
  const std::vector<std::wstring> log = LogMessages(state.logDir.path());
  for (const wchar_t* source : {L"PlatformExplorerUtils::RegisterContextMenuHandlers: ",
                                L"PlatformExplorerUtils::RegisterProtocolHandler: "}) {
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         source + std::wstring(L"installation directory not found")),
              3)
        << source;
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         source + std::wstring(L"engine path not usable in a command line: "
                                               L"C:\\x\" /evil \"y\\Engine\\tovin.exe")),
              1)
        << source;
  }

  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_DWORD,
                                         qvtest::DwordBytes(0x5A)));  // bytes 5A 00 00 00: "Z"
  registerBoth();
  expectEngine(L"Z\\Engine\\tovin.exe");
}
