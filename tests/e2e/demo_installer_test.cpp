#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/browsers.h"
#include "e2e/installer_state.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/fixture_records.h"
#include "support/gtest/sqlite_file.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/taskbar_process.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/windows_bits.h"

// The demo installer (examples/demo.nsi, built against this tree's library and simulated
// platform) run silently, as an installer engineer's script would run: its install flow, its
// engine starts and its written uninstaller. Afterwards every call is checked by what it changed:
// the log, the registry, the installed-apps database, the engine's record of its starts and
// stops, the URL the browser got, and the buffers the script logged.
//
// The 32-bit test run on 64-bit Windows (WoW64) runs the 32-bit installer against a platform of the
// Windows's own bitness, as the real one is there: the demo built with the 64-bit engine and
// deskband library (bin/x64), the taskbar's deskband object served by a 64-bit process of its own
// and reached across processes. The checks are the same.

namespace {

constexpr wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
constexpr wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t* const kVerbClasses[] = {L"AllFileSystemObjects", L"Directory", L"Drive", L"lnkfile"};
constexpr wchar_t kUserChoice[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
constexpr wchar_t kTrayDeskBandClass[] =
    L"Software\\Classes\\CLSID\\{E6442437-6C68-4F52-94DD-2CFED267EFB9}";
constexpr char kAppStoreId[] = "6cad4a268d116ece1738f7d93d9c172411e20b8f";

struct LogLine {
  std::wstring process;  // the executable's name as the log cuts it
  std::wstring pid;
  std::wstring message;
};

// "<name, 10 wide> <pid> [<time>] <message>"
std::vector<LogLine> ParseLog(const std::wstring& file) {
  std::vector<LogLine> lines;
  for (const auto& text : qvtest::ReadLogLines(file)) {
    const size_t pidEnd = text.find(L" [", 11);
    const size_t timeEnd = text.find(L"] ", 11);
    if (text.size() < 11 || pidEnd == std::wstring::npos || timeEnd == std::wstring::npos) {
      ADD_FAILURE() << "not a log line: " << qvtest::Utf8(text);
      continue;
    }
    std::wstring name = text.substr(0, 10);
    name.erase(name.find_last_not_of(L' ') + 1);
    lines.push_back({name, text.substr(11, pidEnd - 11), text.substr(timeEnd + 2)});
  }
  return lines;
}

// The messages of each process, by process id, in the log's order; `order` lists the ids as they
// first appear.
struct ProcessLogs {
  std::map<std::wstring, std::vector<std::wstring>> messages;
  std::map<std::wstring, std::wstring> names;
  std::vector<std::wstring> order;
};

ProcessLogs ByProcess(const std::vector<LogLine>& lines) {
  ProcessLogs logs;
  for (const auto& line : lines) {
    if (!logs.messages.count(line.pid)) logs.order.push_back(line.pid);
    logs.messages[line.pid].push_back(line.message);
    logs.names[line.pid] = line.process;
  }
  return logs;
}

// What one expected line must be: the whole message, or its start.
struct Expected {
  std::wstring text;
  bool prefixOnly = false;
};

Expected Exactly(const std::wstring& text) { return {text, false}; }
Expected StartsWith(const std::wstring& text) { return {text, true}; }

bool Matches(const std::wstring& message, const Expected& expected) {
  return expected.prefixOnly ? message.compare(0, expected.text.size(), expected.text) == 0
                             : message == expected.text;
}

// Each expected line appears, in this order, among the messages (others may come between).
void ExpectInOrder(const std::vector<std::wstring>& messages, const std::vector<Expected>& expected,
                   const std::string& who) {
  size_t at = 0;
  for (const auto& line : expected) {
    auto found = std::find_if(messages.begin() + static_cast<std::ptrdiff_t>(at), messages.end(),
                              [&](const std::wstring& m) { return Matches(m, line); });
    if (found == messages.end()) {
      std::string seen;
      for (const auto& m : messages) seen += "\n  " + qvtest::Utf8(m);
      ADD_FAILURE() << who << ": missing, or out of order: \"" << qvtest::Utf8(line.text) << "\"\n"
                    << "its messages:" << seen;
      return;
    }
    at = static_cast<size_t>(found - messages.begin()) + 1;
  }
}

size_t CountMatching(const std::vector<std::wstring>& messages, const Expected& expected) {
  return static_cast<size_t>(
      std::count_if(messages.begin(), messages.end(),
                    [&](const std::wstring& m) { return Matches(m, expected); }));
}

// A 32-bit test on 64-bit Windows.
bool UnderWow64() { return sizeof(void*) == 4 && qvtest::WindowsIs64Bit(); }

using qve2e::LocalAppData;
using qve2e::ReadString;

class DemoInstaller : public ::testing::Test {
 protected:
  DemoInstaller() : platform_(LocalAppData() + L"\\Tovin\\") {
    // Every key the demo writes is put back as it was; the platform folder it fills is removed.
    for (const wchar_t* key : {kTovinKey, kUserChoice}) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
    }
    for (const wchar_t* verbClass : kVerbClasses) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(
          HKEY_CURRENT_USER, std::wstring(kClasses) + verbClass + L"\\shell\\tovin"));
    }
    for (const wchar_t* key : {L"tovin", L"QvDemoBrowserURL"}) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER,
                                                                   std::wstring(kClasses) + key));
    }
    // The demo's stand-in taskbar object, which it removes itself.
    saved_.push_back(
        std::make_unique<qvtest::ScopedRegistryKey>(HKEY_LOCAL_MACHINE, kTrayDeskBandClass));
    qvtest::RemoveTree(platform_);
  }
  ~DemoInstaller() override {
    taskbar_.reset();
    qvtest::TerminateEveryEngine();
    qvtest::RemoveTree(platform_);
  }

  // Runs the demo installer silently with this test's temporary directory (and so its own log).
  void RunDemo() {
    const std::wstring setup =
        qvtest::ExecutableDirectory() +
        (UnderWow64() ? L"qvnsis-demo-setup-wow64.exe" : L"qvnsis-demo-setup.exe");
    ASSERT_TRUE(qvtest::FileExists(setup)) << "the build makes the demo installer beside the tests";
    if (UnderWow64()) {
      CreateDirectoryW((temp_.path() + L"qvnsis-demo").c_str(), nullptr);
      taskbar_ = std::make_unique<qvtest::ScopedTaskbarProcess>(
          trayRecord(), qvtest::ScopedTaskbarProcess::Misbehaviour{},
          qvtest::ExecutableDirectory() + L"x64\\");
      ASSERT_TRUE(taskbar_->ready()) << "the 64-bit taskbar process registered its class";
    }
    // A copy left by an earlier release that Explorer has let go of: the next release or unload
    // deletes it.
    CreateDirectoryW(qve2e::ReleaseFolder().c_str(), nullptr);
    qvtest::WriteFileBytes(staleCopy(), "a release copy no process holds");
    copiesBefore_ = qve2e::FilesBelow(qve2e::ReleaseFolder());
    started_ = time(nullptr);
    ASSERT_EQ(qvtest::WaitForExit(qvtest::StartProgram(setup, L"/S"), 180000), 0u);
    finished_ = time(nullptr);
    logs_ = ByProcess(ParseLog(qvtest::TodayLogFile(temp_.path())));
  }

  // The one process of this executable name (as the log cuts it) that logged `marker`.
  const std::vector<std::wstring>& ProcessWith(const std::wstring& name,
                                               const std::wstring& marker) {
    static const std::vector<std::wstring> none;
    for (const auto& pid : logs_.order) {
      const auto& messages = logs_.messages[pid];
      if (logs_.names[pid] == name &&
          std::find(messages.begin(), messages.end(), marker) != messages.end()) {
        return messages;
      }
    }
    ADD_FAILURE() << "no " << qvtest::Utf8(name) << " process logged " << qvtest::Utf8(marker);
    return none;
  }

  std::vector<const std::vector<std::wstring>*> ProcessesNamed(const std::wstring& name) {
    std::vector<const std::vector<std::wstring>*> found;
    for (const auto& pid : logs_.order) {
      if (logs_.names[pid] == name) found.push_back(&logs_.messages[pid]);
    }
    return found;
  }

  std::wstring engine() const { return platform_ + L"Engine\\tovin.exe"; }
  std::wstring staleCopy() const { return qve2e::ReleaseFolder() + L"qvnsis-1.dll"; }
  std::wstring trayRecord() const { return temp_.path() + L"qvnsis-demo\\tray_record.txt"; }

  qvtest::ScopedTempDir temp_;
  qvtest::ScopedTempEnv tempEnv_{temp_.path()};
  qvtest::ScopedDeskbandCleanup deskband_;
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved_;
  std::wstring platform_;
  time_t started_ = 0, finished_ = 0;
  std::vector<std::wstring> copiesBefore_;
  ProcessLogs logs_;
  // Under WoW64 only.
  std::unique_ptr<qvtest::ScopedTaskbarProcess> taskbar_;
};

