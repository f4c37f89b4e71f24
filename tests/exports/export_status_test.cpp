#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/browsers.h"
#include "support/fake_engine.h"
#include "support/image_files.h"
#include "support/library.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/test_dialog.h"

// What an export without a result leaves as the thread's last error, which the installer's
// macros read (System::Call's "e" option) to set NSIS's error flag: 0 when the call did its
// work, else the Win32 code of what stopped it. Every call starts from a last error it must
// overwrite, so a code merely left over from before the call cannot pass.

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t* const kRegisteredKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin",
    L"Software\\Classes\\Directory\\shell\\tovin", L"Software\\Classes\\Drive\\shell\\tovin",
    L"Software\\Classes\\lnkfile\\shell\\tovin", L"Software\\Classes\\tovin"};
constexpr DWORD kLeftOver = 0x5EED;

// The last error right after `call`, which starts from kLeftOver.
template <typename Call>
DWORD StatusOf(Call&& call) {
  SetLastError(kLeftOver);
  call();
  return GetLastError();
}

// The settings key and every key a registration writes, put back at the end; the log in a
// folder of its own; the settings key starts empty.
class ExportStatus : public testing::Test {
 protected:
  ExportStatus() {
    saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, kTovinKey));
    for (const wchar_t* key : kRegisteredKeys) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
    }
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
  }

  void SetInstallDir(const std::wstring& dir) {
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                           qvtest::WideBytes(dir)));
  }

  std::wstring File(const wchar_t* name, const std::string& bytes) const {
    const std::wstring path = files_.path() + name;
    qvtest::WriteFileBytes(path, bytes);
    return path;
  }

  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_{logDir_.path()};
  qvtest::ScopedTempDir files_;
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved_;
  qvtest::Library library_;
};

// A static control of some size to paint into.
struct ScopedControl {
  ScopedControl()
      : window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 64, 32, nullptr,
                               nullptr, nullptr, nullptr)) {
    SetWindowPos(window, nullptr, 0, 0, 64, 32, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ~ScopedControl() { DestroyWindow(window); }
  HWND window;
};

}  // namespace

TEST_F(ExportStatus, FailuresAreTheirWin32Codes) {
  ASSERT_TRUE(library_);
  wchar_t buffer[260] = {};
  const ScopedControl control;
  ASSERT_NE(control.window, nullptr);

  // No installation recorded.
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RegisterContextMenuHandlers); }),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RegisterProtocolHandler); }),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovin, 1); }),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovinAndStartApp, 0, "app"); }),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovinAndSideloadApps); }),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SendUninstallingStats); }),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  // An installation folder without its engine: the engine cannot start.
  SetInstallDir(files_.path() + L"Tovin");
  CreateDirectoryW((files_.path() + L"Tovin").c_str(), nullptr);
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovin, 1); }),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovinAndSideloadApps); }),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SendUninstallingStats); }),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // An installation folder no command line can name.
  SetInstallDir(L"C:\\a\"b");
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RegisterContextMenuHandlers); }),
            static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RegisterProtocolHandler); }),
            static_cast<DWORD>(ERROR_INVALID_NAME));

  // Buffers: none, no room, too small for the text.
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetInstallDir, nullptr, 260); }),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetInstallDir, buffer, 0); }),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetInstallDir, buffer, 3); }),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetLanguageString, 105, nullptr, 260); }),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetLanguageString, 105, buffer, 3); }),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // An id no table holds: the buffer gets the "missing" text, and the call says so.
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetLanguageString, 117, buffer, 260); }),
            static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_STREQ(buffer, L"string id 117 missing");

  // Favourites: no file, a file in neither encoding, a file another process holds open.
  EXPECT_EQ(StatusOf([&] {
              QV_CALL(library_, QVNSIS_LoadFavorites, (files_.path() + L"none.txt").c_str());
            }),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_LoadFavorites, nullptr); }),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const std::wstring latin1 = File(L"latin1.txt", "caf\xE9\r\n");
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_LoadFavorites, latin1.c_str()); }),
            static_cast<DWORD>(ERROR_INVALID_DATA));
  const std::wstring held = File(L"held.txt", "Notes\n");
  {
    const ScopedFileHandle holder(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_LoadFavorites, held.c_str()); }),
              static_cast<DWORD>(ERROR_READ_FAULT));
  }

  // Pictures: no file, a file that is no picture, a resource the library lacks, no window.
  EXPECT_EQ(StatusOf([&] {
              QV_CALL(library_, QVNSIS_SetWindowImageFromFile, control.window,
                      (files_.path() + L"no.png").c_str());
            }),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const std::wstring notPicture = File(L"not.png", "not a picture at all");
  EXPECT_EQ(StatusOf([&] {
              QV_CALL(library_, QVNSIS_SetWindowImageFromFile, control.window, notPicture.c_str());
            }),
            static_cast<DWORD>(ERROR_INVALID_DATA));
  const std::wstring picture = File(L"picture.png", qvtest::TwoColourPng(8, 4, 0xFF0000, 0x0000FF));
  EXPECT_EQ(
      StatusOf([&] { QV_CALL(library_, QVNSIS_SetWindowImageFromFile, nullptr, picture.c_str()); }),
      static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(
      StatusOf([&] { QV_CALL(library_, QVNSIS_SetWindowImage, control.window, L"NO_SUCH_IMAGE"); }),
      static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_PrepareWindow, nullptr, 1); }),
            static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// The folder of an installation whose creation date cannot be read: an empty date is stored,
