#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/installer_state.h"
#include "e2e/installer_window.h"
#include "foundation/owners/scoped_handle.h"
#include "support/browsers.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"

// The demo installer (examples/demo.nsi with its pages, examples/demo_pages.nsh) run without /S on
// this bed's display and clicked through from here as a person would: the consent offer on the
// main window, the banners, the animated install page. What the screen shows is read back at
// chosen points; what the clicks stored is read from the registry and the log.

namespace {

using qve2e::ColorText;
using qve2e::Near;
using qve2e::ScreenPixel;
using qve2e::WaitUntil;

constexpr wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
constexpr wchar_t kTermsPage[] = L"\"https://www.tovin.com/r/?terms\"";
constexpr int kCheckBoxId = 2051;
constexpr int kLinkId = 2052;
constexpr int kStatusTextId = 1006;  // the install page's status label
constexpr int kCancelId = 2;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr DWORD kPageTimeoutMs = 30000;

// The sample picture (examples/banner.png, 320 x 120) at the centres of some of its opaque cells.
struct BannerPoint {
  int x, y;
  COLORREF color;
};
const BannerPoint kBannerPoints[] = {
    {30, 10, RGB(38, 98, 200)},   {130, 70, RGB(101, 148, 200)}, {310, 10, RGB(213, 98, 200)},
    {10, 110, RGB(26, 181, 200)}, {210, 30, RGB(151, 115, 200)},
};
constexpr int kBannerWidth = 320, kBannerHeight = 120;

bool Checked(HWND checkBox) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(checkBox, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
  return state == BST_CHECKED;
}

RECT ClientRect(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  return rect;
}

// The first column of the link's text drawn in a link colour (blue over the white background),
// -1 when none is.
int FirstLinkColumn(HWND link) {
  const RECT rect = ClientRect(link);
  for (int x = 0; x < rect.right; ++x) {
    for (int y = 0; y < rect.bottom; ++y) {
      const COLORREF c = ScreenPixel(link, {x, y});
      if (c != CLR_INVALID && GetBValue(c) >= 128 && GetBValue(c) - GetRValue(c) >= 64) return x;
    }
  }
  return -1;
}

// The dots after `base` in `text`: 0 to 3, or -1 when the text is not `base` and dots.
int DotsAfter(const std::wstring& base, const std::wstring& text) {
  if (text.compare(0, base.size(), base) != 0) return -1;
  const std::wstring tail = text.substr(base.size());
  if (tail.size() > 3 || tail.find_first_not_of(L'.') != std::wstring::npos) return -1;
  return static_cast<int>(tail.size());
}

// The page's picture controls (SS_BITMAP statics), in their order.
std::vector<HWND> BitmapControlsOf(HWND page) {
  std::vector<HWND> controls;
  for (HWND child = FindWindowExW(page, nullptr, L"Static", nullptr); child;
       child = FindWindowExW(page, child, L"Static", nullptr)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) controls.push_back(child);
  }
  return controls;
}

// The page's first text label whose text begins with `start`; null when there is none.
HWND LabelOf(HWND page, const std::wstring& start) {
  for (HWND child = FindWindowExW(page, nullptr, L"Static", nullptr); child;
       child = FindWindowExW(page, child, L"Static", nullptr)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP &&
        qve2e::TextOf(child).compare(0, start.size(), start) == 0) {
      return child;
    }
  }
  return nullptr;
}

// "<temp>ns*.tmp\<name>": a file the installer put in its plug-ins folder; empty when none is
// there.
std::wstring PluginsFolderFile(const std::wstring& temp, const std::wstring& name) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((temp + L"ns*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring path;
  do {
    const std::wstring candidate = temp + found.cFileName + L"\\" + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && qvtest::FileExists(candidate))
      path = candidate;
  } while (path.empty() && FindNextFileW(search, &found));
  FindClose(search);
  return path;
}

// A string of the library's table in this process's language (the installer's, on this bed).
std::wstring LibraryString(int id) {
  qvtest::Library library;
  wchar_t text[256] = {};
  if (library) QV_CALL(library, QVNSIS_GetLanguageString, id, text, 256);
  return text;
}

