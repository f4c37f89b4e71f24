// QVSettings and the paths derived from the settings key.
//
// The settings key handle and the client identifier are cached for the life of a process, so
// every scenario that reads or writes HKCU\SOFTWARE\Tovin through the library runs in a fresh
// child process ("settings_probe"), after the test has laid out the key as it wants it. Each test
// saves the key first and puts it back as it was at its end.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "foundation/owners/qv_reg_key.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"
#include "foundation/settings/qv_settings.h"
#include "support/child_process.h"
#include "support/registry.h"
#include "support/temp_dir.h"

namespace {

constexpr wchar_t kTovin[] = L"SOFTWARE\\Tovin";

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::wstring::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

DWORD WINAPI ReadMenuEnabled(void* result) {
  *static_cast<uint32_t*>(result) = QVSettings::getDword(QVSettings::kMenuEnabled, 77);
  return 0;
}

// One query, fields separated by '|'; the answer as text.
std::wstring Answer(const std::wstring& query) {
  const std::vector<std::wstring> q = Split(query, L'|');
  const std::wstring& op = q[0];
  auto flag = [](const std::wstring& text) { return text == L"1"; };
  auto text = [](auto value) { return std::to_wstring(value); };
  const wchar_t* name = q.size() > 1 ? q[1].c_str() : L"";
  if (op == L"dword") return text(QVSettings::getDword(name, std::stoul(q.at(2))));
  if (op == L"setdword") return text(QVSettings::setDword(name, std::stoul(q.at(2))));
  if (op == L"string") {
    return QVSettings::getString(name, q.at(2),
                                 flag(q.at(3)) ? Expansion::kExpanded : Expansion::kAsStored);
  }
  if (op == L"setstring") return text(QVSettings::setString(name, q.at(2)));
  if (op == L"setstringin-null") {
    return text(QVSettings::setStringIn(nullptr, name, q.at(2)));
  }
  if (op == L"menu") return text(QVSettings::isMenuEnabled());
  if (op == L"installmode") return text(QVSettings::isInstallMode());
  if (op == L"date") return QVSettings::getInstallDate();
  if (op == L"date2") return text(QVSettings::getInstallDate2());
  if (op == L"path") {
    return QVPaths::getPath(static_cast<PathKind>(std::stoi(q.at(1))),
                            flag(q.at(2)) ? Expansion::kAsStored : Expansion::kExpanded);
  }
  if (op == L"clientid") return QVPaths::getClientId(flag(q.at(1)));
  if (op == L"create") {
    // The installer creating the key while the process runs (not through the library).
    QVRegKey key;
    key.create(HKEY_CURRENT_USER, kTovin, KEY_ALL_ACCESS);
    return text(key.setDword(name, std::stoul(q.at(2))));
  }
  if (op == L"deletekey") {
    // An uninstaller removing the key while the process runs.
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovin);
    return text(!qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kTovin));
  }
  if (op == L"recreate") {
    // ... and an installer making it again with another value.
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovin);
    return text(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovin, name, REG_SZ,
                                           qvtest::WideBytes(q.at(2))));
  }
  if (op == L"race") {
    // Threads racing on the first use of the key all see the value.
    HANDLE threads[8] = {};
    uint32_t results[8] = {};
    for (int i = 0; i < 8; ++i) {
      threads[i] = CreateThread(nullptr, 0, ReadMenuEnabled, &results[i], 0, nullptr);
    }
    WaitForMultipleObjects(8, threads, TRUE, 60000);
    std::wstring answer;
    for (int i = 0; i < 8; ++i) {
      CloseHandle(threads[i]);
      answer += std::to_wstring(results[i]) + (i < 7 ? L"," : L"");
    }
    return answer;
  }
  return L"<unknown query " + query + L">";
}

