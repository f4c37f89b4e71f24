#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/owners/qv_reg_key.h"
#include "shell/explorer_registrations/platform_explorer_utils.h"
#include "support/explorer_registration_keys.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";

using qvtest::kExplorerClassKeys;
using qvtest::kExplorerVerbKeys;

const wchar_t kProtocolKey[] = L"Software\\Classes\\tovin";
const wchar_t kProtocolCommandKey[] = L"Software\\Classes\\tovin\\shell\\open\\command";

const wchar_t kContextSource[] = L"PlatformExplorerUtils::RegisterContextMenuHandlers: ";
const wchar_t kProtocolSource[] = L"PlatformExplorerUtils::RegisterProtocolHandler: ";

std::wstring CommandKey(const wchar_t* verbKey) { return std::wstring(verbKey) + L"\\command"; }

bool SameValues(const qvtest::RegistrySnapshot& a, const qvtest::RegistrySnapshot& b) {
  if (a.existed != b.existed || a.values.size() != b.values.size() ||
      a.subkeys.size() != b.subkeys.size()) {
    return false;
  }
  for (size_t i = 0; i < a.values.size(); ++i) {
    if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
        a.values[i].bytes != b.values[i].bytes) {
      return false;
    }
  }
  for (size_t i = 0; i < a.subkeys.size(); ++i) {
    if (a.subkeys[i].first != b.subkeys[i].first ||
        !SameValues(a.subkeys[i].second, b.subkeys[i].second)) {
      return false;
    }
  }
  return true;
}

std::vector<qvtest::RegistrySnapshot> SnapshotClasses() {
  std::vector<qvtest::RegistrySnapshot> snapshots;
  for (const wchar_t* key : kExplorerClassKeys)
    snapshots.push_back(qvtest::TakeRegistrySnapshot(HKEY_CURRENT_USER, key));
  return snapshots;
}

bool SameClasses(const std::vector<qvtest::RegistrySnapshot>& a,
                 const std::vector<qvtest::RegistrySnapshot>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameValues);
}

// A fresh settings key, no Explorer registrations and a log directory of its own; all put back.
class ExplorerRegistrationTest : public testing::Test {
 protected:
  void SetInstallDir(DWORD type, const std::wstring& dir) {
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", type,
                                           qvtest::WideBytes(dir)));
  }

  void RegisterBoth(const std::wstring& menuText) {
    PlatformExplorerUtils::RegisterContextMenuHandlers(menuText);
    PlatformExplorerUtils::RegisterProtocolHandler();
  }

  // The value has this type and exactly the text's characters and a terminating NUL.
  static void ExpectText(const std::wstring& key, const wchar_t* name, DWORD type,
                         const std::wstring& text) {
    qvtest::RegistryValue value;
    ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, key, name ? name : L"", &value))
        << key << " " << (name ? name : L"(default)");
    EXPECT_EQ(value.type, type) << key;
    EXPECT_EQ(value.bytes.size(), (text.size() + 1) * 2) << key;
    EXPECT_EQ(value.bytes, qvtest::WideBytes(text)) << key;
  }

  static void ExpectMenuText(const std::wstring& text) {
    for (const wchar_t* verbKey : kExplorerVerbKeys) ExpectText(verbKey, nullptr, REG_SZ, text);
  }

  std::vector<std::wstring> LogMessages() const {
    return qvtest::TodaysLogMessages(logDir_.path());
  }

  long LogCount(const std::wstring& message) const {
    const auto log = LogMessages();
    return static_cast<long>(std::count(log.begin(), log.end(), message));
  }

  qvtest::ScopedRegistryKey savedSettings_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedExplorerClassKeys savedClasses_;
  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_{logDir_.path()};
};

}  // namespace