TEST_F(DemoInstaller, EveryCallOfTheInstallAndUninstallFlowsDoesWhatItsReferenceSays) {
  RunDemo();
  if (HasFatalFailure()) return;
  const std::wstring today = qvtest::TodayText();

  // The installer process: each export's lines, and the buffers the script filled and logged.
  const auto& installer = ProcessWith(L"qvnsis-dem", L"demo: install flow started");
  ExpectInOrder(
      installer,
      {Exactly(L"DllMain: started"),
       Exactly(L"demo: install flow started"),
       StartsWith(L"Version: Win7 (" + qvtest::WindowsBitsText() + L") - OS Language: "),
       Exactly(L"demo: a message with non-ASCII text: Z\u00fcrich, T\u014dky\u014d"),
       Exactly(L"demo: default install directory: %LOCALAPPDATA%\\Tovin"),
       Exactly(L"demo: string 105 in the installer language: Uninstall Tovin"),
       StartsWith(L"QVNSIS_SetInstallDate: storing install date of " + today + L" / "),
       Exactly(L"QVNSIS_SetInstallDate: install date is already set"),
       Exactly(L"PlatformExplorerUtils::RegisterContextMenuHandlers: registering"),
       Exactly(L"PlatformExplorerUtils::RegisterProtocolHandler: registering"),
       Exactly(L"PlatformExplorerUtils::RegisterContextMenuHandlers: registering"),
       Exactly(L"PlatformExplorerUtils::RegisterProtocolHandler: registering"),
       Exactly(L"QVNSIS_LoadFavorites: Adding favorite to sideloading: Notes"),
       Exactly(L"QVNSIS_LoadFavorites: Adding favorite to sideloading: Calendar"),
       Exactly(L"QVNSIS_LoadFavorites: Adding favorite to sideloading: Z\u00fcrich Weather"),
       Exactly(L"QVNSIS_PinAppStore: pinning app store to the taskbar"),
       Exactly(L"demo: QVNSIS_PinAppStore returned 1"),
       Exactly(L"QVNSIS_PinAppStore: pinning app store to the taskbar"),
       Exactly(L"QVDeskbandUtil::LoadInstalledCLSID: NOT FOUND"),
       Exactly(L"demo: deskband registered: 0"),
       Exactly(L"_ShellExecute: executed '" + qvtest::SystemProgram(L"regsvr32.exe") +
               L"' with /s \"" + platform_ + L"qvdeskband_0.dll\""),
       Exactly(L"QVDeskbandUtil::LoadInstalledCLSID: " + qvtest::DeskbandClsidText(0)),
       Exactly(L"demo: deskband registration: 1"),
       Exactly(L"QVDeskbandUtil::Show: ITrayDeskBand::ShowDeskBand returned success"),
       Exactly(L"QVDeskbandUtil::Show: GetDeskBandHWND returned a value"),
       Exactly(L"demo: deskband shown: 1"),
       Exactly(L"QVNSIS_SetWindowImage: can't load resource BANNER"),
       Exactly(L"demo: QVNSIS_SetWindowImage failed"),
       StartsWith(L"QVNSIS_SetWindowImageFromFile: can't load file " + temp_.path()),
       Exactly(L"demo: QVNSIS_SetWindowImageFromFile failed"),
       Exactly(L"demo: the image control shows a 320 x 120 bitmap"),
       Exactly(L"demo: QVNSIS_StartProgressTextTimer failed"),
       Exactly(L"demo: progress text timer on the main window: 0"),
       StartsWith(L"QVNSIS_PrepareWindow: (err: "),
       Exactly(L"demo: QVNSIS_PrepareWindow failed"),
       Exactly(L"demo: install flow finished"),
       Exactly(L"_ShellExecute: executed '" + engine() + L"' with /SIDELOAD"),
       Exactly(L"_ShellExecute: executed '" + engine() + L"' with /PLATFORMINSTALLED /OPEN\"abc\""),
       Exactly(L"_ShellExecute: executed '" + engine() + L"' with /PLATFORMINSTALLED"),
       StartsWith(L"demo: engine window: ")},
      "installer");
  EXPECT_EQ(CountMatching(installer, StartsWith(L"QVNSIS_SetInstallDate: storing")), 1u);
  // The macros' error flag: set by exactly the calls above that failed (the library has no BANNER
  // resource, the second file is missing, a silent installer has no window to animate or
  // prepare), and by no call that did its work; an answer of 0 from QVNSIS_IsDeskbandRegistered
  // is no failure.
  std::vector<std::wstring> failed;
  for (const auto& message : installer) {
    if (message.compare(0, 6, L"demo: ") == 0 && message.size() > 7 &&
        message.compare(message.size() - 7, 7, L" failed") == 0) {
      failed.push_back(message);
    }
  }
  EXPECT_EQ(failed, (std::vector<std::wstring>{L"demo: QVNSIS_SetWindowImage failed",
                                               L"demo: QVNSIS_SetWindowImageFromFile failed",
                                               L"demo: QVNSIS_StartProgressTextTimer failed",
                                               L"demo: QVNSIS_PrepareWindow failed"}));
  EXPECT_EQ(CountMatching(installer, Exactly(L"")), 0u) << "NULL and empty messages write nothing";
  EXPECT_EQ(CountMatching(installer, Exactly(L"demo: engine window: 0")), 0u)
      << "the engine stayed up";
  // The database's tables are created once; the second pin finds the app pinned.
  EXPECT_EQ(CountMatching(
                installer,
                StartsWith(L"QVObjectDatabase::createTableFromObjectProperties: CREATE TABLE ")),
            4u);

  // The rundll32 entries: two releases of the deskband library, the platform launch, then the
  // uninstaller's two releases.
  const auto releases = ProcessesNamed(L"rundll32");
  ASSERT_EQ(releases.size(), 5u);
  for (size_t i : {0, 1, 3, 4}) {
    ExpectInOrder(*releases[i],
                  {Exactly(L"DllMain: started"), Exactly(L"RunFreeDeskbandW: hook ready"),
                   Exactly(L"RunFreeDeskbandW: success event signalled")},
                  "deskband release " + std::to_string(i + 1));
  }
  ExpectInOrder(*releases[2],
                {Exactly(L"RunLaunchPlatformW: menu not enabled; sleeping for 500msec"),
                 Exactly(L"_ShellExecute: executed '" + engine() + L"' with ")},
                "platform launch");

  // The written uninstaller, run in place; none of its calls failed.
  const auto& uninstaller = ProcessWith(L"demo-unins", L"demo: uninstall flow started");
  ExpectInOrder(uninstaller,
                {Exactly(L"DllMain: started"), Exactly(L"demo: uninstall flow started"),
                 Exactly(L"_ShellExecute: executed '" + engine() + L"' with /QUIT"),
                 Exactly(L"UltimateTerminateAllTovinProcesses: shut down all tovin processes"),
                 Exactly(L"demo: QVNSIS_StopTovin returned 1"),
                 Exactly(L"_ShellExecute: executed '" + engine() + L"' with /UNINSTALLING"),
                 Exactly(L"demo: uninstall flow finished")},
                "uninstaller");
  EXPECT_EQ(CountMatching(uninstaller, StartsWith(L"demo: QVNSIS_")), 1u)
      << "only StopTovin's result line";

  // Nothing of the library stays in the temporary folder, and nothing is queued for deletion at
  // the next reboot (which a user without administrator rights cannot ask for on Windows): both
  // processes unloaded it, so NSIS could delete their plug-ins folders, and the copies Explorer
  // loaded for the releases are in the release folder. There, every copy left is one Explorer
  // still holds (Wine's never lets go of one); the one it had let go of is gone.
  qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the install and uninstall");
  for (const auto& queued :
       qve2e::PendingBelow(qve2e::PendingFileRenames(), qve2e::ReleaseFolder())) {
    ADD_FAILURE() << "queued for deletion at the next reboot: " << qvtest::Utf8(queued);
  }
  EXPECT_FALSE(qvtest::FileExists(staleCopy())) << "the release folder was swept";
  size_t newCopies = 0;
  for (const auto& copy : qve2e::FilesBelow(qve2e::ReleaseFolder())) {
    if (std::find(copiesBefore_.begin(), copiesBefore_.end(), copy) == copiesBefore_.end())
      ++newCopies;
    EXPECT_FALSE(DeleteFileW((qve2e::ReleaseFolder() + copy).c_str()))
        << qvtest::Utf8(copy) << " was left though no process held it";
  }
  // Each process ran its copy again for its second release, Explorer holding it still (Wine's
  // Explorer never lets go): one copy for the installer's two releases, one for the uninstaller's.
  EXPECT_EQ(newCopies, 2u);

  // The deskband library: registered by regsvr32, shown by the taskbar object, closed by the
  // uninstaller's command 25, then unregistered by it.
  std::vector<std::wstring> deskbandEvents;
  for (const auto& entry : qvtest::ReadRecords(qvtest::DeskbandRecordPath(platform_))) {
    std::wstring event = entry[0];
    if (event == L"command" && entry.size() > 2) event += L" " + entry[2];
    if (event != L"RunExplorerPromptHelper") deskbandEvents.push_back(event);
  }
  EXPECT_EQ(deskbandEvents,
            (std::vector<std::wstring>{L"DllRegisterServer", L"window-created", L"command 25",
                                       L"window-destroyed", L"DllUnregisterServer"}));
  // Its prompt helper ran, in a rundll32.exe of the Windows's own bitness: the one that can load
  // the library, which has that bitness.
  const auto helpers =
      qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(platform_), L"RunExplorerPromptHelper");
  ASSERT_FALSE(helpers.empty()) << "the prompt helper was started";
  for (const auto& helper : helpers) {
    ASSERT_EQ(helper.size(), 6u);
    EXPECT_EQ(helper[2], L"1") << "it signalled the ready event";
    EXPECT_EQ(helper[5], qvtest::WindowsIs64Bit() ? L"64" : L"32");
  }
  // Unregistered from the view the 64-bit Explorer reads.
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_CURRENT_USER, qvtest::DeskbandClassKeys()[0],
                                         qve2e::kPlatformView));
  const auto shows = qvtest::RecordsOfKind(trayRecord(), L"ShowDeskBand");
  ASSERT_EQ(shows.size(), 1u);
  EXPECT_EQ(shows[0][1], qvtest::DeskbandClsidText(0));

  // The engine's own record: every start, in order, and each of them gone again.
  const std::wstring record = platform_ + L"Engine\\tovin_record.txt";
  std::vector<std::wstring> starts;
  std::vector<std::wstring> startedPids, exitedPids;
  for (const auto& entry : qvtest::RecordsOfKind(record, L"start")) {
    ASSERT_GE(entry.size(), 3u);
    starts.push_back(entry[2]);
    startedPids.push_back(entry[1]);
  }
  for (const auto& entry : qvtest::RecordsOfKind(record, L"exit")) exitedPids.push_back(entry[1]);
  EXPECT_EQ(starts,
            (std::vector<std::wstring>{L"", L"/SIDELOAD", L"/PLATFORMINSTALLED /OPEN\"abc\"",
                                       L"/PLATFORMINSTALLED", L"/QUIT", L"/UNINSTALLING"}));
  std::sort(startedPids.begin(), startedPids.end());
  std::sort(exitedPids.begin(), exitedPids.end());
  EXPECT_EQ(exitedPids, startedPids) << "every engine started has ended";
  const auto closes = qvtest::RecordsOfKind(record, L"close-request");
  ASSERT_EQ(closes.size(), 1u) << "the running engine was asked to quit once";
  ASSERT_GE(closes[0].size(), 3u);
  EXPECT_EQ(closes[0][2], L"quit");
  if (startedPids.size() == 6) {
    EXPECT_EQ(closes[0][1], qvtest::RecordsOfKind(record, L"start")[3][1])
        << "the engine RunTovin started";
  }
  EXPECT_EQ(qvtest::TerminateEveryEngine(), 0u) << "no tovin.exe is left running";

  // The registry: install date, client id, favourites, Explorer verbs, URL protocol.
  DWORD type = 0;
  EXPECT_EQ(ReadString(kTovinKey, L"InstallDate", &type), today);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  qvtest::RegistryValue utc;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDate2", &utc,
                                        qve2e::kPlatformView));
  ASSERT_EQ(utc.type, static_cast<DWORD>(REG_QWORD));
  ASSERT_EQ(utc.bytes.size(), 8u);
  unsigned long long seconds = 0;
  memcpy(&seconds, utc.bytes.data(), 8);
  EXPECT_GE(seconds, static_cast<unsigned long long>(started_));
  EXPECT_LE(seconds, static_cast<unsigned long long>(finished_));
  const std::wstring clientId = ReadString(kTovinKey, L"ClientId");
  EXPECT_EQ(clientId.size(), 36u) << qvtest::Utf8(clientId);

  const std::wstring favorites = std::wstring(kTovinKey) + L"\\Sideload\\Favorites";
  EXPECT_EQ(ReadString(favorites, L"0"), L"Notes");
  EXPECT_EQ(ReadString(favorites, L"1"), L"Calendar");
  EXPECT_EQ(ReadString(favorites, L"2"), L"Z\u00fcrich Weather");
  EXPECT_EQ(ReadString(favorites, L"3"), L"<missing>") << "the blank line takes no number";

  for (const wchar_t* verbClass : kVerbClasses) {
    SCOPED_TRACE(qvtest::Utf8(verbClass));
    const std::wstring verb = std::wstring(kClasses) + verbClass + L"\\shell\\tovin";
    EXPECT_EQ(ReadString(verb, L"", &type), L"Add to Tovin Menu");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadString(verb + L"\\command", L"", &type),
              L"\"%LOCALAPPDATA%\\Tovin\\Engine\\tovin.exe\" /ADDFAVORITE\"%1\"");
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  }
  const std::wstring protocol = std::wstring(kClasses) + L"tovin";
  EXPECT_EQ(ReadString(protocol, L""), L"URL:Tovin Protocol");
  EXPECT_EQ(ReadString(protocol, L"URL Protocol", &type), L"");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadString(protocol + L"\\shell\\open\\command", L"", &type),
            L"\"%LOCALAPPDATA%\\Tovin\\Engine\\tovin.exe\" \"%1\"");
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ReadString(kTovinKey, L"AnalyticsAccepted"), L"<missing>") << "no dialog was prepared";
  EXPECT_FALSE(qvtest::RegistryKeyExists(HKEY_LOCAL_MACHINE, kTrayDeskBandClass))
      << "the demo cleaned up";

  // The installed-apps database: created with its tables, the app store pinned in one row.
  {
    qvtest::SqliteFile database(platform_ + L"Tovines\\installed_tovines.db");
    auto tables = database.tables();
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"features", "settings", "tovines", "tovinstate"}));
    EXPECT_EQ(database.rows("SELECT id_or_folder, feature_list FROM features"),
              (qvtest::SqlRows{{kAppStoreId, "+pinned"}}));
  }

  // The uninstall survey, in the browser the user chose for http, tagged with the client id.
  const auto urls = qvtest::WaitForArguments(temp_.path() + L"qvnsis-demo\\browser.exe", 1);
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_NE(urls[0].find(L"uninstall-feedback?i=" + clientId + L"\""), std::wstring::npos)
      << qvtest::Utf8(urls[0]);
}

}  // namespace
