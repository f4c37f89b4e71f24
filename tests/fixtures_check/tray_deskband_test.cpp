#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "fixtures/tray/tray_deskband_interface.h"
#include "foundation/owners/com_initializer.h"
#include "support/deskband_command_record.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/temp_dir.h"
#include "support/tray_server_registration.h"

namespace {

using qvfixture::ITrayDeskBand;
using qvfixture::kClsidTrayDeskBand;
using qvfixture::kIidTrayDeskBand;
using qvtest::DeskbandClsid;

DWORD WindowProcess(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

LRESULT SendRecord(HWND window, WPARAM wParam, std::string& record, ULONG_PTR id = 1) {
  COPYDATASTRUCT data = {};
  data.dwData = id;
  data.cbData = static_cast<DWORD>(record.size());
  data.lpData = &record[0];
  return SendMessageW(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&data));
}

}  // namespace

// Without the registration there is no taskbar deskband object, as in Wine and before
// Windows 7. With it, ShowDeskBand places the registered build's window below the taskbar (in a
// process of its own) and HideDeskBand takes it away; every call is recorded.
TEST(FakeTrayDeskBand, ShowsAndHidesTheBandBelowTheTaskbar) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedDeskbandCleanup cleanup;
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.initialized());
  ITrayDeskBand* tray = nullptr;
  EXPECT_EQ(CoCreateInstance(kClsidTrayDeskBand, nullptr, CLSCTX_ALL, kIidTrayDeskBand,
                             reinterpret_cast<void**>(&tray)),
            REGDB_E_CLASSNOTREG);

  const std::wstring trayRecord = dir.path() + L"tray_record.txt";
  qvtest::ScopedTrayDeskBandServer server(trayRecord);
  const std::wstring folder = dir.path() + L"Tovin Platform\\";
  const std::wstring library = qvtest::InstallDeskbandLibrary(folder, 2);
  ASSERT_EQ(qvtest::RunRegsvr32(L"/s \"" + library + L"\""), 0u);

  ASSERT_EQ(CoCreateInstance(kClsidTrayDeskBand, nullptr, CLSCTX_ALL, kIidTrayDeskBand,
                             reinterpret_cast<void**>(&tray)),
            S_OK);
  EXPECT_EQ(tray->IsDeskBandShown(DeskbandClsid(2)), S_FALSE);
  EXPECT_EQ(tray->ShowDeskBand(DeskbandClsid(4)), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(tray->DeskBandRegistrationChanged(), S_OK);
  EXPECT_EQ(tray->ShowDeskBand(DeskbandClsid(2)), S_OK);

  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  ASSERT_NE(taskbar, nullptr);
  HWND band = qvtest::FindDeskbandWindow();
  ASSERT_NE(band, nullptr);
  EXPECT_TRUE(IsChild(taskbar, band));
  EXPECT_NE(WindowProcess(band), GetCurrentProcessId());
  EXPECT_NE(WindowProcess(band), WindowProcess(taskbar));
  EXPECT_EQ(tray->IsDeskBandShown(DeskbandClsid(2)), S_OK);

  EXPECT_EQ(tray->HideDeskBand(DeskbandClsid(2)), S_OK);
  EXPECT_FALSE(IsWindow(band));
  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  tray->Release();

  const std::wstring clsid2 = qvtest::DeskbandClsidText(2);
  const std::vector<qvtest::Record> expected = {
      {L"IsDeskBandShown", clsid2, L"0x00000001"},
      {L"ShowDeskBand", qvtest::DeskbandClsidText(4), L"0x80040154"},
      {L"DeskBandRegistrationChanged", L"", L"0x00000000"},
      {L"ShowDeskBand", clsid2, L"0x00000000"},
      {L"IsDeskBandShown", clsid2, L"0x00000000"},
      {L"HideDeskBand", clsid2, L"0x00000000"},
  };
  EXPECT_EQ(qvtest::ReadRecords(trayRecord), expected);
  const std::wstring deskbandRecord = qvtest::DeskbandRecordPath(folder);
  EXPECT_EQ(qvtest::RecordsOfKind(deskbandRecord, L"window-created").size(), 1u);
  EXPECT_EQ(qvtest::RecordsOfKind(deskbandRecord, L"window-destroyed").size(), 1u);
  EXPECT_TRUE(qvtest::RecordsOfKind(deskbandRecord, L"command").empty());
}

// The deskband window, placed below the taskbar without the tray object, records each command
// record as received, refuses other WM_COPYDATA data, and closes on command 25.
TEST(FakeDeskbandWindow, RecordsCommandsAndClosesOnCommand25) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedDeskbandCleanup cleanup;
  const std::wstring folder = dir.path() + L"Tovin Platform\\";
  const std::wstring library = qvtest::InstallDeskbandLibrary(folder, 0);
  ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
  ASSERT_TRUE(host);
  HWND band = qvtest::WaitForDeskbandWindow();
  ASSERT_NE(band, nullptr);

  std::string shown = qvtest::DeskbandCommandRecord(60, L"", L"", 0);
  std::string texts = qvtest::DeskbandCommandRecord(7, L"caf\u00e9\ttab", L"second", -3);
  std::string dirty = qvtest::DeskbandCommandRecord(8, L"x", L"", 0);
  dirty[100] = 0x41;  // past the text's terminator: not a zero-filled record
  std::string wrongId = qvtest::DeskbandCommandRecord(60, L"", L"", 0);
  std::string shortRecord(17415, '\0');
  std::string close = qvtest::DeskbandCommandRecord(25, L"", L"", 0);
  EXPECT_EQ(SendRecord(band, 0, shown), TRUE);
  EXPECT_EQ(SendRecord(band, 5, texts), TRUE);
  EXPECT_EQ(SendRecord(band, 0, dirty), TRUE);
  EXPECT_EQ(SendRecord(band, 0, wrongId, 2), FALSE);
  EXPECT_EQ(SendRecord(band, 0, shortRecord), FALSE);
  EXPECT_TRUE(IsWindow(band));
  EXPECT_EQ(SendRecord(band, 0, close), TRUE);
  EXPECT_FALSE(IsWindow(band));
  EXPECT_EQ(WaitForSingleObject(host.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));

  const std::vector<qvtest::Record> expected = {
      {L"command", L"0", L"60", L"", L"", L"0", L"0", L"1"},
      {L"command", L"0", L"7", L"caf\u00e9\ttab", L"second", L"-3", L"5", L"1"},
      {L"command", L"0", L"8", L"x", L"", L"0", L"0", L"0"},
      {L"copydata-rejected", L"0", L"2", L"17416"},
      {L"copydata-rejected", L"0", L"1", L"17415"},
      {L"command", L"0", L"25", L"", L"", L"0", L"0", L"1"},
      {L"window-destroyed", L"0"},
  };
  std::vector<qvtest::Record> records = qvtest::ReadRecords(qvtest::DeskbandRecordPath(folder));
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front()[0], L"window-created");
  records.erase(records.begin());
  EXPECT_EQ(records, expected);
}