TEST_F(ExplorerRegistrationTest, CommandsQuoteTheUnexpandedEnginePath) {
  struct Case {
    DWORD type;
    std::wstring installDir;
    std::wstring contextCommand;
    std::wstring protocolCommand;
  } cases[] = {
      {REG_SZ, L"C:\\Program Files\\Tovin Platform",
       L"\"C:\\Program Files\\Tovin Platform\\Engine\\tovin.exe\" /ADDFAVORITE\"%1\"",
       L"\"C:\\Program Files\\Tovin Platform\\Engine\\tovin.exe\" \"%1\""},
      {REG_EXPAND_SZ, L"%LOCALAPPDATA%\\Tovin",
       L"\"%LOCALAPPDATA%\\Tovin\\Engine\\tovin.exe\" /ADDFAVORITE\"%1\"",
       L"\"%LOCALAPPDATA%\\Tovin\\Engine\\tovin.exe\" \"%1\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.installDir);
    SetInstallDir(c.type, c.installDir);
    RegisterBoth(L"Add to Tovin Menu");

    ExpectMenuText(L"Add to Tovin Menu");
    for (const wchar_t* verbKey : kExplorerVerbKeys) {
      ExpectText(CommandKey(verbKey), nullptr, REG_EXPAND_SZ, c.contextCommand);
    }
    ExpectText(kProtocolKey, nullptr, REG_SZ, L"URL:Tovin Protocol");
    ExpectText(kProtocolKey, L"URL Protocol", REG_SZ, L"");
    ExpectText(kProtocolCommandKey, nullptr, REG_EXPAND_SZ, c.protocolCommand);
  }

  qvtest::RegistryValue marker;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kProtocolKey, L"URL Protocol", &marker));
  EXPECT_EQ(marker.bytes, std::string(2, '\0')) << "an empty string, not a missing value";

  EXPECT_EQ(LogCount(std::wstring(kContextSource) + L"registering"), 2);
  EXPECT_EQ(LogCount(std::wstring(kProtocolSource) + L"registering"), 2);
  EXPECT_EQ(LogMessages().size(), 4u) << "success writes nothing else";
}

TEST_F(ExplorerRegistrationTest, MenuTextIsTheCallersOrTheBuiltInOneWhenEmpty) {
  SetInstallDir(REG_SZ, L"C:\\Tovin");
  struct Case {
    std::wstring given;
    std::wstring written;
  } cases[] = {
      {L"", L"Add to Tovin menu"},
      {L"Zum Tovin-Men\u00fc hinzuf\u00fcgen", L"Zum Tovin-Men\u00fc hinzuf\u00fcgen"},
      {L"string id 111 missing", L"string id 111 missing"},
  };
  for (const Case& c : cases) {
    PlatformExplorerUtils::RegisterContextMenuHandlers(c.given);
    ExpectMenuText(c.written);
  }
}

TEST_F(ExplorerRegistrationTest, RunningAgainOverwritesTheSameValuesAndCreatesNothing) {
  // What an older registration may have left: other texts and types, and a value of its own.
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kExplorerVerbKeys[2], L"", REG_SZ,
                                         qvtest::WideBytes(L"Old text")));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, CommandKey(kExplorerVerbKeys[2]), L"",
                                         REG_SZ,
                                         qvtest::WideBytes(L"\"D:\\old\\tovin.exe\" \"%1\"")));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kProtocolCommandKey, L"", REG_SZ,
                                         qvtest::WideBytes(L"D:\\old\\tovin.exe \"%1\"")));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kProtocolKey, L"EditFlags", REG_DWORD,
                                         qvtest::DwordBytes(2)));
  SetInstallDir(REG_SZ, L"C:\\Tovin");

  RegisterBoth(L"Add to Tovin Menu");
  const auto first = SnapshotClasses();
  ExpectText(kExplorerVerbKeys[2], nullptr, REG_SZ, L"Add to Tovin Menu");
  ExpectText(CommandKey(kExplorerVerbKeys[2]), nullptr, REG_EXPAND_SZ,
             L"\"C:\\Tovin\\Engine\\tovin.exe\" /ADDFAVORITE\"%1\"");
  ExpectText(kProtocolCommandKey, nullptr, REG_EXPAND_SZ,
             L"\"C:\\Tovin\\Engine\\tovin.exe\" \"%1\"");
  qvtest::RegistryValue kept;
  EXPECT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kProtocolKey, L"EditFlags", &kept));

  // Each verb key holds its menu text and a command key holding the command: nothing else.
  for (size_t i = 0; i < 4; ++i) {
    const auto& shell = first[i].subkeys;
    ASSERT_EQ(shell.size(), 1u);
    ASSERT_EQ(shell[0].second.subkeys.size(), 1u);
    const auto& verb = shell[0].second.subkeys[0];
    EXPECT_EQ(verb.first, L"tovin");
    EXPECT_EQ(verb.second.values.size(), 1u);
    ASSERT_EQ(verb.second.subkeys.size(), 1u);
    EXPECT_EQ(verb.second.subkeys[0].first, L"command");
    EXPECT_EQ(verb.second.subkeys[0].second.values.size(), 1u);
    EXPECT_TRUE(verb.second.subkeys[0].second.subkeys.empty());
  }

  RegisterBoth(L"Add to Tovin Menu");
  EXPECT_TRUE(SameClasses(SnapshotClasses(), first));
}

