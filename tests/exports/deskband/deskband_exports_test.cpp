#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "exports/qvnsis_exports.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/windows_release.h"

// The deskband exports of the real DLL, with regsvr32.exe of the system registering a library
// of the test fixtures.

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
// Where each deskband build registers its class.
const std::vector<std::wstring> kBuildKeys = qvtest::DeskbandClassKeys();
const wchar_t kRegisterSource[] = L"QVDeskbandUtil::RegisterIfRequired: ";
const wchar_t kLoadSource[] = L"QVDeskbandUtil::LoadInstalledCLSID: ";
const wchar_t kExecuteSource[] = L"_ShellExecute: ";

}  // namespace

TEST(DeskbandExports, RegisterRunsTheSystemsRegsvr32OnTheNamedLibrary) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER};
  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  qvtest::ScopedTempDir root;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const std::wstring installDir = root.path() + L"Tovin Apps";
  const std::wstring library = installDir + L"\\qv deskband 1.dll";
  ASSERT_TRUE(CreateDirectoryW(installDir.c_str(), nullptr));
  // The fake deskband library of build 1 registers its class naming its own file.
  ASSERT_TRUE(CopyFileW((qvtest::ExecutableDirectory() + L"qvdeskband_1.dll").c_str(),
                        library.c_str(), FALSE));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                         qvtest::WideBytes(installDir)));

  qvtest::Library dll;
  auto registerDeskband = QV_EXPORT(dll, QVNSIS_RegisterDeskband);
  auto isRegistered = QV_EXPORT(dll, QVNSIS_IsDeskbandRegistered);
  ASSERT_NE(registerDeskband, nullptr);
  ASSERT_NE(isRegistered, nullptr);

  // No file name configured: nothing is started.
  EXPECT_EQ(isRegistered(), 0);
  EXPECT_EQ(registerDeskband(), 0);
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_TRUE(qvtest::LogMessagesOf(log, kExecuteSource).empty());

  // Build 3 already registered: registration is forced all the same, and the search that follows
  // finds the lower build 1 the library registered.
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kBuildKeys[3], L"", REG_SZ,
                                         qvtest::WideBytes(L"x")));
  EXPECT_EQ(isRegistered(), 1);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename",
                                         REG_SZ, qvtest::WideBytes(L"qv deskband 1.dll")));
  EXPECT_EQ(registerDeskband(), 1);
  EXPECT_EQ(isRegistered(), 1);

  qvtest::RegistryValue server;
  ASSERT_TRUE(qvtest::ReadRegistryValue(
      HKEY_CURRENT_USER, std::wstring(kBuildKeys[1]) + L"\\InprocServer32", L"", &server));
  EXPECT_EQ(server.bytes, qvtest::WideBytes(library));

  EXPECT_EQ(
      qvtest::LogMessagesOf(log, kRegisterSource),
      (std::vector<std::wstring>{L"RegisterDeskbandFilename not present in registry", L"success"}));
  // Started by its full path in the system directory, never found by a search for its bare name.
  EXPECT_EQ(qvtest::LogMessagesOf(log, kExecuteSource),
            std::vector<std::wstring>{L"executed '" + qvtest::SystemProgram(L"regsvr32.exe") +
                                      L"' with /s \"" + library + L"\""});
  EXPECT_EQ(qvtest::LogMessagesOf(log, kLoadSource),
            (std::vector<std::wstring>{L"NOT FOUND", L"{36F675CC-81E7-4EF5-A8E2-5D940ED90475}",
                                       L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}"}));
}

TEST(DeskbandExports, AFailedRegistrationAndAMissingLibraryAnswerZero) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER};
  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  qvtest::ScopedTempDir installDir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  // A file that is no library: regsvr32 runs and fails, and the search finds nothing.
  qvtest::WriteFileBytes(installDir.path() + L"qvdeskband_0.txt", "not a library");
  ASSERT_TRUE(qvtest::WriteRegistryValue(
      HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
      qvtest::WideBytes(installDir.path().substr(0, installDir.path().size() - 1))));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename",
                                         REG_SZ, qvtest::WideBytes(L"qvdeskband_0.txt")));

  qvtest::Library dll;
  auto registerDeskband = QV_EXPORT(dll, QVNSIS_RegisterDeskband);
  auto show = QV_EXPORT(dll, QVNSIS_ShowDeskband);
  ASSERT_NE(registerDeskband, nullptr);
  ASSERT_NE(show, nullptr);
  EXPECT_EQ(registerDeskband(), 0);
  // No qvdeskband_0.dll in the installation: nothing to show.
  EXPECT_EQ(show(), 0);

  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, kRegisterSource),
            std::vector<std::wstring>{L"registration failed"});
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::GetDeskBandDllPath: "),
            std::vector<std::wstring>{L"could not find deskband at " + installDir.path() +
                                      L"qvdeskband_0.dll"});
  EXPECT_TRUE(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::Show: ").empty());
}