// args[0]: the answer file (UTF-16, one line per query); args[1...]: the queries.
QV_TEST_CHILD(settings_probe) {
  std::wstring out;
  for (size_t i = 1; i < args.size(); ++i) out += Answer(args[i]) + L"\n";
  qvtest::WriteFileBytes(args.at(0), std::string(reinterpret_cast<const char*>(out.data()),
                                                 out.size() * sizeof(wchar_t)));
  return 0;
}

// Runs the queries in a fresh process; one answer per query ("<no answer>" when the child failed).
std::vector<std::wstring> Probe(const std::vector<std::wstring>& queries) {
  qvtest::ScopedTempDir dir;
  const std::wstring file = dir.path() + L"answers.txt";
  std::vector<std::wstring> args{file};
  args.insert(args.end(), queries.begin(), queries.end());
  const DWORD exitCode = qvtest::RunChild(L"settings_probe", args).exitCode;
  EXPECT_EQ(exitCode, 0u) << "settings_probe failed";
  const std::string bytes = qvtest::ReadFileBytes(file);
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  std::vector<std::wstring> answers;
  if (!text.empty() && text.back() == L'\n') {
    text.pop_back();
    answers = Split(text, L'\n');
  }
  answers.resize(queries.size(), L"<no answer>");
  return answers;
}

std::wstring ProbeOne(const std::wstring& query) { return Probe({query})[0]; }

const std::wregex kClientIdForm(L"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");

std::wstring PathQuery(int kind, bool raw) {
  return L"path|" + std::to_wstring(kind) + (raw ? L"|1" : L"|0");
}

class SettingsTest : public ::testing::Test {
 protected:
  // The test starts without HKCU\SOFTWARE\Tovin; the key comes back as it was at the end.
  qvtest::ScopedRegistryKey saved_{HKEY_CURRENT_USER, kTovin};

  static void CreateKey() {
    QVRegKey key;
    ASSERT_EQ(key.create(HKEY_CURRENT_USER, kTovin, KEY_ALL_ACCESS), ERROR_SUCCESS);
  }
  static void Set(const std::wstring& name, DWORD type, const std::string& bytes) {
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovin, name, type, bytes));
  }
  static void SetDword(const std::wstring& name, DWORD value) {
    Set(name, REG_DWORD, qvtest::DwordBytes(value));
  }
  static void SetText(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
    Set(name, type, qvtest::WideBytes(text));
  }
  static void Delete(const std::wstring& name) {
    QVRegKey key;
    key.open(HKEY_CURRENT_USER, kTovin, KEY_SET_VALUE);
    RegDeleteValueW(key.get(), name.c_str());
  }
  static bool Read(const std::wstring& name, qvtest::RegistryValue* value) {
    return qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovin, name, value);
  }
};

}  // namespace

TEST_F(SettingsTest, NoKeyGivesEveryDefaultFailsEveryWriteAndCreatesNothing) {
  const auto a = Probe({
      L"menu",
      L"installmode",
      L"dword|LaunchPlatformDelayMs|15000",
      L"dword|AnalyticsAccepted|1",
      L"string|InstallDir||1",
      L"string|RegisterDeskbandFilename|fallback|0",
      L"date",
      L"date2",
      PathQuery(0, false),
      PathQuery(2, false),
      PathQuery(2, true),
      PathQuery(5, false),
      L"setdword|AnalyticsAccepted|1",
      L"setstring|InstallDate|2014-03-03",
      L"clientid|1",
  });
  EXPECT_EQ(a[0], L"1") << "an absent key counts as menu enabled";
  EXPECT_EQ(a[1], L"0");
  EXPECT_EQ(a[2], L"15000");
  EXPECT_EQ(a[3], L"1");
  EXPECT_EQ(a[4], L"");
  EXPECT_EQ(a[5], L"fallback");
  EXPECT_EQ(a[6], L"");
  EXPECT_EQ(a[7], L"0");
  for (int i = 8; i <= 11; ++i) EXPECT_EQ(a[i], L"") << i;
  EXPECT_EQ(a[12], L"0") << "a write without the key fails";
  EXPECT_EQ(a[13], L"0");
  EXPECT_TRUE(std::regex_match(a[14], kClientIdForm)) << a[14];
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, kTovin))
      << "this Part opens the settings key, never creates it";
}

