#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>
#include <vector>

#include "foundation/owners/com_initializer.h"
#include "shell/deskband/deskband_command_message.h"
#include "shell/deskband/deskband_removal.h"
#include "shell/deskband/qv_deskband_util.h"
#include "shell/deskband/taskbar_deskband.h"
#include "support/deskband_show_log.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/hung_deskband_window.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/tray_server_registration.h"

// Explorer that stops answering: a deskband window whose thread hangs, a taskbar object whose
// calls do not return. Every call ends within its limit (checked here with a wide margin, three
// times the limit) and says so in the log.

namespace {

const wchar_t kSendSource[] = L"SendDeskbandCommand: ";
const wchar_t kRemoveSource[] = L"RemoveDeskBandFromTaskBar: ";
const wchar_t kShowSource[] = L"QVDeskbandUtil::Show: ";
// Far longer than any limit: the taskbar object's calls never come back within a test.
constexpr DWORD kHungCallMs = 600000;

ULONGLONG Since(ULONGLONG start) { return GetTickCount64() - start; }

}  // namespace

TEST(HungDeskband, ACommandEndsWithinItsLimitAndIsLoggedAsNotAnswered) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::HungDeskbandWindow hung;
  ASSERT_NE(hung.get(), nullptr);

  uint64_t result = 77;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(SendDeskbandCommand(hung.get(), 0, kDeskbandCommandClose, L"", &result, L"", 0),
            kDeskbandCommandNotAnswered);
  EXPECT_LT(Since(start), 3 * kDeskbandCommandTimeoutMs);
  EXPECT_EQ(result, 77u) << "no answer to hand out";
  const auto lines = qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kSendSource);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(qvtest::IsErrorLine(lines[0], L"the deskband window did not answer command 25"))
      << lines[0];

  // No window: nothing to wait for, nothing to log.
  EXPECT_EQ(SendDeskbandCommand(nullptr, 0, kDeskbandCommandClose, L"", &result, L"", 0),
            kDeskbandCommandSent);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kSendSource).size(), 1u);
}

// Rounds of 500 ms for 5 s, each command bounded: given up, logged, and the call returns. No
// taskbar object here, as before Windows 7.
TEST(HungDeskband, RemovalGivesUpAHungWindowAfterItsRounds) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::HungDeskbandWindow hung;
  ASSERT_NE(hung.get(), nullptr);
  ASSERT_EQ(QVDeskbandUtil::GetDeskBandHWND(), hung.get());

  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(RemoveDeskBandFromTaskBar());
  // The rounds with one command limit, three times over, beside the creation's own limit (Wine
  // looks for the missing taskbar object for seconds).
  EXPECT_LT(Since(start),
            3u * (5000 + 500 + kDeskbandCommandTimeoutMs) + TaskbarDeskBand::creationLimitMs());

  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, kRemoveSource),
            std::vector<std::wstring>{L"couldn't close deskband"});
  const auto sends = qvtest::LogMessagesOf(log, kSendSource);
  ASSERT_FALSE(sends.empty());
  for (const auto& line : sends)
    EXPECT_TRUE(qvtest::IsErrorLine(line, L"the deskband window did not answer command 25"))
        << line;
}

// The taskbar object hangs in HideDeskBand: after its limit it is left alone, and the command to
// the deskband window still takes the band down.
TEST(HungTaskbar, RemovalGoesOnWithTheCommandWhenHideDeskBandHangs) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedDeskbandCleanup cleanup;
  const std::wstring trayRecord = dir.path() + L"tray.txt";
  qvtest::ScopedTrayDeskBandServer tray(trayRecord);
  tray.setCallDelay(kHungCallMs);
  const std::wstring library = qvtest::InstallDeskbandLibrary(dir.path(), 0);
  ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
  ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);

  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(RemoveDeskBandFromTaskBar());
  // The call has what is left of the removal's 5 s, and the command its own limit after it.
  EXPECT_LT(Since(start), 3u * (5000 + kDeskbandCommandTimeoutMs));
  EXPECT_GE(Since(start), 5000u - 100) << "the taskbar was given the removal's time";

  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  const auto commands = qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(dir.path()), L"command");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0][2], L"25");
  const auto lines = qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kRemoveSource);
  ASSERT_EQ(lines.size(), 1u);
  const std::wstring prefix = L"taskbar did not answer HideDeskBand within ";
  ASSERT_EQ(lines[0].compare(0, prefix.size(), prefix), 0) << qvtest::Utf8(lines[0]);
  const unsigned long limit = std::wcstoul(lines[0].c_str() + prefix.size(), nullptr, 10);
  EXPECT_GT(limit, 4000u) << qvtest::Utf8(lines[0]);
  EXPECT_LE(limit, 5000u) << qvtest::Utf8(lines[0]);
  EXPECT_TRUE(qvtest::ReadRecords(trayRecord).empty()) << "the call is still held";
}

// The taskbar object hangs from its first call: one wait of its limit, then no more calls; the
// attempts go on by detection alone and end as they do without a band.
TEST(HungTaskbar, ShowAsksAHungTaskbarOnceAndEndsWithinItsAttempts) {
  qvtest::ScopedInstalledDeskband band(L"Tovin");
  ASSERT_TRUE(band.ok());
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const std::wstring record = band.root() + L"tray.txt";
  qvtest::ScopedTrayDeskBandServer tray(record);
  tray.setCallDelay(kHungCallMs);
  qvtest::ScopedDeskbandCleanup cleanup;
  {
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(com.initialized());

    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(QVDeskbandUtil::Show());
    // One taskbar call, a ready wait of 5 s and four attempts of ten 500 ms detections.
    EXPECT_LT(Since(start), 3u * (TaskbarDeskBand::kCallTimeoutMs + 5000 + 4 * 5000));
  }

  const std::vector<std::wstring> expected = qvtest::ShowLogAfterTheFirstAttempt(
      {L"attempt 1", L"detect = 0", L"could not detect deskband", L"installing window hook",
       L"notifying tray of deskband registration change",
       L"taskbar did not answer DeskBandRegistrationChanged within 5000 ms",
       L"started ExplorerPromptHelper", L"TovinExplorerPromptHelperReadyEvent return = 0",
       L"ITrayDeskBand::ShowDeskBand returned failure"});
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kShowSource), expected);
  EXPECT_TRUE(qvtest::ReadRecords(record).empty()) << "no call came back";
}
