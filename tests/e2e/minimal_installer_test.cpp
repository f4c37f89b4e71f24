#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "e2e/installer_state.h"
#include "support/child_process.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"

// The packaged minimal example (examples/minimal.nsi, built against this run's library) installs,
// then its written uninstaller removes: each checked by the registry it left and by the lines
// that the installer's and the uninstaller's processes logged.

namespace {

constexpr wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const auto& kRegisteredKeys = qve2e::kExplorerRegistrationKeys;

using qve2e::LocalAppData;
using qve2e::ReadString;

// The messages of today's log written by processes of this name (as the log cuts it to 10).
std::vector<std::wstring> MessagesOf(const std::wstring& logFile, const std::wstring& process) {
  std::vector<std::wstring> messages;
  for (const auto& line : qvtest::ReadLogLines(logFile)) {
    std::wstring name = line.substr(0, 10);
    name.erase(name.find_last_not_of(L' ') + 1);
    const size_t timeEnd = line.find(L"] ", 11);
    if (name == process && timeEnd != std::wstring::npos)
      messages.push_back(line.substr(timeEnd + 2));
  }
  return messages;
}

bool Has(const std::vector<std::wstring>& messages, const std::wstring& start) {
  return std::any_of(messages.begin(), messages.end(),
                     [&](const std::wstring& m) { return m.compare(0, start.size(), start) == 0; });
}

class MinimalInstaller : public ::testing::Test {
 protected:
  MinimalInstaller() : installDir_(LocalAppData() + L"\\Tovin") {
    saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, kTovinKey));
    for (const wchar_t* key : kRegisteredKeys) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
    }
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
    qvtest::RemoveTree(installDir_ + L"\\");
  }
  ~MinimalInstaller() override { qvtest::RemoveTree(installDir_ + L"\\"); }

  std::wstring log() const { return qvtest::TodayLogFile(temp_.path()); }

  qvtest::ScopedTempDir temp_;
  qvtest::ScopedTempEnv tempEnv_{temp_.path()};
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved_;
  std::wstring installDir_;
};

TEST_F(MinimalInstaller, InstallsRegistersThenItsUninstallerRemovesWhatItAdded) {
  const std::wstring setup = qvtest::ExecutableDirectory() + L"qvnsis-minimal-setup.exe";
  ASSERT_TRUE(qvtest::FileExists(setup))
      << "the build makes the minimal installer beside the tests";
  ASSERT_EQ(qvtest::WaitForExit(qvtest::StartProgram(setup, L"/S"), 60000), 0u);

  // Installed: the folder recorded unexpanded, the date of a first install, the verb and protocol.
  DWORD type = 0;
  EXPECT_EQ(ReadString(kTovinKey, L"InstallDir", &type), L"%LOCALAPPDATA%\\Tovin");
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ReadString(kTovinKey, L"InstallDate"), qvtest::TodayText());
  const std::wstring clientId = ReadString(kTovinKey, L"ClientId");
  EXPECT_EQ(clientId.size(), 36u) << qvtest::Utf8(clientId);
  for (const wchar_t* key : kRegisteredKeys) {
    EXPECT_TRUE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, key)) << qvtest::Utf8(key);
  }
  EXPECT_EQ(ReadString(L"Software\\Classes\\tovin\\shell\\open\\command", L""),
            L"\"%LOCALAPPDATA%\\Tovin\\Engine\\tovin.exe\" \"%1\"");
  const std::wstring uninstaller = installDir_ + L"\\uninstall.exe";
  ASSERT_TRUE(qvtest::FileExists(uninstaller));

  const auto installer = MessagesOf(log(), L"qvnsis-min");
  EXPECT_TRUE(Has(installer, L"DllMain: started"));
  EXPECT_TRUE(Has(installer, L"minimal: install started"));
  EXPECT_TRUE(Has(installer, L"QVNSIS_SetInstallDate: got install date from system"))
      << "the date is recorded before the folder exists";
  EXPECT_TRUE(Has(installer, L"PlatformExplorerUtils::RegisterContextMenuHandlers: registering"));
  EXPECT_TRUE(Has(installer, L"PlatformExplorerUtils::RegisterProtocolHandler: registering"));
  EXPECT_TRUE(Has(installer, L"minimal: installed to " + installDir_ + L", the user's own folder"))
      << "a quote in the text reaches the log whole";
  EXPECT_FALSE(Has(installer, L"minimal: no install date")) << "every call did its work";
  EXPECT_FALSE(Has(installer, L"minimal: the ")) << "every call did its work";
  // The example unloads the library in its silent runs, so NSIS deletes its plug-ins folder.
  qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the install");

  // Uninstalled in place (_?=), so that this process waits for it.
  ASSERT_EQ(qvtest::WaitForExit(qvtest::StartProgram(uninstaller, L"/S _?=" + installDir_), 60000),
            0u);
  for (const wchar_t* key : kRegisteredKeys) {
    EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, key)) << qvtest::Utf8(key);
  }
  EXPECT_EQ(ReadString(kTovinKey, L"InstallDir"), L"<missing>");
  EXPECT_EQ(ReadString(kTovinKey, L"InstallDate"), qvtest::TodayText())
      << "a reinstall keeps the first date";
  EXPECT_EQ(ReadString(kTovinKey, L"ClientId"), clientId);

  const auto uninstall = MessagesOf(log(), L"uninstall");
  EXPECT_TRUE(Has(uninstall, L"DllMain: started"));
  EXPECT_TRUE(Has(uninstall, L"minimal: uninstall started"));
  EXPECT_TRUE(Has(uninstall, L"minimal: uninstalled, engines stopped: 1")) << "no engine ran";
  qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the uninstall");
}

}  // namespace