namespace {

// Deskband libraries at the root of the test bed's system drive, with the current directory
// there for the scope: where "\qvdeskband_N.dll" points. All removed again at the end.
class LibrariesAtTheDriveRoot {
 public:
  LibrariesAtTheDriveRoot() {
    GetCurrentDirectoryW(MAX_PATH, oldDirectory_);
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    root_ = std::wstring(windows).substr(0, 3);
    SetCurrentDirectoryW(windows);
    for (int number : {0, 1}) {
      const std::wstring path = root_ + L"qvdeskband_" + std::to_wstring(number) + L".dll";
      if (!qvtest::FileExists(path))
        planted_.push_back(qvtest::InstallDeskbandLibrary(root_, number));
    }
  }
  ~LibrariesAtTheDriveRoot() {
    SetCurrentDirectoryW(oldDirectory_);
    for (const std::wstring& path : planted_) DeleteFileW(path.c_str());
    DeleteFileW(qvtest::DeskbandRecordPath(root_).c_str());
  }
  LibrariesAtTheDriveRoot(const LibrariesAtTheDriveRoot&) = delete;
  LibrariesAtTheDriveRoot& operator=(const LibrariesAtTheDriveRoot&) = delete;

  bool planted() const { return planted_.size() == 2; }
  const std::wstring& root() const { return root_; }

 private:
  wchar_t oldDirectory_[MAX_PATH] = {};
  std::wstring root_;
  std::vector<std::wstring> planted_;
};

}  // namespace

// Without an installation directory (no value, an empty one, or a REG_DWORD 0, which reads as
// empty) the library named by "RegisterDeskbandFilename" is not looked for at the root of the
// current drive, where the bare "\<file>" would lead: nothing is registered, started or shown.
TEST(DeskbandExports, WithoutAnInstallationNothingIsRegisteredOrShown) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER};
  qvtest::ScopedDeskbandCleanup cleanup;
  LibrariesAtTheDriveRoot planted;
  ASSERT_TRUE(planted.planted());
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
  } cases[] = {
      {"no InstallDir", REG_NONE, ""},
      {"an empty REG_SZ", REG_SZ, qvtest::WideBytes(L"")},
      {"a REG_DWORD 0", REG_DWORD, qvtest::DwordBytes(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey,
                                           L"RegisterDeskbandFilename", REG_SZ,
                                           qvtest::WideBytes(L"qvdeskband_1.dll")));
    if (c.type != REG_NONE) {
      ASSERT_TRUE(
          qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", c.type, c.bytes));
    }
    qvtest::Library dll;
    EXPECT_EQ(QV_CALL(dll, QVNSIS_RegisterDeskband), 0);
    EXPECT_EQ(QV_CALL(dll, QVNSIS_ShowDeskband), 0);

    EXPECT_FALSE(qvtest::FileExists(qvtest::DeskbandRecordPath(planted.root())))
        << "a planted library ran";
    for (const std::wstring& key : kBuildKeys)
      EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, key)) << key;
    const std::wstring log = qvtest::TodayLogFile(logDir.path());
    const std::vector<std::wstring> notFound = {L"installation directory not found"};
    EXPECT_EQ(qvtest::LogMessagesOf(log, kRegisterSource), notFound);
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::GetDeskBandDllPath: "), notFound);
    EXPECT_TRUE(qvtest::LogMessagesOf(log, kExecuteSource).empty());
    EXPECT_TRUE(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::Show: ").empty());
  }
}

