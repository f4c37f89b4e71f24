#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "fixtures/tray/tray_deskband_interface.h"
#include "foundation/owners/com_initializer.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/taskbar_process.h"
#include "support/temp_dir.h"

namespace {

using qvfixture::ITrayDeskBand;
using qvfixture::kClsidTrayDeskBand;
using qvfixture::kIidTrayDeskBand;
using qvtest::DeskbandClsid;

ITrayDeskBand* CreateTray(HRESULT* result) {
  ITrayDeskBand* tray = nullptr;
  *result = CoCreateInstance(kClsidTrayDeskBand, nullptr, CLSCTX_ALL, kIidTrayDeskBand,
                             reinterpret_cast<void**>(&tray));
  return tray;
}

}  // namespace

// The object lives in the taskbar's process: the caller holds a proxy (which answers IMultiQI,
// as only COM's proxies do), each call is marshalled there and served by that process, whose id
// the record names and which is not the caller's.
TEST(TaskbarProcess, CallsCrossIntoTheTaskbarsProcess) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedDeskbandCleanup cleanup;
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.initialized());
  const std::wstring record = dir.path() + L"tray.txt";
  qvtest::ScopedTaskbarProcess taskbar(record, {});
  ASSERT_TRUE(taskbar.ready());
  const std::wstring folder = dir.path() + L"Tovin Platform\\";
  const std::wstring library = qvtest::InstallDeskbandLibrary(folder, 2);
  ASSERT_EQ(qvtest::RunRegsvr32(L"/s \"" + library + L"\""), 0u);

  HRESULT created = E_FAIL;
  ITrayDeskBand* tray = CreateTray(&created);
  ASSERT_EQ(created, S_OK);
  ASSERT_NE(tray, nullptr);
  IUnknown* multiQi = nullptr;
  EXPECT_EQ(tray->QueryInterface(IID_IMultiQI, reinterpret_cast<void**>(&multiQi)), S_OK);
  if (multiQi) multiQi->Release();

  EXPECT_EQ(tray->IsDeskBandShown(DeskbandClsid(2)), S_FALSE);
  EXPECT_EQ(tray->DeskBandRegistrationChanged(), S_OK);
  EXPECT_EQ(tray->ShowDeskBand(DeskbandClsid(2)), S_OK);
  EXPECT_NE(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_EQ(tray->HideDeskBand(DeskbandClsid(2)), S_OK);
  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  tray->Release();

  ASSERT_NE(taskbar.processId(), GetCurrentProcessId());
  const std::wstring clsid2 = qvtest::DeskbandClsidText(2);
  const std::vector<qvtest::Record> expected = {
      {L"registered", std::to_wstring(taskbar.processId())},
      {L"IsDeskBandShown", clsid2, L"0x00000001"},
      {L"DeskBandRegistrationChanged", L"", L"0x00000000"},
      {L"ShowDeskBand", clsid2, L"0x00000000"},
      {L"HideDeskBand", clsid2, L"0x00000000"},
  };
  EXPECT_EQ(qvtest::ReadRecords(record), expected);
}
