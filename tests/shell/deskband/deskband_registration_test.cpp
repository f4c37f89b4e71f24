#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/deskband/qv_deskband_util.h"
#include "support/fake_deskband.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
// Where each deskband build registers its class.
const std::vector<std::wstring> kBuildKeys = qvtest::DeskbandClassKeys();
const wchar_t kLoadSource[] = L"QVDeskbandUtil::LoadInstalledCLSID: ";
const wchar_t kPathSource[] = L"QVDeskbandUtil::GetDeskBandDllPath: ";

bool Register(HKEY root, int build) {
  return qvtest::WriteRegistryValue(root, kBuildKeys[build], L"", REG_SZ,
                                    qvtest::WideBytes(L"Tovin"));
}

}  // namespace

TEST(DeskbandRegistration, NoBuildThenBuildThreeIsFoundByTheNextSearch) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  qvtest::ScopedTempDir install;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const std::wstring installDir = install.path() + L"Tovin Apps";
  ASSERT_TRUE(CreateDirectoryW(installDir.c_str(), nullptr));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                         qvtest::WideBytes(installDir)));

  // Nothing registered: every call searches again, and the library path falls back to build 0.
  EXPECT_FALSE(QVDeskbandUtil::LoadInstalledCLSID());
  EXPECT_FALSE(QVDeskbandUtil::IsRegisteredMachineWide());
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandDllPath(), L"");
  qvtest::WriteFileBytes(installDir + L"\\qvdeskband_0.dll", "MZ");
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandDllPath(), installDir + L"\\qvdeskband_0.dll");

  ASSERT_TRUE(Register(HKEY_CURRENT_USER, 3));
  EXPECT_TRUE(QVDeskbandUtil::LoadInstalledCLSID());
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandDllPath(), L"");
  qvtest::WriteFileBytes(installDir + L"\\qvdeskband_3.dll", "MZ");
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandDllPath(), installDir + L"\\qvdeskband_3.dll");
  // Per-user only so far.
  EXPECT_FALSE(QVDeskbandUtil::IsRegisteredMachineWide());
  ASSERT_TRUE(Register(HKEY_LOCAL_MACHINE, 3));
  EXPECT_TRUE(QVDeskbandUtil::IsRegisteredMachineWide());

  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, kLoadSource),
            (std::vector<std::wstring>{L"NOT FOUND", L"NOT FOUND", L"NOT FOUND", L"NOT FOUND",
                                       L"{36F675CC-81E7-4EF5-A8E2-5D940ED90475}"}));
  EXPECT_EQ(qvtest::LogMessagesOf(log, kPathSource),
            (std::vector<std::wstring>{
                L"could not find deskband at " + installDir + L"\\qvdeskband_0.dll",
                installDir + L"\\qvdeskband_0.dll",
                L"could not find deskband at " + installDir + L"\\qvdeskband_3.dll",
                installDir + L"\\qvdeskband_3.dll",
            }));
}

TEST(DeskbandRegistration, TheLowestRegisteredBuildIsChosen) {
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  ASSERT_TRUE(Register(HKEY_CURRENT_USER, 3));
  ASSERT_TRUE(Register(HKEY_CURRENT_USER, 1));
  // Machine-wide only for a build that is not the one chosen.
  ASSERT_TRUE(Register(HKEY_LOCAL_MACHINE, 3));

  EXPECT_TRUE(QVDeskbandUtil::LoadInstalledCLSID());
  EXPECT_FALSE(QVDeskbandUtil::IsRegisteredMachineWide());
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kLoadSource),
            std::vector<std::wstring>{L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}"});
}