class DemoInstallerPages : public ::testing::Test {
 protected:
  DemoInstallerPages() {
    // Installing, and the consent still open: the offer is shown.
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallMode", REG_DWORD,
                               qvtest::DwordBytes(1));
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", REG_DWORD,
                               qvtest::DwordBytes(0));
  }

  // An installer left on screen by a failed check would cover the next one's window.
  ~DemoInstallerPages() override { EndInstaller(); }

  void EndInstaller() {
    if (process_ && !qvtest::Ended(process_, 0)) {
      TerminateProcess(process_.get(), 1);
      qvtest::Ended(process_, 10000);
    }
  }

  // Starts an installer beside the tests and waits for its main window with a page in it.
  void Launch(const std::wstring& name, const std::wstring& arguments) {
    EndInstaller();
    const std::wstring setup = qvtest::ExecutableDirectory() + name;
    ASSERT_TRUE(qvtest::FileExists(setup))
        << "the build makes the demo installers beside the tests";
    process_ = qvtest::StartProgram(setup, arguments);
    ASSERT_TRUE(process_);
    main_ = qve2e::WaitForMainDialog(GetProcessId(process_.get()), kPageTimeoutMs);
    ASSERT_NE(main_, nullptr) << "no installer window";
  }

  // Starts the installer with its pages and waits for its main window on the consent page.
  void Start(const std::wstring& arguments = std::wstring()) {
    Launch(L"qvnsis-demo-setup.exe", arguments);
    if (HasFatalFailure()) return;
    checkBox_ = GetDlgItem(main_, kCheckBoxId);
    link_ = GetDlgItem(main_, kLinkId);
    ASSERT_TRUE(checkBox_ && link_) << "the demo's main window carries the check box and the link";
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(checkBox_) != FALSE; }, kPageTimeoutMs))
        << "the consent page did not show the offer";
  }

  // Next (IDOK), then waits for the page after `page`.
  HWND Next(HWND page) {
    const HWND next = qve2e::NextPage(main_, page, kPageTimeoutMs);
    EXPECT_NE(next, nullptr) << "no page followed";
    return next;
  }

  // Waits for the installer to end: its exit code.
  DWORD Finish() { return qvtest::WaitForExit(process_, kPageTimeoutMs); }

  // The background at a point is white (painted through before it is read).
  void ExpectWhite(HWND window, POINT point, const char* where) {
    COLORREF seen = CLR_INVALID;
    EXPECT_TRUE(WaitUntil([&] { return Near(seen = ScreenPixel(window, point), kWhite, 8); }, 5000))
        << where << " at (" << point.x << ", " << point.y << ") shows " << ColorText(seen);
  }

  // The sample picture stretched over `control`: each sample point where the stretch puts it.
  void ExpectBanner(HWND control, const char* which) {
    const RECT rect = ClientRect(control);
    ASSERT_GT(rect.right, 0);
    ASSERT_GT(rect.bottom, 0);
    for (const BannerPoint& p : kBannerPoints) {
      const POINT at = {p.x * rect.right / kBannerWidth, p.y * rect.bottom / kBannerHeight};
      COLORREF seen = CLR_INVALID;
      EXPECT_TRUE(
          WaitUntil([&] { return Near(seen = ScreenPixel(control, at), p.color, 40); }, 5000))
          << which << ": picture point (" << p.x << ", " << p.y << ") at (" << at.x << ", " << at.y
          << ") shows " << ColorText(seen) << ", not " << ColorText(p.color);
    }
  }

  // After the window: nothing of what the library subclassed or animated outlived it, and the
  // library, unloaded in .onGUIEnd although its timers ran and its dialogs were prepared, left
  // nothing in the temporary folder (NSIS deleted its plug-ins folder) or queued for deletion.
  void ExpectNothingOutlivedTheWindow() {
    const auto messages = qvtest::TodaysLogMessages(temp_.path());
    EXPECT_NE(
        std::find(
            messages.begin(), messages.end(),
            L"demo: window pages: after the window: main window 0, terms link 0, status label 0"),
        messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), L"QVNSIS_PrepareUnload: ready to unload"),
              messages.end());
    qve2e::ExpectNothingOfTheLibraryLeftIn(temp_.path(), "the window");
  }

  std::vector<std::wstring> consentLines() const {
    return qvtest::LogMessagesOf(qvtest::TodayLogFile(temp_.path()), L"UiWindowProc: ");
  }

  DWORD consent() const {
    qvtest::RegistryValue value;
    if (!qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"AnalyticsAccepted", &value) ||
        value.type != REG_DWORD || value.bytes.size() != 4) {
      return 0xFFFFFFFF;
    }
    DWORD number = 0;
    memcpy(&number, value.bytes.data(), 4);
    return number;
  }

  qvtest::ScopedRegistryKey tovin_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedTempDir temp_;
  qvtest::ScopedTempEnv tempEnv_{temp_.path()};
  qvtest::ScopedBrowsers browsers_;
  ScopedHandle process_;
  HWND main_ = nullptr, checkBox_ = nullptr, link_ = nullptr;
};

