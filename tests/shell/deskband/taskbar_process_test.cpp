#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/owners/com_initializer.h"
#include "shell/deskband/deskband_removal.h"
#include "shell/deskband/qv_deskband_util.h"
#include "shell/deskband/taskbar_deskband.h"
#include "support/deskband_show_log.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/taskbar_process.h"
#include "support/temp_dir.h"

// The taskbar's deskband object in a process of its own, as in Explorer: every call crosses into
// that process through COM. It can die in the middle of a call or never answer one; the
// library's call ends within its limit either way (checked with a wide margin, three times the
// limit), says so in the log, and a taskbar that registers afterwards is served in full.

namespace {

const wchar_t kShowSource[] = L"QVDeskbandUtil::Show: ";
const wchar_t kRemoveSource[] = L"RemoveDeskBandFromTaskBar: ";
const wchar_t kBuild1Text[] = L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}";
const wchar_t kPlatformBandText[] = L"{DB5B5FAB-8F4D-4E27-9DA1-494C73CF256D}";

ULONGLONG Since(ULONGLONG start) { return GetTickCount64() - start; }

HRESULT Call(TaskbarDeskBand& tray, const std::wstring& method) {
  CLSID band = {};
  CLSIDFromString(kPlatformBandText, &band);
  if (method == L"ShowDeskBand") return tray.showDeskBand(band);
  if (method == L"HideDeskBand") return tray.hideDeskBand(band);
  return tray.deskBandRegistrationChanged();
}

}  // namespace

// Show tells the taskbar of the new registration, then asks it to show the band, and the next
// attempt detects it; removal asks it to hide the platform's band. All served by the taskbar's
// process, in that order.
TEST(TaskbarProcess, ShowAndRemovalAreServedByTheTaskbarsProcess) {
  qvtest::ScopedInstalledDeskband band(L"Tovin");
  ASSERT_TRUE(band.ok());
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedDeskbandCleanup cleanup;
  const std::wstring record = band.root() + L"tray.txt";
  qvtest::ScopedTaskbarProcess taskbar(record, {});
  ASSERT_TRUE(taskbar.ready());
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.initialized());

  EXPECT_TRUE(QVDeskbandUtil::Show());
  EXPECT_NE(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_TRUE(RemoveDeskBandFromTaskBar());

  const std::vector<qvtest::Record> expected = {
      {L"registered", std::to_wstring(taskbar.processId())},
      {L"DeskBandRegistrationChanged", L"", L"0x00000000"},
      {L"ShowDeskBand", kBuild1Text, L"0x00000000"},
      {L"HideDeskBand", kPlatformBandText, L"0x00000000"},
  };
  EXPECT_EQ(qvtest::ReadRecords(record), expected);
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, kShowSource),
            (std::vector<std::wstring>{
                L"attempt 1", L"detect = 0", L"could not detect deskband",
                L"installing window hook", L"notifying tray of deskband registration change",
                L"started ExplorerPromptHelper", L"TovinExplorerPromptHelperReadyEvent return = 0",
                L"ITrayDeskBand::ShowDeskBand returned success", L"attempt 2", L"detect = 0",
                L"GetDeskBandHWND returned a value"}));
  EXPECT_TRUE(qvtest::LogMessagesOf(log, kRemoveSource).empty());
}