// which is no date, and the call says so; the next one records it.
TEST_F(ExportStatus, AnInstallDateThatCouldNotBeReadIsAFailure) {
  ASSERT_TRUE(library_);
  const std::wstring dir = files_.path() + L"Tovin";
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  SetInstallDir(dir);
  {
    const ScopedFileHandle locked(CreateFileW(dir.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SetInstallDate); }),
              static_cast<DWORD>(ERROR_INVALID_DATA));
  }
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SetInstallDate); }),
            static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(ExportStatus, CallsThatDidTheirWorkLeaveZero) {
  ASSERT_TRUE(library_);
  wchar_t buffer[260] = {};
  const ScopedControl control;
  ASSERT_NE(control.window, nullptr);

  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_Log, L"a line"); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_Log, nullptr); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_LogStartupInfo); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetInstallDir, buffer, 260); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_GetLanguageString, 105, buffer, 260); }),
            static_cast<DWORD>(ERROR_SUCCESS));

  // The date recorded, and again: found set, which is no failure.
  const std::wstring installDir = files_.path() + L"Tovin Apps";
  SetInstallDir(installDir);
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SetInstallDate); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SetInstallDate); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RegisterContextMenuHandlers); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RegisterProtocolHandler); }),
            static_cast<DWORD>(ERROR_SUCCESS));

  // Favourites, and an empty list, which stores nothing and fails nothing.
  const std::wstring favorites = File(L"favorites.txt", "Notes\r\nCalendar\r\n");
  const std::wstring empty = File(L"empty.txt", "");
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_LoadFavorites, favorites.c_str()); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_LoadFavorites, empty.c_str()); }),
            static_cast<DWORD>(ERROR_SUCCESS));

  // The engine starts (the fake one records each start and leaves at once).
  CreateDirectoryW(installDir.c_str(), nullptr);
  const qvtest::FakeEngineInstall engine(installDir + L"\\Engine\\");
  engine.setBehaviour(qvtest::EngineQuit::kObey, 0, false);
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovin, 1); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_RunTovinAndSideloadApps); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_SendUninstallingStats); }),
            static_cast<DWORD>(ERROR_SUCCESS));

  // A picture painted; a control of no area has nothing to show, which is no failure either.
  const std::wstring picture = File(L"picture.png", qvtest::TwoColourPng(8, 4, 0xFF0000, 0x0000FF));
  EXPECT_EQ(StatusOf([&] {
              QV_CALL(library_, QVNSIS_SetWindowImageFromFile, control.window, picture.c_str());
            }),
            static_cast<DWORD>(ERROR_SUCCESS));
  const HWND flat = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 0, 0, nullptr,
                                    nullptr, nullptr, nullptr);
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(
      StatusOf([&] { QV_CALL(library_, QVNSIS_SetWindowImageFromFile, flat, picture.c_str()); }),
      static_cast<DWORD>(ERROR_SUCCESS));
  DestroyWindow(flat);

  // The survey opens in the browser the user chose.
  {
    qvtest::ScopedBrowsers browsers;
    const std::wstring command = L"\"" + browsers.chosenBrowser() + L"\" \"%1\"";
    browsers.setChoice(L"http", L"QvTestBrowserURL", command.c_str());
    EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_OpenUninstallSurvey); }),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(browsers.chosenRecords(1).size(), 1u);
  }

  // A dialog prepared; once it is gone, the hold it gave the library is handed back, so this
  // process is left as it was for the tests that run after this one in it.
  const HWND page = qvtest::CreateTestDialog(
      false, [](HWND, UINT, WPARAM, LPARAM) WINAPI -> INT_PTR { return FALSE; });
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(StatusOf([&] { QV_CALL(library_, QVNSIS_PrepareWindow, page, 0); }),
            static_cast<DWORD>(ERROR_SUCCESS));
  DestroyWindow(page);
  ASSERT_EQ(QV_CALL(library_, QVNSIS_PrepareUnload), 2);
  FreeLibrary(library_.module());
}