TEST_F(SettingsTest, AKeyMissingAtFirstIsOpenedOnALaterCall) {
  const auto a =
      Probe({L"dword|MenuEnabled|9", L"setdword|InstallMode|1", L"create|MenuEnabled|0",
             L"dword|MenuEnabled|9", L"menu", L"setdword|InstallMode|1", L"installmode"});
  EXPECT_EQ(a[0], L"9");
  EXPECT_EQ(a[1], L"0");
  EXPECT_EQ(a[2], L"1");
  EXPECT_EQ(a[3], L"0") << "the open is tried again after a failure";
  EXPECT_EQ(a[4], L"0");
  EXPECT_EQ(a[5], L"1");
  EXPECT_EQ(a[6], L"1");
}

// The held handle of a key deleted under it answers ERROR_KEY_DELETED to everything; the key
// made again afterwards is a new key that only a new handle reaches.
TEST_F(SettingsTest, AKeyDeletedAndMadeAgainWhileInUseIsOpenedAgain) {
  SetText(L"InstallDir", L"C:\\Old");
  const auto a = Probe({
      L"string|InstallDir||0",
      L"recreate|InstallDir|C:\\New",
      L"string|InstallDir||0",
      PathQuery(2, false),
      L"setdword|InstallMode|1",
      L"installmode",
      L"recreate|InstallDate|2014-03-03",
      L"date",
      L"setstring|ClientId|written",
      L"deletekey",
      L"dword|MenuEnabled|9",
      L"menu",
      L"setdword|InstallMode|1",
      L"date2",
      L"recreate|MenuEnabled|x",
      L"setdword|MenuEnabled|0",
      L"menu",
  });
  EXPECT_EQ(a[0], L"C:\\Old");
  EXPECT_EQ(a[1], L"1");
  EXPECT_EQ(a[2], L"C:\\New") << "the new key's value, not the deleted key's error";
  EXPECT_EQ(a[3], L"C:\\New\\Engine\\tovin.exe");
  EXPECT_EQ(a[4], L"1") << "a write reaches the new key";
  EXPECT_EQ(a[5], L"1");
  EXPECT_EQ(a[6], L"1");
  EXPECT_EQ(a[7], L"2014-03-03") << "a second deletion is followed as well";
  EXPECT_EQ(a[8], L"1");
  EXPECT_EQ(a[9], L"1");
  EXPECT_EQ(a[10], L"9") << "no key: the default";
  EXPECT_EQ(a[11], L"1");
  EXPECT_EQ(a[12], L"0") << "no key: the write fails";
  EXPECT_EQ(a[13], L"0");
  EXPECT_EQ(a[14], L"1");
  EXPECT_EQ(a[15], L"1") << "a key made after the deletion is opened";
  EXPECT_EQ(a[16], L"0");
  qvtest::RegistryValue value;
  ASSERT_TRUE(Read(L"MenuEnabled", &value));
  EXPECT_EQ(value.bytes, qvtest::DwordBytes(0));
  EXPECT_FALSE(Read(L"InstallMode", &value)) << "the write without a key created nothing";
}

TEST_F(SettingsTest, ThreadsRacingOnTheFirstUseAllReadTheKey) {
  SetDword(L"MenuEnabled", 5);
  EXPECT_EQ(ProbeOne(L"race"), L"5,5,5,5,5,5,5,5");
}