// Each call, with the taskbar's process dying in it or never answering it: the call ends within
// its limit with its log line, and the holder asks that taskbar nothing more (a hung one not even
// when told to ask again). A taskbar process
// that registers afterwards answers a new holder.
TEST(TaskbarProcess, ACallEndsWhenTheTaskbarDiesOrHangsInIt) {
  struct Case {
    const wchar_t* method;
    bool dies;
  } cases[] = {
      {L"ShowDeskBand", true},  {L"HideDeskBand", true},  {L"DeskBandRegistrationChanged", true},
      {L"ShowDeskBand", false}, {L"HideDeskBand", false}, {L"DeskBandRegistrationChanged", false},
  };
  const wchar_t kSource[] = L"TaskbarProcessTest: ";
  for (const auto& c : cases) {
    const std::wstring method = c.method;
    SCOPED_TRACE((c.dies ? L"dies in " : L"hangs in ") + method);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv logEnv(dir.path());
    const std::wstring record = dir.path() + L"tray.txt";
    const std::wstring clsidText =
        method == L"DeskBandRegistrationChanged" ? L"" : kPlatformBandText;
    {
      qvtest::ScopedTaskbarProcess::Misbehaviour misbehaviour;
      (c.dies ? misbehaviour.dieIn : misbehaviour.hangIn) = method;
      qvtest::ScopedTaskbarProcess taskbar(record, misbehaviour);
      ASSERT_TRUE(taskbar.ready());
      TaskbarDeskBand tray(kSource);
      ASSERT_TRUE(tray.create());

      const ULONGLONG start = GetTickCount64();
      const HRESULT result = Call(tray, method);
      const ULONGLONG took = Since(start);
      EXPECT_LT(took, 3u * TaskbarDeskBand::kCallTimeoutMs);
      EXPECT_TRUE(FAILED(result)) << std::hex << result;
      EXPECT_TRUE(tray.unanswered());
      const auto lines = qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), kSource);
      ASSERT_EQ(lines.size(), 1u);
      if (c.dies) {
        EXPECT_TRUE(qvtest::IsErrorLine(lines[0], L"taskbar gone during " + method)) << lines[0];
        EXPECT_EQ(WaitForSingleObject(taskbar.process(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
            << "died";
      } else {
        EXPECT_EQ(result, TaskbarDeskBand::kNotAnswered);
        EXPECT_GE(took, TaskbarDeskBand::kCallTimeoutMs - 100) << "the taskbar was given its time";
        EXPECT_EQ(lines[0], L"taskbar did not answer " + method + L" within 5000 ms");
        // Ended here rather than left to its scope, which would first wait for it to quit.
        TerminateProcess(taskbar.process(), 1);
      }
      // Not asked again: no wait, no call, no further line.
      const ULONGLONG again = GetTickCount64();
      EXPECT_EQ(tray.deskBandRegistrationChanged(), TaskbarDeskBand::kNotAnswered);
      EXPECT_FALSE(tray.create());
      if (!c.dies) {
        // Only a taskbar that went away may be asked again; a hung one never is.
        tray.askAgainIfGone();
        EXPECT_EQ(tray.deskBandRegistrationChanged(), TaskbarDeskBand::kNotAnswered);
      }
      EXPECT_LT(Since(again), 1000u);
      EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), kSource).size(), 1u);
      const std::vector<qvtest::Record> expected = {
          {L"registered", std::to_wstring(taskbar.processId())},
          {method, clsidText, c.dies ? L"died" : L"hung"},
      };
      EXPECT_EQ(qvtest::ReadRecords(record), expected);
    }

    // The next taskbar, in a new process, is found and answers.
    const std::wstring nextRecord = dir.path() + L"next_tray.txt";
    qvtest::ScopedTaskbarProcess next(nextRecord, {});
    ASSERT_TRUE(next.ready());
    TaskbarDeskBand tray(kSource);
    ASSERT_TRUE(tray.create());
    EXPECT_EQ(tray.deskBandRegistrationChanged(), S_OK);
    EXPECT_FALSE(tray.unanswered());
    EXPECT_EQ(qvtest::ReadRecords(nextRecord),
              (std::vector<qvtest::Record>{{L"registered", std::to_wstring(next.processId())},
                                           {L"DeskBandRegistrationChanged", L"", L"0x00000000"}}));
    EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), kSource).size(), 1u);
  }
}

// The taskbar's process dies while hiding the band at removal: removal goes on with the command
// to the band's window and takes it down. Removal with the next taskbar process is served by it.
TEST(TaskbarProcess, RemovalFinishesWhenTheTaskbarDiesInHideDeskBand) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedDeskbandCleanup cleanup;
  const std::wstring library = qvtest::InstallDeskbandLibrary(dir.path(), 0);
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  {
    const std::wstring record = dir.path() + L"tray.txt";
    qvtest::ScopedTaskbarProcess taskbar(record, {L"", L"HideDeskBand"});
    ASSERT_TRUE(taskbar.ready());
    ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
    ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);

    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(RemoveDeskBandFromTaskBar());
    EXPECT_LT(Since(start),
              3u * (TaskbarDeskBand::creationLimitMs() + TaskbarDeskBand::kCallTimeoutMs));

    EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
    EXPECT_TRUE(qvtest::Ended(host, 5000));
    EXPECT_EQ(WaitForSingleObject(taskbar.process(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "died";
    const auto lines = qvtest::LogMessagesOf(log, kRemoveSource);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(qvtest::IsErrorLine(lines[0], L"taskbar gone during HideDeskBand")) << lines[0];
    EXPECT_EQ(qvtest::RecordsOfKind(record, L"HideDeskBand"),
              (std::vector<qvtest::Record>{{L"HideDeskBand", kPlatformBandText, L"died"}}));
    const auto commands = qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(dir.path()), L"command");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0][2], L"25");
  }

  const std::wstring nextRecord = dir.path() + L"next_tray.txt";
  qvtest::ScopedTaskbarProcess next(nextRecord, {});
  ASSERT_TRUE(next.ready());
  ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
  ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);
  EXPECT_TRUE(RemoveDeskBandFromTaskBar());
  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_TRUE(qvtest::Ended(host, 5000));
  EXPECT_EQ(qvtest::RecordsOfKind(nextRecord, L"HideDeskBand"),
            (std::vector<qvtest::Record>{{L"HideDeskBand", kPlatformBandText, L"0x00000000"}}));
  EXPECT_EQ(qvtest::LogMessagesOf(log, kRemoveSource).size(), 1u) << "nothing more to say";
}

