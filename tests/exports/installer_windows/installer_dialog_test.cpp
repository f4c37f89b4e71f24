#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "exports/installer_windows/installer_dialog.h"
#include "foundation/os/window_subclass.h"
#include "support/browsers.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/test_dialog.h"

namespace {

using InstallerDialog::AnalyticsMode;

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kTermsPage[] = L"\"https://www.tovin.com/r/?terms\"";

// What the page's own dialog procedure saw.
struct PageRecord {
  int okCommands = 0;
  int notifications = 0;
  bool subclassedAtDestroy = true;
  DWORD_PTR modeAtDestroy = 99;
  HWND link = nullptr;
};

INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* record = reinterpret_cast<PageRecord*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!record) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) ++record->okCommands;
      break;
    case WM_NOTIFY:
      ++record->notifications;
      break;
    case WM_DESTROY:
      // The subclass has had its WM_DESTROY by now.
      record->subclassedAtDestroy = QVOS::getWindowSubclass(dialog, &InstallerDialog::UiWindowProc,
                                                            0, &record->modeAtDestroy) != FALSE;
      record->link = GetDlgItem(dialog, qvtest::kLinkId);
      break;
  }
  return FALSE;
}

// A prepared installer page, destroyed at the end of the scope.
class Page {
 public:
  explicit Page(int flag, bool consentControls = true)
      : dialog_(qvtest::CreateTestDialog(consentControls, &PageProc,
                                         reinterpret_cast<LPARAM>(&record_))) {
    if (dialog_) prepared_ = InstallerDialog::Prepare(dialog_, flag);
  }
  ~Page() { destroy(); }
  void destroy() {
    if (dialog_) DestroyWindow(dialog_);
    dialog_ = nullptr;
  }

  bool ready() const { return dialog_ && prepared_; }
  HWND get() const { return dialog_; }
  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  bool visible(int id) const { return IsWindowVisible(item(id)) != FALSE; }
  bool checked() const {
    return SendMessageW(item(qvtest::kCheckBoxId), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  AnalyticsMode mode() const {
    DWORD_PTR mode = 99;
    if (!QVOS::getWindowSubclass(dialog_, &InstallerDialog::UiWindowProc, 0, &mode))
      return AnalyticsMode(99);
    return AnalyticsMode(mode);
  }
  // The user clicks OK.
  void clickOk() { SendMessageW(item(IDOK), BM_CLICK, 0, 0); }
  // The link reports a click or Return to the dialog.
  void notifyFrom(int id, UINT code) {
    NMLINK link = {};
    link.hdr.hwndFrom = item(id);
    link.hdr.idFrom = static_cast<UINT_PTR>(id);
    link.hdr.code = code;
    SendMessageW(dialog_, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&link));
  }
  const PageRecord& record() const { return record_; }

 private:
  PageRecord record_;
  HWND dialog_ = nullptr;
  bool prepared_ = false;
};

struct Registry {
  qvtest::ScopedRegistryKey saved{HKEY_CURRENT_USER, kTovinKey};

  void set(const wchar_t* name, const DWORD* value) {
    if (value) {
      qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, name, REG_DWORD,
                                 qvtest::DwordBytes(*value));
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kTovinKey, name);
    }
  }
  bool consent(DWORD* value) {
    qvtest::RegistryValue stored;
    if (!qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", &stored))
      return false;
    if (stored.type != REG_DWORD || stored.bytes.size() != 4) return false;
    memcpy(value, stored.bytes.data(), 4);
    return true;
  }
};

const DWORD kZero = 0, kOne = 1, kTwo = 2;

}  // namespace