TEST_F(DemoInstallerPages, APersonClickingThroughGetsTheOfferTheBannersAndTheAnimation) {
  // Run 1, the box unchecked by the user: the link opens the terms page, Next stores nothing,
  // Cancel ends the installer. Run 2, the box left checked: Next stores the consent, then the
  // banners and the install page, and Close.
  for (const bool keepChecked : {false, true}) {
    SCOPED_TRACE(keepChecked ? "box left checked" : "box unchecked");
    qvtest::DeleteLogFiles(temp_.path());
    Start();
    if (HasFatalFailure()) return;

    // The consent page: the offer shown and checked, on white.
    EXPECT_TRUE(Checked(checkBox_));
    EXPECT_TRUE(IsWindowVisible(link_));
    HWND page = qve2e::PageOf(main_);
    const RECT pageRect = ClientRect(page);
    ExpectWhite(page, {pageRect.right - 5, pageRect.bottom - 5}, "the consent page");
    ExpectWhite(main_, {3, 3}, "the main window");
    ExpectWhite(checkBox_, {ClientRect(checkBox_).right - 1, 0}, "the check box's background");

    if (!keepChecked) {
      // The link's word, where the screen shows it in a link colour.
      int column = -1;
      EXPECT_TRUE(WaitUntil([&] { return (column = FirstLinkColumn(link_)) >= 0; }, 5000))
          << "no link drawn";
      if (column >= 0) {
        qve2e::ClickAt(link_, {column + 2, ClientRect(link_).bottom / 2});
        EXPECT_EQ(browsers_.shellRecords(1), std::vector<std::wstring>{kTermsPage});
      }
      EXPECT_TRUE(qve2e::Click(checkBox_));
      EXPECT_FALSE(Checked(checkBox_));
    }

    page = Next(page);
    EXPECT_FALSE(IsWindowVisible(checkBox_)) << "the offer belongs to the consent page";
    if (!keepChecked) {
      EXPECT_EQ(consentLines(), std::vector<std::wstring>{L"IDOK: analytics not accepted"});
      EXPECT_EQ(consent(), 0u);
      EXPECT_TRUE(qve2e::Click(GetDlgItem(main_, kCancelId)));
      EXPECT_EQ(Finish(), 1u) << "NSIS's exit code for a cancelled install";
    } else {
      EXPECT_EQ(consentLines(), std::vector<std::wstring>{L"IDOK: analytics accepted"});
      EXPECT_EQ(consent(), 1u);

      // The banner page: the file's picture at its size, the resource's stretched; white around.
      const std::vector<HWND> banners = BitmapControlsOf(page);
      ASSERT_EQ(banners.size(), 2u);
      const RECT fileRect = ClientRect(banners[0]);
      const RECT resourceRect = ClientRect(banners[1]);
      EXPECT_EQ(fileRect.right, 320);
      EXPECT_EQ(fileRect.bottom, 120);
      EXPECT_EQ(resourceRect.right, 400);
      EXPECT_EQ(resourceRect.bottom, 60);
      ExpectBanner(banners[0], "the picture from the file");
      ExpectBanner(banners[1], "the picture from the library's resource");
      ExpectWhite(page, {ClientRect(page).right - 5, 60}, "beside the banners");

      // The install page: the status label's text with 0 to 3 dots, one more each tick.
      page = Next(page);
      const HWND label = GetDlgItem(page, kStatusTextId);
      ASSERT_NE(label, nullptr);
      const std::wstring base = LibraryString(108);
      ASSERT_FALSE(base.empty());
      std::vector<int> dots;
      std::vector<std::wstring> seen;
      WaitUntil(
          [&] {
            const std::wstring text = qve2e::TextOf(label);
            if (seen.empty() || seen.back() != text) {
              seen.push_back(text);
              dots.push_back(DotsAfter(base, text));
            }
            return dots.size() >= 6;
          },
          kPageTimeoutMs);
      std::string texts;
      for (const auto& text : seen) texts += "\n  \"" + qvtest::Utf8(text) + "\"";
      ASSERT_GE(dots.size(), 6u) << "the label did not change often enough:" << texts;
      for (size_t i = 0; i < dots.size(); ++i) {
        EXPECT_GE(dots[i], 0) << "not the saved text and dots:" << texts;
        if (i > 0) {
          EXPECT_EQ(dots[i], (dots[i - 1] + 1) % 4) << "one dot more each tick:" << texts;
        }
      }
      ExpectWhite(page, {ClientRect(page).right - 3, 3}, "the install page");

      // Close, once the install is done.
      const HWND close = GetDlgItem(main_, IDOK);
      EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(close) != FALSE; }, kPageTimeoutMs));
      EXPECT_TRUE(qve2e::Click(close));
      EXPECT_EQ(Finish(), 0u);
      // The consent page withdrew the offer on leaving: the later Next and Close stored nothing.
      EXPECT_EQ(consentLines(), std::vector<std::wstring>{L"IDOK: analytics accepted"});
    }
    ExpectNothingOutlivedTheWindow();
  }
}

