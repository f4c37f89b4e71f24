#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"

// The deskband exports of the real DLL, with regsvr32.exe of the system registering a library
// of the test fixtures.

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
// Where each deskband build registers its class.
const std::vector<std::wstring> kBuildKeys = qvtest::DeskbandClassKeys();
const wchar_t kRegisterSource[] = L"QVDeskbandUtil::RegisterIfRequired: ";
const wchar_t kLoadSource[] = L"QVDeskbandUtil::LoadInstalledCLSID: ";
const wchar_t kExecuteSource[] = L"_ShellExecute: ";

using Export = int(__cdecl*)();

class ScopedDeskbandRegistrations {
 public:
  ScopedDeskbandRegistrations() {
    for (const std::wstring& key : kBuildKeys) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
    }
  }

 private:
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved_;
};

std::wstring SystemFile(const wchar_t* name) {
  wchar_t directory[MAX_PATH] = {};
  GetSystemDirectoryW(directory, MAX_PATH);
  return std::wstring(directory) + L"\\" + name;
}

}  // namespace

TEST(DeskbandExports, RegisterRunsTheSystemsRegsvr32OnTheNamedLibrary) {
  ScopedDeskbandRegistrations registrations;
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
  auto registerDeskband = dll.get<Export>("QVNSIS_RegisterDeskband");
  auto isRegistered = dll.get<Export>("QVNSIS_IsDeskbandRegistered");
  ASSERT_NE(registerDeskband, nullptr);
  ASSERT_NE(isRegistered, nullptr);

  // No file name configured: nothing is started.
  EXPECT_EQ(isRegistered(), 0);
  EXPECT_EQ(registerDeskband(), 0);
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_TRUE(qvtest::LogMessagesOf(log, kExecuteSource).empty());

  // Build 3 already registered: registration is forced all the same, and the search that follows
  // finds the lower build 1 the library registered.
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kBuildKeys[3], L"", REG_SZ, qvtest::WideBytes(L"x")));
  EXPECT_EQ(isRegistered(), 1);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename", REG_SZ,
                                         qvtest::WideBytes(L"qv deskband 1.dll")));
  EXPECT_EQ(registerDeskband(), 1);
  EXPECT_EQ(isRegistered(), 1);

  qvtest::RegistryValue server;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, std::wstring(kBuildKeys[1]) + L"\\InprocServer32",
                                        L"", &server));
  EXPECT_EQ(server.bytes, qvtest::WideBytes(library));

  EXPECT_EQ(qvtest::LogMessagesOf(log, kRegisterSource),
            (std::vector<std::wstring>{L"RegisterDeskbandFilename not present in registry", L"success"}));
  // Started by its full path in the system directory, never found by a search for its bare name.
  EXPECT_EQ(qvtest::LogMessagesOf(log, kExecuteSource),
            std::vector<std::wstring>{L"executed '" + SystemFile(L"regsvr32.exe") + L"' with /s \"" + library + L"\""});
  EXPECT_EQ(qvtest::LogMessagesOf(log, kLoadSource),
            (std::vector<std::wstring>{L"NOT FOUND", L"{36F675CC-81E7-4EF5-A8E2-5D940ED90475}",
                                       L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}"}));
}

TEST(DeskbandExports, AFailedRegistrationAndAMissingLibraryAnswerZero) {
  ScopedDeskbandRegistrations registrations;
  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  qvtest::ScopedTempDir installDir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  // A file that is no library: regsvr32 runs and fails, and the search finds nothing.
  qvtest::WriteFileBytes(installDir.path() + L"qvdeskband_0.txt", "not a library");
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                         qvtest::WideBytes(installDir.path().substr(0, installDir.path().size() - 1))));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename", REG_SZ,
                                         qvtest::WideBytes(L"qvdeskband_0.txt")));

  qvtest::Library dll;
  auto registerDeskband = dll.get<Export>("QVNSIS_RegisterDeskband");
  auto show = dll.get<Export>("QVNSIS_ShowDeskband");
  ASSERT_NE(registerDeskband, nullptr);
  ASSERT_NE(show, nullptr);
  EXPECT_EQ(registerDeskband(), 0);
  // No qvdeskband_0.dll in the installation: nothing to show.
  EXPECT_EQ(show(), 0);

  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, kRegisterSource), std::vector<std::wstring>{L"registration failed"});
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::GetDeskBandDllPath: "),
            std::vector<std::wstring>{L"could not find deskband at " + installDir.path() + L"qvdeskband_0.dll"});
  EXPECT_TRUE(qvtest::LogMessagesOf(log, L"QVDeskbandUtil::Show: ").empty());
}