// Explorer hangs while the taskbar object is created. With Windows's limit (the test bed's longer
// one taken away for the scope) the whole removal holds to its 5 s: the creation uses them up,
// and the one round still made asks the deskband window, which closes the band.
TEST(TaskbarProcess, RemovalHoldsToItsFiveSecondsWhenTheTaskbarHangsInCreation) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedDeskbandCleanup cleanup;
  const qvtest::ScopedRegistryValue windowsLimit(
      HKEY_CURRENT_USER, L"Software\\Wine\\qvnsis test bed", L"TaskbarCreationLimitMs", REG_DWORD,
      std::string(4, '\0'));
  ASSERT_EQ(TaskbarDeskBand::creationLimitMs(), TaskbarDeskBand::kCreateTimeoutMs);
  const std::wstring library = qvtest::InstallDeskbandLibrary(dir.path(), 0);
  const std::wstring record = dir.path() + L"tray.txt";
  qvtest::ScopedTaskbarProcess taskbar(record, {L"CreateInstance", L""});
  ASSERT_TRUE(taskbar.ready());
  ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
  ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);

  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(RemoveDeskBandFromTaskBar());
  const ULONGLONG took = Since(start);
  EXPECT_GE(took, TaskbarDeskBand::kCreateTimeoutMs - 100) << "the taskbar was given its time";
  EXPECT_LT(took, 5000u + 1000u + 1000u) << "5 s, one command's limit, and slack for Wine";

  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_TRUE(qvtest::Ended(host, 5000));
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kRemoveSource),
            std::vector<std::wstring>{L"taskbar did not answer creation within 5000 ms"});
  EXPECT_EQ(qvtest::RecordsOfKind(record, L"CreateInstance"),
            (std::vector<qvtest::Record>{{L"CreateInstance", L"", L"hung"}}));
  const auto commands = qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(dir.path()), L"command");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0][2], L"25");
  // Ended here rather than left to its scope, which would first wait for it to quit.
  TerminateProcess(taskbar.process(), 1);
}

// The creation's limit is Windows's, 5 s; the test bed's own key (read only under Wine) raises it,
// never past a minute nor below Windows's.
TEST(TaskbarProcess, TheTestBedsKeyRaisesTheCreationLimitWithinItsBounds) {
  const wchar_t key[] = L"Software\\Wine\\qvnsis test bed";
  auto limitWith = [&](DWORD value) {
    const qvtest::ScopedRegistryValue setting(
        HKEY_CURRENT_USER, key, L"TaskbarCreationLimitMs", REG_DWORD,
        std::string(reinterpret_cast<const char*>(&value), 4));
    return TaskbarDeskBand::creationLimitMs();
  };
  EXPECT_EQ(limitWith(20000), 20000u);
  EXPECT_EQ(limitWith(1000), TaskbarDeskBand::kCreateTimeoutMs);
  EXPECT_EQ(limitWith(3600000), TaskbarDeskBand::kTestBedCreateLimitMaxMs);
  {
    // Text is no number of milliseconds.
    const qvtest::ScopedRegistryValue text(HKEY_CURRENT_USER, key, L"TaskbarCreationLimitMs",
                                           REG_SZ, qvtest::WideBytes(L"20000"));
    EXPECT_EQ(TaskbarDeskBand::creationLimitMs(), TaskbarDeskBand::kCreateTimeoutMs);
  }
  {
    const qvtest::ScopedRegistryKey gone(HKEY_CURRENT_USER, key);
    EXPECT_EQ(TaskbarDeskBand::creationLimitMs(), TaskbarDeskBand::kCreateTimeoutMs);
  }
  // The test bed sets it for every test: Wine takes seconds to fail a class nobody registered.
  EXPECT_EQ(TaskbarDeskBand::creationLimitMs(), 30000u);
}