TEST_F(SettingsTest, MenuIsEnabledExactlyWhenTheValueIsOne) {
  CreateKey();
  EXPECT_EQ(ProbeOne(L"menu"), L"1") << "no value counts as enabled";
  struct Case {
    DWORD value;
    const wchar_t* expected;
  } cases[] = {{1, L"1"}, {0, L"0"}, {2, L"0"}, {0xFFFFFFFF, L"0"}};
  for (const auto& c : cases) {
    SetDword(L"MenuEnabled", c.value);
    EXPECT_EQ(ProbeOne(L"menu"), c.expected) << "MenuEnabled " << c.value;
  }
  SetText(L"MenuEnabled", L"0");
  EXPECT_EQ(ProbeOne(L"menu"), L"1") << "a string is not a number: the default 1 counts";
}

TEST_F(SettingsTest, InstallModeIsOnExactlyWhenTheValueIsOne) {
  CreateKey();
  EXPECT_EQ(ProbeOne(L"installmode"), L"0");
  struct Case {
    DWORD value;
    const wchar_t* expected;
  } cases[] = {{1, L"1"}, {0, L"0"}, {2, L"0"}};
  for (const auto& c : cases) {
    SetDword(L"InstallMode", c.value);
    EXPECT_EQ(ProbeOne(L"installmode"), c.expected) << "InstallMode " << c.value;
  }
  SetText(L"InstallMode", L"1");
  EXPECT_EQ(ProbeOne(L"installmode"), L"0");
}

TEST_F(SettingsTest, NumbersOfAnotherTypeOrSizeGiveTheDefault) {
  CreateKey();
  const std::wstring delay = L"dword|LaunchPlatformDelayMs|15000";
  SetDword(L"LaunchPlatformDelayMs", 500);
  EXPECT_EQ(ProbeOne(delay), L"500");
  SetText(L"LaunchPlatformDelayMs", L"500");
  EXPECT_EQ(ProbeOne(delay), L"15000") << "stored as a string";
  Set(L"LaunchPlatformDelayMs", REG_BINARY, qvtest::DwordBytes(500));
  EXPECT_EQ(ProbeOne(delay), L"15000") << "REG_BINARY";
  Set(L"LaunchPlatformDelayMs", REG_DWORD_BIG_ENDIAN, qvtest::DwordBytes(500));
  EXPECT_EQ(ProbeOne(delay), L"15000") << "REG_DWORD_BIG_ENDIAN";
  Set(L"LaunchPlatformDelayMs", REG_QWORD, qvtest::QwordBytes(500));
  EXPECT_EQ(ProbeOne(delay), L"15000") << "REG_QWORD";
  Set(L"LaunchPlatformDelayMs", REG_DWORD, qvtest::QwordBytes(500));
  EXPECT_EQ(ProbeOne(delay), L"15000") << "a REG_DWORD longer than 4 bytes";

  SetDword(L"InstallDate2", 7);
  EXPECT_EQ(ProbeOne(L"date2"), L"0") << "InstallDate2 must be a REG_QWORD";
  Set(L"InstallDate2", REG_BINARY, qvtest::QwordBytes(7));
  EXPECT_EQ(ProbeOne(L"date2"), L"0");
  Set(L"InstallDate2", REG_QWORD, qvtest::QwordBytes(7) + std::string(4, '\0'));
  EXPECT_EQ(ProbeOne(L"date2"), L"0") << "a REG_QWORD longer than 8 bytes";
  Set(L"InstallDate2", REG_QWORD, qvtest::QwordBytes(0x0123456789ABCDEFULL));
  EXPECT_EQ(ProbeOne(L"date2"), std::to_wstring(0x0123456789ABCDEFULL));
}

