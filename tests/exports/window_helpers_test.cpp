#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/browsers.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/test_dialog.h"

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kSurveyPage[] = L"http://support.tovin.com/customer/portal/articles/812342-tovin-uninstall-feedback?i=";

QV_TEST_CHILD(open_uninstall_survey) {
  qvtest::Library library;
  auto open = library.get<void(__cdecl*)()>("QVNSIS_OpenUninstallSurvey");
  if (!open) return 2;
  open();
  return 0;
}

// An installer page prepared by the real library with the flag set, then OK clicked.
// Exit code: 0 when every step answered as expected, else the number of the step that did not.
QV_TEST_CHILD(prepare_page_and_click_ok) {
  qvtest::Library library;
  auto prepare = library.get<void(__cdecl*)(HWND, int)>("QVNSIS_PrepareWindow");
  auto startTimer = library.get<UINT_PTR(__cdecl*)(HWND)>("QVNSIS_StartProgressTextTimer");
  if (!prepare || !startTimer) return 2;

  const HWND page = qvtest::CreateTestDialog(true, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
  if (!page) return 3;
  if (startTimer(nullptr) != 0) return 4;
  if (startTimer(GetDlgItem(page, qvtest::kDialogTextId)) == 0) return 5;
  prepare(nullptr, 1);  // no window: nothing to do, nothing to crash
  prepare(page, 1);
  const HDC dc = GetDC(page);
  const LRESULT brush = SendMessageW(page, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(page));
  ReleaseDC(page, dc);
  if (brush != reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH))) return 6;
  if (!IsWindowVisible(GetDlgItem(page, qvtest::kCheckBoxId))) return 7;
  if (SendDlgItemMessageW(page, qvtest::kCheckBoxId, BM_GETCHECK, 0, 0) != BST_CHECKED) return 8;
  SendDlgItemMessageW(page, IDOK, BM_CLICK, 0, 0);
  const HWND link = GetDlgItem(page, qvtest::kLinkId);
  DestroyWindow(page);
  if (IsWindow(link)) return 9;
  return 0;
}

// The script unloads the library after preparing its page (System::Call's "u" option): the
// timer and the subclass keep working. Exit code: 0, else the step that failed (or a crash).
QV_TEST_CHILD(unload_after_preparing) {
  const HWND page = qvtest::CreateTestDialog(true, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
  if (!page) return 2;
  const HWND label = GetDlgItem(page, qvtest::kDialogTextId);
  {
    qvtest::Library library;
    auto prepare = library.get<void(__cdecl*)(HWND, int)>("QVNSIS_PrepareWindow");
    auto startTimer = library.get<UINT_PTR(__cdecl*)(HWND)>("QVNSIS_StartProgressTextTimer");
    if (!prepare || !startTimer) return 3;
    prepare(page, 0);
    if (!startTimer(label)) return 4;
  }
  const HDC dc = GetDC(page);
  const LRESULT brush = SendMessageW(page, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(page));
  ReleaseDC(page, dc);
  if (brush != reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH))) return 5;
  wchar_t before[64] = {}, after[64] = {};
  GetWindowTextW(label, before, 64);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 2500;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    qvtest::PumpMessages();
  }
  GetWindowTextW(label, after, 64);
  if (lstrcmpW(before, after) == 0) return 6;
  DestroyWindow(page);
  return 0;
}

class WindowHelperExports : public testing::Test {
 protected:
  qvtest::ScopedRegistryKey savedKey_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_{logDir_.path()};
};

}  // namespace

TEST_F(WindowHelperExports, SurveyOpensInTheChosenBrowserWithTheClientId) {
  qvtest::ScopedBrowsers browsers;
  const std::wstring command = L"\"" + browsers.chosenBrowser() + L"\" \"%1\"";
  browsers.setChoice(L"http", L"QvTestBrowserURL", command.c_str());
  const std::wstring id = L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"ClientId", REG_SZ, qvtest::WideBytes(id)));

  ASSERT_EQ(qvtest::RunChild(L"open_uninstall_survey", {}).exitCode, 0u);
  EXPECT_EQ(browsers.chosenRecords(1), std::vector<std::wstring>{L"\"" + std::wstring(kSurveyPage) + id + L"\""});
}

TEST_F(WindowHelperExports, SurveyWithoutStoredClientIdUsesAFreshOneAndStoresNothing) {
  qvtest::ScopedBrowsers browsers;
  const std::wstring command = L"\"" + browsers.chosenBrowser() + L"\" \"%1\"";
  browsers.setChoice(L"http", L"QvTestBrowserURL", command.c_str());

  ASSERT_EQ(qvtest::RunChild(L"open_uninstall_survey", {}).exitCode, 0u);
  const std::vector<std::wstring> records = browsers.chosenRecords(1);
  ASSERT_EQ(records.size(), 1u);
  const std::wstring prefix = L"\"" + std::wstring(kSurveyPage);
  ASSERT_EQ(records[0].substr(0, prefix.size()), prefix);
  EXPECT_TRUE(std::regex_match(records[0].substr(prefix.size()),
                               std::wregex(LR"([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")")))
      << records[0];
  qvtest::RegistryValue stored;
  EXPECT_FALSE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"ClientId", &stored));
}

TEST_F(WindowHelperExports, PreparedPageStoresConsentOnOk) {
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallMode", REG_DWORD, qvtest::DwordBytes(1)));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", REG_DWORD,
                                         qvtest::DwordBytes(0)));
  ASSERT_EQ(qvtest::RunChild(L"prepare_page_and_click_ok", {}).exitCode, 0u);

  qvtest::RegistryValue consent;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", &consent));
  EXPECT_EQ(consent.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(consent.bytes, qvtest::DwordBytes(1));
  const std::wstring log = qvtest::TodayLogFile(logDir_.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"UiWindowProc: "), std::vector<std::wstring>{L"IDOK: analytics accepted"});
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVNSIS_PrepareWindow: ").size(), 1u);
}

TEST_F(WindowHelperExports, TimerAndSubclassOutliveAnUnloadByTheScript) {
  EXPECT_EQ(qvtest::RunChild(L"unload_after_preparing", {}).exitCode, 0u);
}