// The taskbar's process dies while asked to show the band. As on Windows, its class goes with it
// (a watcher forgets it once the process has ended). Show asks that taskbar nothing more in the
// attempt and goes on: with no taskbar back it ends within its attempts, by detection alone; with
// Explorer restarted (a new taskbar process registering the object) a later attempt asks the new
// one, which shows the band, and Show succeeds.
TEST(TaskbarProcess, ShowGoesOnWhenTheTaskbarDiesInShowDeskBand) {
  for (const bool restarts : {false, true}) {
    SCOPED_TRACE(restarts ? "the taskbar restarts" : "no taskbar comes back");
    qvtest::ScopedInstalledDeskband band(L"Tovin");
    ASSERT_TRUE(band.ok());
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    qvtest::ScopedDeskbandCleanup cleanup;
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(com.initialized());
    const std::wstring log = qvtest::TodayLogFile(logDir.path());
    const std::wstring record = band.root() + L"tray.txt";
    const std::wstring nextRecord = band.root() + L"next_tray.txt";

    std::unique_ptr<qvtest::ScopedTaskbarProcess> next;
    qvtest::ScopedTaskbarProcess taskbar(record, {L"", L"ShowDeskBand"});
    ASSERT_TRUE(taskbar.ready());
    bool forgotten = false;
    std::thread watcher([&] {
      if (WaitForSingleObject(taskbar.process(), 60000) != WAIT_OBJECT_0) return;
      forgotten = qvtest::ForgetClassesOfEndedServers();
      if (restarts)
        next = std::make_unique<qvtest::ScopedTaskbarProcess>(
            nextRecord, qvtest::ScopedTaskbarProcess::Misbehaviour{});
    });

    const ULONGLONG start = GetTickCount64();
    const bool shown = QVDeskbandUtil::Show();
    const ULONGLONG took = Since(start);
    watcher.join();
    EXPECT_TRUE(forgotten);
    EXPECT_EQ(WaitForSingleObject(taskbar.process(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "died";
    EXPECT_EQ(qvtest::ReadRecords(record),
              (std::vector<qvtest::Record>{{L"registered", std::to_wstring(taskbar.processId())},
                                           {L"DeskBandRegistrationChanged", L"", L"0x00000000"},
                                           {L"ShowDeskBand", kBuild1Text, L"died"}}));
    const auto lines = qvtest::LogMessagesOf(log, kShowSource);
    const std::vector<std::wstring> first = {L"attempt 1",
                                             L"detect = 0",
                                             L"could not detect deskband",
                                             L"installing window hook",
                                             L"notifying tray of deskband registration change",
                                             L"started ExplorerPromptHelper",
                                             L"TovinExplorerPromptHelperReadyEvent return = 0"};
    ASSERT_GT(lines.size(), first.size() + 2);
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + first.size()), first);
    EXPECT_TRUE(qvtest::IsErrorLine(lines[first.size()], L"taskbar gone during ShowDeskBand"))
        << lines[first.size()];
    EXPECT_EQ(lines[first.size() + 1], L"ITrayDeskBand::ShowDeskBand returned failure");

    if (!restarts) {
      EXPECT_FALSE(shown);
      // One creation, one call, a ready wait of 5 s, four attempts of ten 500 ms detections and
      // four creations that find no class.
      EXPECT_LT(took, 3u * (5 * TaskbarDeskBand::creationLimitMs() +
                            TaskbarDeskBand::kCallTimeoutMs + 5000 + 4 * 5000));
      const std::vector<std::wstring> rest = qvtest::ShowLogAfterTheFirstAttempt({});
      EXPECT_EQ(std::vector<std::wstring>(lines.begin() + first.size() + 2, lines.end()), rest);
      continue;
    }
    ASSERT_TRUE(next && next->ready());
    EXPECT_TRUE(shown);
    EXPECT_NE(qvtest::FindDeskbandWindow(), nullptr);
    EXPECT_EQ(qvtest::RecordsOfKind(nextRecord, L"ShowDeskBand"),
              (std::vector<qvtest::Record>{{L"ShowDeskBand", kBuild1Text, L"0x00000000"}}));
    // The new taskbar was told of the registration and asked to show the band in a later attempt
    // (which one depends on when it registered), and the attempt after that found the window.
    const std::vector<std::wstring> later(lines.begin() + first.size() + 2, lines.end());
    const std::vector<std::wstring> shownTail = {L"ITrayDeskBand::ShowDeskBand returned success"};
    EXPECT_NE(std::search(later.begin(), later.end(), shownTail.begin(), shownTail.end()),
              later.end());
    EXPECT_EQ(later.back(), L"GetDeskBandHWND returned a value");
    next.reset();
  }
}
