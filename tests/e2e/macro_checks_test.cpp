#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/installer_state.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/windows_bits.h"

// The macros of qvnsis.nsh in a silent installer built against this tree's library
// (tests/e2e/macro_checks.nsi): what each tells the script through NSIS's error flag, its result
// variable and the stack, with the library missing, with calls that fail and calls that work;
// the deskband's release; the unload. The installer writes what it saw to macro_checks.txt in
// its temporary folder.

namespace {

constexpr wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
constexpr wchar_t kProtocolKey[] = L"Software\\Classes\\tovin";
constexpr wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\";

bool UnderWow64() { return sizeof(void*) == 4 && qvtest::WindowsIs64Bit(); }

class Macros : public testing::Test {
 protected:
  Macros() { qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey); }

  // Runs the checks under `name` (the log and Wine's per-program settings go by it); what they
  // wrote, name by name.
  std::map<std::wstring, std::wstring> Run(const std::wstring& name) {
    std::map<std::wstring, std::wstring> seen;
    const std::wstring built = qvtest::ExecutableDirectory() + L"qvnsis-macro-checks.exe";
    const std::wstring setup = programs_.path() + name;
    EXPECT_TRUE(CopyFileW(built.c_str(), setup.c_str(), FALSE))
        << "the build makes the installer beside the tests";
    EXPECT_EQ(qvtest::WaitForExit(qvtest::StartProgram(setup, L"/S"), 120000), 0u);
    // NSIS's FileWrite writes the installer's ANSI code page; every text here is ASCII.
    const std::string text = qvtest::ReadFileBytes(temp_.path() + L"macro_checks.txt");
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      const std::wstring line(text.begin() + static_cast<std::ptrdiff_t>(start),
                              text.begin() + static_cast<std::ptrdiff_t>(end));
      const size_t equals = line.find(L'=');
      if (equals != std::wstring::npos) seen[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return seen;
  }

  // The messages of the day's log written by processes of this name, as the log cuts it.
  std::vector<std::wstring> MessagesOf(const std::wstring& process) const {
    std::vector<std::wstring> messages;
    for (const auto& line : qvtest::ReadLogLines(qvtest::TodayLogFile(temp_.path()))) {
      std::wstring who = line.substr(0, 10);
      who.erase(who.find_last_not_of(L' ') + 1);
      const size_t timeEnd = line.find(L"] ", 11);
      if (who == process && timeEnd != std::wstring::npos)
        messages.push_back(line.substr(timeEnd + 2));
    }
    return messages;
  }

  qvtest::ScopedRegistryKey settings_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedRegistryKey protocol_{HKEY_CURRENT_USER, kProtocolKey};
  qvtest::ScopedDeskbandCleanup deskband_;
  qvtest::ScopedTempDir programs_;
  qvtest::ScopedTempDir temp_;
  qvtest::ScopedTempEnv tempEnv_{temp_.path()};
};

}  // namespace

TEST_F(Macros, TellTheScriptWhatEachCallDid) {
  const auto seen = Run(L"qvnsis-macro-checks.exe");
  const std::map<std::wstring, std::wstring> expected = {
      // No library to call: the flag, whatever the kind of call, and the stack as it was.
      {L"missing-library.status", L"1"},
      {L"missing-library.input", L"1"},
      {L"missing-library.result", L"1"},
      {L"missing-library.stack", L"below"},
      // The log leaves the flag alone.
      {L"log.after-set", L"1"},
      {L"log.after-clear", L"0"},
      // A call that works clears a flag set before it; one that fails sets it.
      {L"string-105.flag", L"0"},
      {L"string-105.text", L"Uninstall Tovin"},
      {L"string-117.flag", L"1"},
      {L"string-117.text", L"string id 117 missing"},
      {L"favorites-missing.flag", L"1"},
      {L"protocol-no-installation.flag", L"1"},
      // 0 as an answer, and 0 as a failure.
      {L"deskband-registered.flag", L"0"},
      {L"deskband-registered.result", L"0"},
      {L"register-deskband.flag", L"1"},
      {L"register-deskband.result", L"0"},
      {L"stop.flag", L"0"},
      {L"stop.result", L"1"},
      {L"kept.r8", L"r8 kept"},
      {L"kept.r9", L"r9 kept"},
      // The release, confirmed by Explorer; the unload, and a later call loading the library again.
      {L"release.flag", L"0"},
      {L"release.r0", L"r0 kept"},
      {L"unload.flag", L"0"},
      {L"unload.module", L"0"},
      {L"reload.flag", L"0"},
      {L"unload-again.flag", L"0"},
      {L"unload-unloaded.flag", L"0"},
  };
  EXPECT_EQ(seen, expected);

  // The release ran in its own rundll32.exe, from a copy in the release folder.
  const auto release = MessagesOf(L"rundll32");
  EXPECT_NE(std::find(release.begin(), release.end(), L"RunFreeDeskbandW: success event signalled"),
            release.end());
  qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the checks");
}

// 64-bit XP and Server 2003 run 32-bit installers, but not the 64-bit DLL (it needs Vista): there
// the release runs nothing, and says so by the flag. Wine tells the installer it is 64-bit
// Windows XP when its per-program version says so, as RtlGetVersion does on Windows.
TEST_F(Macros, TheReleaseRunsNothingOn64BitWindowsBeforeVista) {
  if (!UnderWow64()) GTEST_SKIP() << "a 32-bit installer on 64-bit Windows (WoW64) only";
  const std::wstring name = L"qvnsis-xp64-checks.exe";
  qvtest::ScopedRegistryKey appDefaults(HKEY_CURRENT_USER, kAppDefaults + name);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kAppDefaults + name, L"Version", REG_SZ,
                                         qvtest::WideBytes(L"winxp64")));
  const auto seen = Run(name);
  EXPECT_EQ(seen.at(L"release.flag"), L"1");
  EXPECT_EQ(seen.at(L"release.r0"), L"r0 kept");
  EXPECT_TRUE(MessagesOf(L"rundll32").empty()) << "no rundll32.exe was started";
  EXPECT_EQ(seen.at(L"unload.flag"), L"0");
}