// Windows 11's taskbar hosts no deskbands. Wine cannot report a Windows 11 build, so the injected
// version query stands in, and the exports are this executable's own copy of them. Showing and
// registering answer 0 at once and start nothing; whether a build is registered is answered as
// before. A Windows 10 build with the same setup registers.
TEST(DeskbandExports, OnWindows11ShowAndRegisterAnswerZeroAtOnce) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER};
  qvtest::ScopedDeskbandCleanup cleanup;
  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  qvtest::ScopedTempDir installDir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const std::wstring library = qvtest::InstallDeskbandLibrary(installDir.path(), 1);
  ASSERT_TRUE(qvtest::WriteRegistryValue(
      HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
      qvtest::WideBytes(installDir.path().substr(0, installDir.path().size() - 1))));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename",
                                         REG_SZ, qvtest::WideBytes(L"qvdeskband_1.dll")));
  ASSERT_EQ(qvtest::RunRegsvr32(L"/s \"" + library + L"\""), 0u);
  const std::wstring record = qvtest::DeskbandRecordPath(installDir.path());
  ASSERT_EQ(qvtest::RecordsOfKind(record, L"DllRegisterServer").size(), 1u);

  {
    qvtest::ScopedFakeWindowsVersion windows11(10, 0, qvtest::kWindows11Build);
    EXPECT_EQ(QVNSIS_IsDeskbandRegistered(), 1);
    EXPECT_EQ(QVNSIS_RegisterDeskband(), 0);
    EXPECT_EQ(QVNSIS_ShowDeskband(), 0);
  }
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  const std::vector<std::wstring> noDeskbands = {L"the Windows 11 taskbar hosts no deskbands"};
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVNSIS_RegisterDeskband: "), noDeskbands);
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVNSIS_ShowDeskband: "), noDeskbands);
  EXPECT_EQ(qvtest::LogMessagesOf(log, kLoadSource),
            std::vector<std::wstring>{L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}"});
  EXPECT_TRUE(qvtest::LogMessagesOf(log, kRegisterSource).empty());
  EXPECT_TRUE(qvtest::LogMessagesOf(log, kExecuteSource).empty());
  EXPECT_TRUE(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::Show: ").empty());
  EXPECT_TRUE(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::GetDeskBandDllPath: ").empty());
  EXPECT_EQ(qvtest::RecordsOfKind(record, L"DllRegisterServer").size(), 1u) << "no regsvr32";
  EXPECT_TRUE(qvtest::RecordsOfKind(record, L"RunExplorerPromptHelper").empty());

  {
    qvtest::ScopedFakeWindowsVersion windows10(10, 0, 19045);
    EXPECT_EQ(QVNSIS_RegisterDeskband(), 1);
  }
  EXPECT_EQ(qvtest::RecordsOfKind(record, L"DllRegisterServer").size(), 2u);
}

namespace {

// Registers through the real DLL, then (with "show") shows; exit code: registered * 10 + shown.
QV_TEST_CHILD(register_and_show_deskband) {
  qvtest::Library dll;
  auto registerDeskband = QV_EXPORT(dll, QVNSIS_RegisterDeskband);
  auto showDeskband = QV_EXPORT(dll, QVNSIS_ShowDeskband);
  if (!registerDeskband || !showDeskband) return 100;
  const int registered = registerDeskband();
  const int shown = !args.empty() && args[0] == L"show" ? showDeskband() : 0;
  return registered * 10 + shown;
}

}  // namespace

// Windows 11 and 10 as the system records them, in an installer whose manifest does not declare
// them: GetVersionEx tells it 6.2.9200, Windows 8, as Windows does. The real DLL takes each for
// what it is all the same: on 11 showing and registering answer 0 at once and start nothing, on
// 10 the band is registered.
TEST(DeskbandExports, AnUndeclaredWindows11OrWindows10IsTakenForWhatItIs) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER};
  qvtest::ScopedDeskbandCleanup cleanup;
  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  qvtest::ScopedTempDir installDir;
  const std::wstring library = qvtest::InstallDeskbandLibrary(installDir.path(), 1);
  ASSERT_TRUE(qvtest::WriteRegistryValue(
      HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
      qvtest::WideBytes(installDir.path().substr(0, installDir.path().size() - 1))));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename",
                                         REG_SZ, qvtest::WideBytes(L"qvdeskband_1.dll")));
  const std::wstring record = qvtest::DeskbandRecordPath(installDir.path());
  const std::vector<std::wstring> noDeskbands = {L"the Windows 11 taskbar hosts no deskbands"};
  {
    SCOPED_TRACE("Windows 11");
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    const qvtest::ScopedSystemRelease windows11(10, 0, qvtest::kWindows11Build);
    EXPECT_EQ(qvtest::RunChild(L"register_and_show_deskband", {L"show"}, qvtest::UndeclaredChild())
                  .exitCode,
              0u);
    const std::wstring log = qvtest::TodayLogFile(logDir.path());
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVOS::getWindowsVersion: "),
              std::vector<std::wstring>{L"10.0.22621; WindowsVersion = 11"});
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVNSIS_RegisterDeskband: "), noDeskbands);
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVNSIS_ShowDeskband: "), noDeskbands);
    EXPECT_TRUE(qvtest::LogMessagesOf(log, kExecuteSource).empty());
    EXPECT_TRUE(qvtest::RecordsOfKind(record, L"DllRegisterServer").empty()) << "no regsvr32";
  }
  {
    SCOPED_TRACE("Windows 10");
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    const qvtest::ScopedSystemRelease windows10(10, 0, 19045);
    EXPECT_EQ(
        qvtest::RunChild(L"register_and_show_deskband", {}, qvtest::UndeclaredChild()).exitCode,
        10u);
    const std::wstring log = qvtest::TodayLogFile(logDir.path());
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVOS::getWindowsVersion: "),
              std::vector<std::wstring>{L"10.0.19045; WindowsVersion = 10"});
    EXPECT_TRUE(qvtest::LogMessagesOf(log, L"QVNSIS_RegisterDeskband: ").empty());
    EXPECT_EQ(qvtest::RecordsOfKind(record, L"DllRegisterServer").size(), 1u);
  }
}