TEST_F(SettingsTest, StringsTakeTheDataAsTextWhateverItsType) {
  CreateKey();
  SetText(L"InstallDate", L"2014-03-03");
  SetDword(L"RegisterDeskbandFilename", 0x00410042);  // bytes 42 00 41 00: "BA"
  Set(L"AutoPinApps", REG_MULTI_SZ, qvtest::WideBytes(std::wstring(L"first\0second\0", 13)));
  Set(L"indexing", REG_BINARY, "ABC");  // an odd byte count: the last character is zero-padded
  SetText(L"ExtraLogging", L"");
  const auto a = Probe({L"date", L"string|RegisterDeskbandFilename|x|0", L"string|AutoPinApps|x|1",
                        L"string|indexing|x|0", L"string|ExtraLogging|x|0", L"string|missing|x|0"});
  EXPECT_EQ(a[0], L"2014-03-03");
  EXPECT_EQ(a[1], L"BA");
  EXPECT_EQ(a[2], L"first") << "up to the first NUL";
  EXPECT_EQ(a[3], std::wstring(L"\x4241\x0043"));
  EXPECT_EQ(a[4], L"") << "an empty value is not a missing one";
  EXPECT_EQ(a[5], L"x");
}

TEST_F(SettingsTest, AnExpandableInstallDirIsExpandedUnlessRawIsAsked) {
  SetEnvironmentVariableW(L"QV_SETTINGS_ROOT", L"C:\\Root");  // the child inherits it
  SetText(L"InstallDir", L"%QV_SETTINGS_ROOT%\\P", REG_EXPAND_SZ);
  SetText(L"InstallDate", L"%QV_SETTINGS_ROOT%", REG_SZ);
  const auto a = Probe({L"string|InstallDir||1", L"string|InstallDir||0", PathQuery(0, false),
                        PathQuery(0, true), PathQuery(2, false), PathQuery(2, true),
                        PathQuery(10, false), L"string|InstallDate||1", L"date"});
  SetEnvironmentVariableW(L"QV_SETTINGS_ROOT", nullptr);
  EXPECT_EQ(a[0], L"C:\\Root\\P");
  EXPECT_EQ(a[1], L"%QV_SETTINGS_ROOT%\\P");
  EXPECT_EQ(a[2], L"C:\\Root\\P");
  EXPECT_EQ(a[3], L"%QV_SETTINGS_ROOT%\\P");
  EXPECT_EQ(a[4], L"C:\\Root\\P\\Engine\\tovin.exe");
  EXPECT_EQ(a[5], L"%QV_SETTINGS_ROOT%\\P\\Engine\\tovin.exe");
  EXPECT_EQ(a[6], L"C:\\Root\\P\\IconCache\\persistent");
  EXPECT_EQ(a[7], L"%QV_SETTINGS_ROOT%") << "only REG_EXPAND_SZ is expanded";
  EXPECT_EQ(a[8], L"%QV_SETTINGS_ROOT%");
}

TEST_F(SettingsTest, ThePathTableForInstallDirCP) {
  SetText(L"InstallDir", L"C:\\P");
  const std::vector<std::wstring> expected = {
      L"C:\\P",
      L"C:\\P\\Engine",
      L"C:\\P\\Engine\\tovin.exe",
      L"C:\\P\\Tovines",
      L"C:\\P\\Engine\\sysapps",
      L"C:\\P\\Tovines\\installed_tovines.db",
      L"C:\\P\\engine_update.db",
      L"C:\\P\\analytics.db",
      L"C:\\P\\notifications.db",
      L"C:\\P\\IconCache",
      L"C:\\P\\IconCache\\persistent",
      L"C:\\P\\UserData",
  };
  std::vector<std::wstring> queries;
  for (int raw = 0; raw <= 1; ++raw) {
    for (int kind = -1; kind <= 12; ++kind) queries.push_back(PathQuery(kind, raw == 1));
  }
  const auto a = Probe(queries);
  for (int raw = 0; raw <= 1; ++raw) {
    const size_t base = raw * 14;
    EXPECT_EQ(a[base], L"") << "kind -1";
    for (int kind = 0; kind < 12; ++kind) {
      EXPECT_EQ(a[base + 1 + kind], expected[kind]) << "kind " << kind << " raw " << raw;
    }
    EXPECT_EQ(a[base + 13], L"") << "kind 12";
  }
}

