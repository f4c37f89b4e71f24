#include <gtest/gtest.h>

#include <regex>
#include <sstream>
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
const wchar_t kSurveyPage[] =
    L"http://support.tovin.com/customer/portal/articles/812342-tovin-uninstall-feedback?i=";

QV_TEST_CHILD(open_uninstall_survey) {
  qvtest::Library library;
  auto open = QV_EXPORT(library, QVNSIS_OpenUninstallSurvey);
  if (!open) return 2;
  open();
  return 0;
}

// An installer page prepared by the real library with the flag set, then OK clicked.
// Exit code: 0 when every step answered as expected, else the number of the step that did not.
QV_TEST_CHILD(prepare_page_and_click_ok) {
  qvtest::Library library;
  auto prepare = QV_EXPORT(library, QVNSIS_PrepareWindow);
  auto startTimer = QV_EXPORT(library, QVNSIS_StartProgressTextTimer);
  if (!prepare || !startTimer) return 2;

  const HWND page = qvtest::CreateTestDialog(
      true, [](HWND, UINT, WPARAM, LPARAM) WINAPI -> INT_PTR { return FALSE; });
  if (!page) return 3;
  if (startTimer(nullptr) != 0) return 4;
  if (startTimer(GetDlgItem(page, qvtest::kDialogTextId)) == 0) return 5;
  prepare(nullptr, 1);  // no window: nothing to do, nothing to crash
  prepare(page, 1);
  const HDC dc = GetDC(page);
  const LRESULT brush = SendMessageW(page, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(page));
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
  const HWND page = qvtest::CreateTestDialog(
      true, [](HWND, UINT, WPARAM, LPARAM) WINAPI -> INT_PTR { return FALSE; });
  if (!page) return 2;
  const HWND label = GetDlgItem(page, qvtest::kDialogTextId);
  {
    qvtest::Library library;
    auto prepare = QV_EXPORT(library, QVNSIS_PrepareWindow);
    auto startTimer = QV_EXPORT(library, QVNSIS_StartProgressTextTimer);
    if (!prepare || !startTimer) return 3;
    prepare(page, 0);
    if (!startTimer(label)) return 4;
  }
  const HDC dc = GetDC(page);
  const LRESULT brush = SendMessageW(page, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(page));
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

// A page with the consent controls prepared by the real library with the flag set. Exit code:
// 1 when the check box shows checked, 0 when it is hidden, else the step that went wrong.
QV_TEST_CHILD(consent_offered) {
  qvtest::Library library;
  auto prepare = QV_EXPORT(library, QVNSIS_PrepareWindow);
  if (!prepare) return 2;
  const HWND page = qvtest::CreateTestDialog(
      true, [](HWND, UINT, WPARAM, LPARAM) WINAPI -> INT_PTR { return FALSE; });
  if (!page) return 3;
  prepare(page, 1);
  const HWND checkBox = GetDlgItem(page, qvtest::kCheckBoxId);
  const bool shown = IsWindowVisible(checkBox) != FALSE;
  const bool checked = SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
  DestroyWindow(page);
  if (shown != checked) return 4;
  return shown ? 1 : 0;
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
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"ClientId", REG_SZ,
                                         qvtest::WideBytes(id)));

  ASSERT_EQ(qvtest::RunChild(L"open_uninstall_survey", {}).exitCode, 0u);
  EXPECT_EQ(browsers.chosenRecords(1),
            std::vector<std::wstring>{L"\"" + std::wstring(kSurveyPage) + id + L"\""});
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
  EXPECT_TRUE(std::regex_match(
      records[0].substr(prefix.size()),
      std::wregex(LR"([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")")))
      << records[0];
  qvtest::RegistryValue stored;
  EXPECT_FALSE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"ClientId", &stored));
}

TEST_F(WindowHelperExports, PreparedPageStoresConsentOnOk) {
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallMode", REG_DWORD,
                                         qvtest::DwordBytes(1)));
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted",
                                         REG_DWORD, qvtest::DwordBytes(0)));
  ASSERT_EQ(qvtest::RunChild(L"prepare_page_and_click_ok", {}).exitCode, 0u);

  qvtest::RegistryValue consent;
  ASSERT_TRUE(
      qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", &consent));
  EXPECT_EQ(consent.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(consent.bytes, qvtest::DwordBytes(1));
  const std::wstring log = qvtest::TodayLogFile(logDir_.path());
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"UiWindowProc: "),
            std::vector<std::wstring>{L"IDOK: analytics accepted"});
  EXPECT_EQ(qvtest::LogMessagesOf(log, L"QVNSIS_PrepareWindow: ").size(), 1u);
}

TEST_F(WindowHelperExports, TimerAndSubclassOutliveAnUnloadByTheScript) {
  EXPECT_EQ(qvtest::RunChild(L"unload_after_preparing", {}).exitCode, 0u);
}