TEST(InstallerDialog, PaintsOnWhiteInEveryMode) {
  Registry registry;
  registry.set(L"InstallMode", &kOne);
  registry.set(L"AnalyticsAccepted", &kZero);
  const HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

  struct Case {
    int flag;
    bool consentControls;
    AnalyticsMode mode;
  };
  const Case cases[] = {{0, true, InstallerDialog::kWhiteOnly},
                        {0, false, InstallerDialog::kWhiteOnly},  // a page without the two controls
                        {1, true, InstallerDialog::kOfferConsent}};
  for (const Case& c : cases) {
    // The page on its own answers with its usual colours.
    const HWND plain = qvtest::CreateTestDialog(c.consentControls, &PageProc);
    ASSERT_NE(plain, nullptr);
    const HDC plainDc = GetDC(plain);
    EXPECT_NE(reinterpret_cast<HBRUSH>(SendMessageW(plain, WM_CTLCOLORDLG,
                                                    reinterpret_cast<WPARAM>(plainDc),
                                                    reinterpret_cast<LPARAM>(plain))),
              white);
    ReleaseDC(plain, plainDc);
    DestroyWindow(plain);

    Page page(c.flag, c.consentControls);
    ASSERT_TRUE(page.ready());
    EXPECT_EQ(page.mode(), c.mode);
    const HDC dc = GetDC(page.get());
    const std::pair<UINT, HWND> requests[] = {{WM_CTLCOLORDLG, page.get()},
                                              {WM_CTLCOLORSTATIC, page.item(qvtest::kDialogTextId)},
                                              {WM_CTLCOLOREDIT, page.item(qvtest::kDialogEditId)}};
    for (const auto& request : requests) {
      EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageW(page.get(), request.first,
                                                      reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(request.second))),
                white)
          << "message " << request.first << ", flag " << c.flag;
    }
    ReleaseDC(page.get(), dc);
  }
}

TEST(InstallerDialog, OffersConsentOnlyWhenInstallingWithoutIt) {
  Registry registry;
  struct Case {
    int flag;
    const DWORD* installMode;  // null: absent
    const DWORD* accepted;
    AnalyticsMode mode;
  };
  const Case cases[] = {
      {1, nullptr, nullptr, InstallerDialog::kOfferNotNeeded},  // no settings key at all
      {1, &kOne, nullptr, InstallerDialog::kOfferNotNeeded},    // absent consent counts as given
      {1, &kOne, &kZero, InstallerDialog::kOfferConsent},
      {-5, &kOne, &kZero, InstallerDialog::kOfferConsent},  // any non-zero flag
      {0, &kOne, &kZero, InstallerDialog::kWhiteOnly},
      {1, &kOne, &kOne, InstallerDialog::kOfferNotNeeded},
      {1, &kOne, &kTwo, InstallerDialog::kOfferNotNeeded},
      {1, &kZero, &kZero, InstallerDialog::kOfferNotNeeded},
      {1, &kTwo, &kZero, InstallerDialog::kOfferNotNeeded},  // only 1 is install mode
      {1, nullptr, &kZero, InstallerDialog::kOfferNotNeeded},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    const Case& c = cases[i];
    // The first case runs before the settings key exists; later ones keep it (the library
    // holds it open once it has found it).
    if (i > 0) {
      registry.set(L"InstallMode", c.installMode);
      registry.set(L"AnalyticsAccepted", c.accepted);
    }
    EXPECT_EQ(InstallerDialog::ModeFor(c.flag), c.mode) << "case " << i;
    Page page(c.flag);
    ASSERT_TRUE(page.ready());
    EXPECT_EQ(page.mode(), c.mode) << "case " << i;
    const bool offered = c.mode == InstallerDialog::kOfferConsent;
    EXPECT_EQ(page.visible(qvtest::kCheckBoxId), offered) << "case " << i;
    EXPECT_EQ(page.visible(qvtest::kLinkId), offered) << "case " << i;
    EXPECT_EQ(page.checked(), offered) << "case " << i;
    EXPECT_TRUE(page.visible(IDOK));
  }
}