TEST_F(ExplorerRegistrationTest,
       WithoutAnInstallationNothingIsWrittenAndAnEarlierRegistrationStays) {
  // No settings key at all: no key of the registrations appears.
  RegisterBoth(L"Add to Tovin Menu");
  for (const wchar_t* key : kExplorerClassKeys)
    EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, key)) << key;

  SetInstallDir(REG_SZ, L"C:\\Tovin");
  RegisterBoth(L"Add to Tovin Menu");
  const auto working = SnapshotClasses();

  struct Case {
    const wchar_t* what;
    DWORD type;  // REG_NONE: the value is removed
    std::wstring installDir;
  } cases[] = {
      {L"no InstallDir value", REG_NONE, L""},
      {L"an empty InstallDir", REG_SZ, L""},
      {L"an empty expandable InstallDir", REG_EXPAND_SZ, L""},
      {L"a double quote in InstallDir", REG_SZ, L"C:\\x\" /evil \"y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.type == REG_NONE) {
      QVRegKey settings;
      ASSERT_EQ(settings.open(HKEY_CURRENT_USER, kTovinKey, KEY_SET_VALUE), ERROR_SUCCESS);
      ASSERT_EQ(RegDeleteValueW(settings.get(), L"InstallDir"), ERROR_SUCCESS);
    } else {
      SetInstallDir(c.type, c.installDir);
    }
    RegisterBoth(L"Other text");
    EXPECT_TRUE(SameClasses(SnapshotClasses(), working));
  }

  EXPECT_EQ(LogCount(std::wstring(kContextSource) + L"installation directory not found"), 4);
  EXPECT_EQ(LogCount(std::wstring(kProtocolSource) + L"installation directory not found"), 4);
  EXPECT_EQ(
      LogCount(std::wstring(kContextSource) +
               L"engine path not usable in a command line: C:\\x\" /evil \"y\\Engine\\tovin.exe"),
      1);
  EXPECT_EQ(LogCount(std::wstring(kProtocolSource) + L"registering"), 6);
}

TEST_F(ExplorerRegistrationTest, AKeyThatCannotBeCreatedIsSkippedAndLogged) {
  SetInstallDir(REG_SZ, L"C:\\Tovin");
  // A volatile key takes no lasting subkey: its "command" key cannot be created.
  for (const wchar_t* path : {kExplorerVerbKeys[2], L"Software\\Classes\\tovin\\shell"}) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    QVRegKey owner(key);
  }

  RegisterBoth(L"Add to Tovin Menu");

  const std::wstring command = L"\"C:\\Tovin\\Engine\\tovin.exe\" /ADDFAVORITE\"%1\"";
  ExpectMenuText(L"Add to Tovin Menu");  // the command did not land in the verb key left open
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, CommandKey(kExplorerVerbKeys[2])));
  for (size_t i : {0u, 1u, 3u})
    ExpectText(CommandKey(kExplorerVerbKeys[i]), nullptr, REG_EXPAND_SZ, command);

  ExpectText(kProtocolKey, nullptr, REG_SZ, L"URL:Tovin Protocol");
  ExpectText(kProtocolKey, L"URL Protocol", REG_SZ, L"");
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kProtocolCommandKey));

  const std::wstring error =
      L"(err: " + std::to_wstring(ERROR_CHILD_MUST_BE_VOLATILE) + L") could not create key ";
  EXPECT_EQ(LogCount(kContextSource + error + CommandKey(kExplorerVerbKeys[2])), 1);
  EXPECT_EQ(LogCount(kProtocolSource + error + kProtocolCommandKey), 1);
}