TEST_F(SettingsTest, SuffixesAreAppendedToTheDirectoryAsStored) {
  SetText(L"InstallDir", L"C:\\P\\");
  const auto a = Probe({PathQuery(2, false), PathQuery(5, false)});
  EXPECT_EQ(a[0], L"C:\\P\\\\Engine\\tovin.exe");
  EXPECT_EQ(a[1], L"C:\\P\\\\Tovines\\installed_tovines.db");
}

TEST_F(SettingsTest, AnEmptyInstallDirMakesEveryPathEmpty) {
  std::vector<std::wstring> queries;
  for (int kind = 0; kind < 12; ++kind) {
    queries.push_back(PathQuery(kind, false));
    queries.push_back(PathQuery(kind, true));
  }
  CreateKey();
  for (const auto& answer : Probe(queries)) EXPECT_EQ(answer, L"") << "no InstallDir value";
  SetText(L"InstallDir", L"");
  for (const auto& answer : Probe(queries)) EXPECT_EQ(answer, L"") << "an empty InstallDir";
  SetText(L"InstallDir", L"%QV_SETTINGS_UNSET_EMPTY%", REG_EXPAND_SZ);
  SetEnvironmentVariableW(L"QV_SETTINGS_UNSET_EMPTY", nullptr);
  EXPECT_EQ(ProbeOne(PathQuery(2, false)), L"%QV_SETTINGS_UNSET_EMPTY%\\Engine\\tovin.exe")
      << "an unknown variable stays as it is";
}