TEST(InstallerDialog, OkStoresConsentOnlyWhenTheBoxIsChecked) {
  Registry registry;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  registry.set(L"InstallMode", &kOne);
  registry.set(L"AnalyticsAccepted", &kZero);
  DWORD consent = 99;

  {  // Unchecked: logged, nothing stored; the page still gets its OK.
    Page page(1);
    ASSERT_TRUE(page.ready());
    SendMessageW(page.item(qvtest::kCheckBoxId), BM_CLICK, 0, 0);
    ASSERT_FALSE(page.checked());
    page.clickOk();
    EXPECT_EQ(page.record().okCommands, 1);
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"UiWindowProc: "),
              std::vector<std::wstring>{L"IDOK: analytics not accepted"});
    ASSERT_TRUE(registry.consent(&consent));
    EXPECT_EQ(consent, 0u);
    // Only OK itself counts: the same id with a notification code is not a click on OK.
    SendMessageW(page.get(), WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"UiWindowProc: ").size(), 1u);
  }
  {  // Checked as offered: stored as 1.
    Page page(1);
    ASSERT_TRUE(page.ready());
    ASSERT_TRUE(page.checked());
    page.clickOk();
    EXPECT_EQ(page.record().okCommands, 1);
    EXPECT_EQ(
        qvtest::LogMessagesOf(log, L"UiWindowProc: "),
        (std::vector<std::wstring>{L"IDOK: analytics not accepted", L"IDOK: analytics accepted"}));
    ASSERT_TRUE(registry.consent(&consent));
    EXPECT_EQ(consent, 1u);
  }
  {  // Consent given, so no offer: OK is only passed on.
    Page offerNotNeeded(1);
    Page whiteOnly(0);
    ASSERT_TRUE(offerNotNeeded.ready() && whiteOnly.ready());
    offerNotNeeded.clickOk();
    registry.set(L"AnalyticsAccepted", &kZero);
    whiteOnly.clickOk();
    EXPECT_EQ(offerNotNeeded.record().okCommands, 1);
    EXPECT_EQ(whiteOnly.record().okCommands, 1);
    EXPECT_EQ(qvtest::LogMessagesOf(log, L"UiWindowProc: ").size(), 2u);
    ASSERT_TRUE(registry.consent(&consent));
    EXPECT_EQ(consent, 0u);
  }
}

TEST(InstallerDialog, LinkOpensTheTermsPage) {
  Registry registry;
  qvtest::ScopedBrowsers browsers;
  registry.set(L"InstallMode", &kOne);
  registry.set(L"AnalyticsAccepted", &kZero);
  Page offer(1);
  ASSERT_TRUE(offer.ready());
  registry.set(L"AnalyticsAccepted", &kOne);
  Page noOffer(1);
  ASSERT_TRUE(noOffer.ready());

  // Nothing opens for another control, another notification or a page without the offer.
  offer.notifyFrom(qvtest::kCheckBoxId, NM_CLICK);
  offer.notifyFrom(qvtest::kLinkId, NM_SETFOCUS);
  noOffer.notifyFrom(qvtest::kLinkId, NM_CLICK);
  // A click, then Return on the link: the page twice, and the dialog still hears of each.
  offer.notifyFrom(qvtest::kLinkId, NM_CLICK);
  EXPECT_EQ(browsers.shellRecords(1), std::vector<std::wstring>{kTermsPage});
  offer.notifyFrom(qvtest::kLinkId, NM_RETURN);
  EXPECT_EQ(browsers.shellRecords(2), (std::vector<std::wstring>{kTermsPage, kTermsPage}));
  EXPECT_EQ(offer.record().notifications, 4);
  EXPECT_EQ(noOffer.record().notifications, 1);
}

TEST(InstallerDialog, DestroyRemovesTheSubclassAndTheLink) {
  Registry registry;
  registry.set(L"InstallMode", &kOne);
  registry.set(L"AnalyticsAccepted", &kZero);
  for (int flag : {0, 1}) {
    Page page(flag);
    ASSERT_TRUE(page.ready());
    const HWND link = page.item(qvtest::kLinkId);
    ASSERT_NE(link, nullptr);
    ASSERT_NE(page.mode(), AnalyticsMode(99));
    page.destroy();
    EXPECT_FALSE(page.record().subclassedAtDestroy) << "flag " << flag;
    // Not left behind on the desktop.
    EXPECT_EQ(page.record().link, nullptr) << "flag " << flag;
    EXPECT_FALSE(IsWindow(link)) << "flag " << flag;
  }
}

TEST(InstallerDialog, NoWindowIsNotPrepared) {
  EXPECT_FALSE(InstallerDialog::Prepare(nullptr, 0));
  EXPECT_FALSE(InstallerDialog::Prepare(nullptr, 1));
}
