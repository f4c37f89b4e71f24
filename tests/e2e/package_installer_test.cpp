#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "e2e/installer_state.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"

// The package as an installer engineer gets it (tests/e2e/prepare_package.py made the zip,
// unpacked it into a scratch NSIS folder and beside a script of the engineer's own, and built the
// examples there unchanged, for this test's bitness): each installer and its uninstaller run
// silently here, and afterwards nothing of the library is left in the temporary folder or queued
// for deletion at the next reboot.

namespace {

constexpr wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";

std::wstring Built() { return qvtest::ExecutableDirectory() + L"package\\"; }

class PackageInstaller : public testing::Test {
 protected:
  PackageInstaller() : installDir_(qve2e::LocalAppData() + L"\\Tovin\\") {
    saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, kTovinKey));
    for (const wchar_t* key : qve2e::kExplorerRegistrationKeys) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
    }
    qvtest::RemoveTree(installDir_);
  }
  ~PackageInstaller() override {
    qvtest::TerminateEveryEngine();
    qvtest::RemoveTree(installDir_);
  }

  // Runs `program` silently with `arguments` and waits for it; true when it ended with 0.
  bool RunSilently(const std::wstring& program, const std::wstring& arguments = L"/S") {
    if (!qvtest::FileExists(program)) {
      ADD_FAILURE() << qvtest::Utf8(program) << " was not built";
      return false;
    }
    const DWORD exitCode = qvtest::WaitForExit(qvtest::StartProgram(program, arguments), 180000);
    EXPECT_EQ(exitCode, 0u) << qvtest::Utf8(program);
    return exitCode == 0;
  }

  // Installs with the installer built as `name`, uninstalls with `uninstaller` from the
  // installation folder, and checks what is left after each.
  void InstallAndUninstall(const std::wstring& name, const std::wstring& uninstaller) {
    SCOPED_TRACE(qvtest::Utf8(name));
    if (!RunSilently(Built() + name + L".exe")) return;
    qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the install");
    if (!RunSilently(installDir_ + uninstaller,
                     L"/S _?=" + installDir_.substr(0, installDir_.size() - 1)))
      return;
    qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the uninstall");
  }

  std::vector<std::wstring> Messages() const { return qvtest::TodaysLogMessages(temp_.path()); }

  bool Logged(const std::wstring& message) const {
    const auto messages = Messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }

  std::wstring Version() const {
    const std::string text = qvtest::ReadFileBytes(Built() + L"version.txt");
    return std::wstring(text.begin(), std::find(text.begin(), text.end(), '\n'));
  }

  std::wstring installDir_;
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved_;
  qvtest::ScopedDeskbandCleanup deskband_;
  qvtest::ScopedTempDir temp_;
  qvtest::ScopedTempEnv tempEnv_{temp_.path()};
};

}  // namespace

// Unpacked into the NSIS folder, as the package's README says first.
TEST_F(PackageInstaller, TheExamplesBuiltInTheNsisFolderInstallAndUninstall) {
  InstallAndUninstall(L"nsis-minimal", L"uninstall.exe");
  EXPECT_TRUE(Logged(L"minimal: installed to " + installDir_.substr(0, installDir_.size() - 1) +
                     L", the user's own folder"));
  EXPECT_TRUE(Logged(L"minimal: uninstalled, engines stopped: 1"));
  InstallAndUninstall(L"nsis-demo", L"demo-uninstall.exe");
  EXPECT_TRUE(Logged(L"demo: install flow finished"));
  EXPECT_TRUE(Logged(L"demo: uninstall flow finished"));
}

// Unpacked beside the engineer's own script, which names it with QVNSIS_PLUGINDIR and
// !addincludedir; the examples inside it build as they are too.
TEST_F(PackageInstaller, TheExamplesAndAScriptBesideThePackageInstallAndUninstall) {
  InstallAndUninstall(L"project-minimal", L"uninstall.exe");
  EXPECT_TRUE(Logged(L"minimal: uninstalled, engines stopped: 1"));
  InstallAndUninstall(L"project-demo", L"demo-uninstall.exe");
  EXPECT_TRUE(Logged(L"demo: uninstall flow finished"));
  InstallAndUninstall(L"project-user", L"uninstall.exe");
  EXPECT_TRUE(Logged(L"user script: qvnsis " + Version()))
      << "the package's qvnsis.nsh carries its version";
  EXPECT_TRUE(Logged(L"user script: installed"));
  EXPECT_FALSE(Logged(L"user script: no install date"));
  EXPECT_FALSE(Logged(L"user script: the release was not confirmed"))
      << "the release ran with the DLLs found through QVNSIS_PLUGINDIR";
  EXPECT_TRUE(Logged(L"user script: uninstalled, engines stopped: 1"));
}