// A page destroyed while its timer runs, a banner file gone before its page, 150 % DPI.
TEST_F(DemoInstallerPages, BadInputOnThePagesCrashesNothingAndLeavesNothingBehind) {
  // Wine takes the DPI from here when a process starts.
  qvtest::ScopedRegistryValue dpi(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                                  REG_DWORD, qvtest::DwordBytes(144));
  Start(L"/PAGETIMER");
  if (HasFatalFailure()) return;
  EXPECT_GT(ClientRect(main_).right, 700) << "the installer's dialog units at 150 %";
  HWND page = qve2e::PageOf(main_);
  ExpectWhite(page, {ClientRect(page).right - 5, ClientRect(page).bottom - 5}, "the consent page");

  // The picture file vanishes while the consent page shows.
  const std::wstring banner = PluginsFolderFile(temp_.path(), L"banner.png");
  ASSERT_FALSE(banner.empty()) << "the installer's copy of the picture";
  ASSERT_TRUE(DeleteFileW(banner.c_str()));
  page = Next(page);
  ASSERT_NE(page, nullptr);
  const std::vector<HWND> banners = BitmapControlsOf(page);
  ASSERT_EQ(banners.size(), 2u);
  const std::vector<std::wstring> fileLines =
      qvtest::LogMessagesOf(qvtest::TodayLogFile(temp_.path()), L"QVNSIS_SetWindowImageFromFile: ");
  EXPECT_EQ(fileLines, std::vector<std::wstring>{L"can't load file " + banner});
  ExpectWhite(banners[0], {ClientRect(banners[0]).right / 2, ClientRect(banners[0]).bottom / 2},
              "the file's control, left without a picture");
  ExpectBanner(banners[1], "the picture from the library's resource");

  // The page's own label animates; Back destroys the page while its timer runs.
  const HWND label = LabelOf(page, LibraryString(107));
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(WaitUntil(
      [&] {
        const std::wstring now = qve2e::TextOf(label);
        return !now.empty() && now.back() == L'.';
      },
      kPageTimeoutMs))
      << "no dot came";
  const std::wstring title = qve2e::TextOf(main_);
  EXPECT_TRUE(qve2e::Click(GetDlgItem(main_, 3)));
  HWND back = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (back = qve2e::PageOf(main_)) != nullptr && back != page; },
                        kPageTimeoutMs));
  const HWND text = FindWindowExW(back, nullptr, L"Static", nullptr);
  const std::wstring shown = qve2e::TextOf(text);
  // Ticks with no label to animate: their time passes (no assertion on it), and they touch
  // nothing that is left.
  Sleep(2500);
  EXPECT_FALSE(qvtest::Ended(process_, 0));
  EXPECT_FALSE(IsWindow(label));
  EXPECT_EQ(qve2e::TextOf(text), shown);
  EXPECT_EQ(qve2e::TextOf(main_), title);
  ExpectWhite(back, {ClientRect(back).right - 5, ClientRect(back).bottom - 5},
              "the consent page again");
  EXPECT_TRUE(qve2e::Click(GetDlgItem(main_, kCancelId)));
  EXPECT_EQ(Finish(), 1u);
  ExpectNothingOutlivedTheWindow();
}

// NSIS's own main window, without the check box and the link, prepared with the offer all the
// same: still white, and Next finds no box checked, so nothing is stored.
TEST_F(DemoInstallerPages, AMainWindowWithoutTheOfferControlsStoresNothing) {
  Launch(L"qvnsis-demo-stock-ui-setup.exe", L"");
  if (HasFatalFailure()) return;
  EXPECT_EQ(GetDlgItem(main_, kCheckBoxId), nullptr);
  EXPECT_EQ(GetDlgItem(main_, kLinkId), nullptr);
  HWND page = qve2e::PageOf(main_);
  ExpectWhite(page, {ClientRect(page).right - 5, ClientRect(page).bottom - 5}, "the consent page");
  ExpectWhite(main_, {3, 3}, "the main window");
  page = Next(page);
  EXPECT_NE(page, nullptr);
  EXPECT_EQ(consentLines(), std::vector<std::wstring>{L"IDOK: analytics not accepted"});
  EXPECT_EQ(consent(), 0u);
  EXPECT_TRUE(qve2e::Click(GetDlgItem(main_, kCancelId)));
  EXPECT_EQ(Finish(), 1u);
  ExpectNothingOutlivedTheWindow();
}

}  // namespace