TEST_F(SettingsTest, WritesStoreADwordAndANulTerminatedString) {
  CreateKey();
  const auto a = Probe({L"setdword|AnalyticsAccepted|1", L"dword|AnalyticsAccepted|0",
                        L"setstring|InstallDate|2014-03-03", L"date", L"setstring|Empty|",
                        L"setstringin-null|Name|text"});
  EXPECT_EQ(a[0], L"1");
  EXPECT_EQ(a[1], L"1");
  EXPECT_EQ(a[2], L"1");
  EXPECT_EQ(a[3], L"2014-03-03");
  EXPECT_EQ(a[4], L"1");
  EXPECT_EQ(a[5], L"0") << "setStringIn without a key";

  qvtest::RegistryValue value;
  ASSERT_TRUE(Read(L"AnalyticsAccepted", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value.bytes, qvtest::DwordBytes(1));
  ASSERT_TRUE(Read(L"InstallDate", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.bytes, qvtest::WideBytes(L"2014-03-03")) << "(length + 1) x 2 bytes";
  ASSERT_TRUE(Read(L"Empty", &value));
  EXPECT_EQ(value.bytes, std::string(2, '\0'));
}

TEST_F(SettingsTest, SetStringInWritesIntoTheCallersOwnKey) {
  const std::wstring path = std::wstring(kTovin) + L"\\Sideload\\Favorites";
  QVRegKey key;
  ASSERT_EQ(key.create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
  EXPECT_TRUE(QVSettings::setStringIn(key.get(), L"Example", L"http://example.test/"));
  EXPECT_FALSE(QVSettings::setStringIn(nullptr, L"Example", L"x"));
  qvtest::RegistryValue value;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, path, L"Example", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.bytes, qvtest::WideBytes(L"http://example.test/"));
}

TEST_F(SettingsTest, ClientIdIsGeneratedAndCachedButNotStoredUnlessAsked) {
  CreateKey();
  const auto a = Probe({L"clientid|0", L"clientid|1", L"clientid|0"});
  EXPECT_TRUE(std::regex_match(a[0], kClientIdForm)) << a[0];
  EXPECT_EQ(a[0].size(), 36u);
  EXPECT_EQ(a[1], a[0]) << "cached for the life of the process";
  EXPECT_EQ(a[2], a[0]);
  qvtest::RegistryValue value;
  EXPECT_FALSE(Read(L"ClientId", &value)) << "a cached identifier is not stored by a later call";

  const std::wstring other = ProbeOne(L"clientid|0");
  EXPECT_TRUE(std::regex_match(other, kClientIdForm));
  EXPECT_NE(other, a[0]) << "each process without a stored identifier makes a fresh one";
}

TEST_F(SettingsTest, ClientIdIsStoredWhenAskedAndReadBackLater) {
  CreateKey();
  const std::wstring id = ProbeOne(L"clientid|1");
  ASSERT_TRUE(std::regex_match(id, kClientIdForm)) << id;
  qvtest::RegistryValue value;
  ASSERT_TRUE(Read(L"ClientId", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.bytes, qvtest::WideBytes(id));
  EXPECT_EQ(ProbeOne(L"clientid|0"), id);
  EXPECT_EQ(ProbeOne(L"clientid|1"), id);
}

TEST_F(SettingsTest, AStoredClientIdIsTakenAsItIs) {
  SetText(L"ClientId", L"Stored-Id");
  EXPECT_EQ(ProbeOne(L"clientid|1"), L"Stored-Id");
  qvtest::RegistryValue value;
  ASSERT_TRUE(Read(L"ClientId", &value));
  EXPECT_EQ(value.bytes, qvtest::WideBytes(L"Stored-Id")) << "not rewritten";

  SetText(L"ClientId", L"");
  const std::wstring id = ProbeOne(L"clientid|1");
  EXPECT_TRUE(std::regex_match(id, kClientIdForm)) << "an empty value counts as none";
  ASSERT_TRUE(Read(L"ClientId", &value));
  EXPECT_EQ(value.bytes, qvtest::WideBytes(id));
}

TEST_F(SettingsTest, NothingIsLogged) {
  qvtest::ScopedTempDir temp;
  qvtest::ScopedTempEnv env(temp.path());
  Probe({L"menu", L"setdword|X|1", L"clientid|1", PathQuery(2, false)});  // without the key
  SetText(L"InstallDir", L"C:\\P");
  SetDword(L"OutputDebug", 1);
  Probe({L"menu", L"installmode", L"setdword|X|1", L"setstring|Y|y", L"clientid|1",
         PathQuery(2, false), L"date", L"date2", L"string|missing||1"});
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((temp.path() + L"*").c_str(), &found);
  std::vector<std::wstring> files;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..") {
        files.push_back(found.cFileName);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  EXPECT_TRUE(files.empty()) << "found " << files.size() << " files in the temporary directory";
}

TEST(SettingsNames, TheEngineCatalogueAndTheLibrarysOwnValues) {
  EXPECT_STREQ(QVSettings::kKeyPath, L"SOFTWARE\\Tovin");
  EXPECT_EQ(QVSettings::kKeyAccess, static_cast<REGSAM>(0x2001F));
  EXPECT_STREQ(QVSettings::kLastAllowedDeviceIdPrefix, L"lastAllowedDeviceId_");
  EXPECT_STREQ(QVSettings::kAutoPinApps, L"AutoPinApps");
  EXPECT_STREQ(QVSettings::kStartMenuMode, L"start_menu_mode");
  EXPECT_STREQ(QVSettings::kExtraLogging, L"ExtraLogging");
  EXPECT_STREQ(QVSettings::kIndexing, L"indexing");
  EXPECT_STREQ(QVSettings::kRequestNotificationsPermission, L"RequestNotificationsPermission");
  EXPECT_STREQ(QVSettings::kEnableShowWindowsButton, L"EnableShowWindowsButton");
  EXPECT_STREQ(QVSettings::kStartDeskbandOnly, L"StartDeskbandOnly");
  EXPECT_STREQ(QVSettings::kLaunchPlatformDelayMs, L"LaunchPlatformDelayMs");
  EXPECT_STREQ(QVSettings::kAnalyticsAccepted, L"AnalyticsAccepted");
  EXPECT_EQ(QVSettings::kLaunchPlatformDelayMsDefault, 15000u);
}