// Handles that are no window (none, a made-up one, one destroyed): no timer is started and no
// dialog prepared, which the preparation logs with the window error and the handle.
TEST_F(WindowHelperExports, HandlesThatAreNoWindowsAreRefused) {
  qvtest::Library library;
  auto prepare = QV_EXPORT(library, QVNSIS_PrepareWindow);
  auto startTimer = QV_EXPORT(library, QVNSIS_StartProgressTextTimer);
  ASSERT_NE(prepare, nullptr);
  ASSERT_NE(startTimer, nullptr);
  const HWND destroyed = CreateWindowExW(0, L"STATIC", L"label", WS_POPUP, 0, 0, 80, 20, nullptr,
                                         nullptr, nullptr, nullptr);
  ASSERT_NE(destroyed, nullptr);
  DestroyWindow(destroyed);

  std::vector<std::wstring> expected;
  for (HWND noWindow : {static_cast<HWND>(nullptr),
                        reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xDEAD0)), destroyed}) {
    EXPECT_EQ(startTimer(noWindow), 0u) << noWindow;
    for (int flag : {0, 1}) prepare(noWindow, flag);
    std::wostringstream handle;
    handle << static_cast<const void*>(noWindow);
    const std::wstring line = L"(err: " + std::to_wstring(ERROR_INVALID_WINDOW_HANDLE) +
                              L") could not subclass window " + handle.str();
    expected.insert(expected.end(), {line, line});
  }
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir_.path()), L"QVNSIS_PrepareWindow: "),
            expected);
  EXPECT_TRUE(
      qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir_.path()), L"UiWindowProc: ").empty());
}

// The two numbers that decide the consent offer count as missing when they are of another type
// or longer than four bytes: install mode is then off, consent given; either way no offer.
TEST_F(WindowHelperExports, ConsentSettingsOfAnotherTypeCountAsMissing) {
  const std::string one = qvtest::DwordBytes(1), zero = qvtest::DwordBytes(0);
  struct Case {
    const char* what;
    DWORD modeType;
    std::string modeBytes;
    DWORD acceptedType;
    std::string acceptedBytes;
    DWORD offered;
  } cases[] = {
      {"both as numbers: offered", REG_DWORD, one, REG_DWORD, zero, 1},
      {"InstallMode a REG_SZ \"1\"", REG_SZ, qvtest::WideBytes(L"1"), REG_DWORD, zero, 0},
      {"InstallMode a REG_BINARY 01", REG_BINARY, std::string(1, '\x01'), REG_DWORD, zero, 0},
      {"AnalyticsAccepted a REG_SZ \"0\"", REG_DWORD, one, REG_SZ, qvtest::WideBytes(L"0"), 0},
      {"AnalyticsAccepted a REG_QWORD 0", REG_DWORD, one, REG_QWORD, qvtest::QwordBytes(0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallMode", c.modeType,
                                           c.modeBytes));
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted",
                                           c.acceptedType, c.acceptedBytes));
    EXPECT_EQ(qvtest::RunChild(L"consent_offered", {}).exitCode, c.offered);
    qvtest::RegistryValue stored;
    ASSERT_TRUE(
        qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", &stored));
    EXPECT_EQ(stored.type, c.acceptedType) << "left as it was";
    EXPECT_EQ(stored.bytes, c.acceptedBytes);
  }
}

// A stored client id is the text of its bytes, whatever its type: a REG_DWORD 0 reads as empty,
// so a fresh id is used (and not stored); what could end the URL's argument is percent-encoded.
TEST_F(WindowHelperExports, SurveyClientIdsOfAnotherTypeOrWithSpacesAndQuotes) {
  qvtest::ScopedBrowsers browsers;
  const std::wstring command = L"\"" + browsers.chosenBrowser() + L"\" \"%1\"";
  browsers.setChoice(L"http", L"QvTestBrowserURL", command.c_str());
  struct Case {
    DWORD type;
    std::string bytes;
  } cases[] = {
      {REG_DWORD, qvtest::DwordBytes(0x00420041)},  // bytes 41 00 42 00: "AB"
      {REG_SZ, qvtest::WideBytes(L"a\" b")},
      {REG_DWORD, qvtest::DwordBytes(0)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(
        qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"ClientId", c.type, c.bytes));
    ASSERT_EQ(qvtest::RunChild(L"open_uninstall_survey", {}).exitCode, 0u);
  }

  const std::vector<std::wstring> records = browsers.chosenRecords(3);
  ASSERT_EQ(records.size(), 3u);
  const std::wstring page = L"\"" + std::wstring(kSurveyPage);
  EXPECT_EQ(records[0], page + L"AB\"");
  EXPECT_EQ(records[1], page + L"a%22%20b\"");
  ASSERT_EQ(records[2].substr(0, page.size()), page);
  EXPECT_TRUE(std::regex_match(
      records[2].substr(page.size()),
      std::wregex(LR"([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")")))
      << records[2];
  qvtest::RegistryValue stored;
  ASSERT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"ClientId", &stored));
  EXPECT_EQ(stored.bytes, qvtest::DwordBytes(0)) << "left as it was";
}
