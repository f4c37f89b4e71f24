#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/browsers.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/image_files.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/wow64_registry_model.h"

// The shipped 32-bit DLL on 64-bit Windows, held to Windows' WoW64 registry redirector rather
// than to Wine's (which does not redirect HKCU\Software\Classes\CLSID): every key it opens,
// creates or deletes goes through the model (support/wow64_registry_model.h), which takes it
// where Windows would for a 32-bit process and reports a platform key reached in the 32-bit view.

namespace {

using qvtest::ModelWow64Key;
using qvtest::RegistryView;

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t* const kExplorerKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin",
    L"Software\\Classes\\Directory\\shell\\tovin",
    L"Software\\Classes\\Drive\\shell\\tovin",
    L"Software\\Classes\\lnkfile\\shell\\tovin",
    L"Software\\Classes\\tovin",
};

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::wstring Lines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\n";
  return text;
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A modelled call to `key` (as the model names it) in `view` that succeeded.
bool Reached(const std::vector<qvtest::ModelledRegistryCall>& calls, const std::string& function,
             const std::wstring& key, RegistryView view) {
  return std::any_of(calls.begin(), calls.end(), [&](const qvtest::ModelledRegistryCall& call) {
    return call.function == function && _wcsicmp(call.key.c_str(), key.c_str()) == 0 &&
           call.view == view && call.result == ERROR_SUCCESS;
  });
}

}  // namespace

// The model against Microsoft's table for Windows 7 and later: which keys are redirected, where
// the 32-bit view of each lives, and the view each call's own flags choose.
TEST(RegistryViews, TheModelFollowsMicrosoftsTable) {
  const wchar_t kBand[] = L"{6513270E-269E-4D37-B2A7-4DE452E6B438}";
  struct Case {
    HKEY root;
    std::wstring path;
    bool redirected;
    std::wstring physical32;  // where a 32-bit program's key lives
  } cases[] = {
      // The deskband's class, per user and machine-wide: redirected below Classes.
      {HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\CLSID\\") + kBand, true,
       std::wstring(L"Software\\Classes\\Wow6432Node\\CLSID\\") + kBand},
      {HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", true,
       L"Software\\Classes\\Wow6432Node\\CLSID"},
      {HKEY_CURRENT_USER, L"software\\classes\\clsid\\x\\InprocServer32", true,
       L"software\\classes\\Wow6432Node\\clsid\\x\\InprocServer32"},
      {HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kBand, true,
       std::wstring(L"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\") + kBand},
      {HKEY_CURRENT_USER, L"Software\\Classes\\Interface\\{x}", true,
       L"Software\\Classes\\Wow6432Node\\Interface\\{x}"},
      {HKEY_CURRENT_USER, L"Software\\Classes\\Media Type", true,
       L"Software\\Classes\\Wow6432Node\\Media Type"},
      // HKLM\SOFTWARE itself is redirected, its Classes and the listed keys shared.
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tovin", true, L"SOFTWARE\\Wow6432Node\\Tovin"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE", true, L"SOFTWARE\\Wow6432Node"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", true,
       L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\tovin\\shell\\open\\command", false,
       L"SOFTWARE\\Classes\\tovin\\shell\\open\\command"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\AppID\\{x}", false,
       L"SOFTWARE\\Classes\\AppID\\{x}"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tovin.exe",
       false, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tovin.exe"},
      {HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", false,
       L"SYSTEM\\CurrentControlSet\\Services"},
      // Everything the library keeps per user but the class is shared.
      {HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", false, L"SOFTWARE\\Tovin"},
      {HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload\\Favorites", false,
       L"SOFTWARE\\Tovin\\Sideload\\Favorites"},
      {HKEY_CURRENT_USER, L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin\\command", false,
       L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin\\command"},
      {HKEY_CURRENT_USER, L"Software\\Classes\\tovin", false, L"Software\\Classes\\tovin"},
      {HKEY_CURRENT_USER, L"Software\\Classes\\AppID\\{x}", false,
       L"Software\\Classes\\AppID\\{x}"},
      {HKEY_CURRENT_USER, L"Software\\Classes\\CLSIDs", false, L"Software\\Classes\\CLSIDs"},
      {HKEY_CURRENT_USER,
       L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\https\\UserChoice",
       false,
       L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\https\\UserChoice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const qvtest::Wow64Key key32 = ModelWow64Key(c.root, c.path, RegistryView::k32);
    const qvtest::Wow64Key key64 = ModelWow64Key(c.root, c.path, RegistryView::k64);
    EXPECT_EQ(key32.redirected, c.redirected);
    EXPECT_EQ(key64.redirected, c.redirected);
    EXPECT_EQ(key32.physical, c.physical32);
    EXPECT_EQ(key64.physical, c.path) << "the 64-bit view is the registry itself";
  }

  struct Access {
    REGSAM access;
    bool chosen;
    RegistryView view;
  } accesses[] = {
      {KEY_READ, true, RegistryView::k32},
      {KEY_READ | KEY_WRITE, true, RegistryView::k32},
      {KEY_READ | KEY_WOW64_64KEY, true, RegistryView::k64},
      {KEY_READ | KEY_WOW64_32KEY, true, RegistryView::k32},
      {KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, false, RegistryView::k32},
  };
  for (const Access& a : accesses) {
    RegistryView view = RegistryView::k32;
    EXPECT_EQ(qvtest::ViewOfAccess(a.access, &view), a.chosen) << std::hex << a.access;
    if (a.chosen) {
      EXPECT_EQ(view, a.view) << std::hex << a.access;
    }
  }
}

// The model between this test program and its registry functions: a subkey opened relative to a
// 64-bit handle without the flag is a fault and lands in Wow6432Node, with the flag it is none;
// both flags are refused as Windows refuses them.
TEST(RegistryViews, TheModelCatchesAChildOpenedWithoutTheParentsView) {
  if (!RunsUnderWow64())
    GTEST_SKIP() << "registry views exist for a 32-bit process on 64-bit Windows only";
  const std::wstring band = L"Software\\Classes\\CLSID\\{6513270E-269E-4D37-B2A7-4DE452E6B438}";
  qvtest::ScopedRegistryKey saved(HKEY_CURRENT_USER, band);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, band, L"", REG_SZ,
                                         qvtest::WideBytes(L"band"), KEY_WOW64_64KEY));

  std::vector<std::wstring> faults;
  LONG withoutFlag = ERROR_SUCCESS, withFlag = ERROR_FILE_NOT_FOUND, bothFlags = ERROR_SUCCESS;
  std::vector<qvtest::ModelledRegistryCall> calls;
  {
    qvtest::ScopedWow64RegistryModel model(GetModuleHandleW(nullptr));
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0,
                            KEY_READ | KEY_WOW64_64KEY, &classes),
              ERROR_SUCCESS);
    HKEY child = nullptr;
    withoutFlag =
        RegOpenKeyExW(classes, L"{6513270E-269E-4D37-B2A7-4DE452E6B438}", 0, KEY_READ, &child);
    if (withoutFlag == ERROR_SUCCESS) RegCloseKey(child);
    withFlag = RegOpenKeyExW(classes, L"{6513270E-269E-4D37-B2A7-4DE452E6B438}", 0,
                             KEY_READ | KEY_WOW64_64KEY, &child);
    if (withFlag == ERROR_SUCCESS) RegCloseKey(child);
    bothFlags = RegOpenKeyExW(HKEY_CURRENT_USER, kTovinKey, 0,
                              KEY_READ | KEY_WOW64_64KEY | KEY_WOW64_32KEY, &child);
    RegCloseKey(classes);
    // This test program imports registry functions the model has no need to cover; only what
    // the calls above did counts here.
    for (const std::wstring& fault : model.faults()) {
      if (fault.rfind(L"registry function the model does not cover", 0) != 0)
        faults.push_back(fault);
    }
    calls = model.calls();
  }
  EXPECT_EQ(withoutFlag, ERROR_FILE_NOT_FOUND)
      << "looked for in Software\\Classes\\Wow6432Node\\CLSID";
  EXPECT_EQ(withFlag, ERROR_SUCCESS);
  EXPECT_EQ(bothFlags, ERROR_INVALID_PARAMETER);
  ASSERT_EQ(faults.size(), 2u) << Lines(faults);
  EXPECT_EQ(
      faults[0],
      L"RegOpenKeyExW HKCU\\" + band +
          L" access 0x20019 in the 32-bit view: a redirected key in the 32-bit view, where no "
          L"64-bit reader looks");
  EXPECT_EQ(
      faults[1],
      L"RegOpenKeyExW HKCU\\SOFTWARE\\Tovin access 0x20319 in the 32-bit view: both view flags, "
      L"which Windows refuses");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_TRUE(calls[2].redirected);
  EXPECT_EQ(calls[2].view, RegistryView::k64);
}

// Every export and both rundll32.exe entries of the 32-bit DLL, run as far as they go against the
// 64-bit platform (the 64-bit deskband library, registered by the 64-bit regsvr32.exe as Windows
// does for a 32-bit installer): no key the 64-bit Explorer or the engine reads is reached in the
// 32-bit view, and so the deskband registered in the 64-bit view is found, registered, shown and
// launched.
TEST(RegistryViews, EveryExportAndEntryReachesThe64BitPlatformKeys) {
  if (!RunsUnderWow64())
    GTEST_SKIP() << "registry views exist for a 32-bit process on 64-bit Windows only";
  const std::wstring native = qvtest::ExecutableDirectory() + L"x64\\";
  if (!qvtest::FileExists(native + L"qvdeskband_0.dll")) {
    GTEST_SKIP() << "no 64-bit simulated platform in " << qvtest::Narrow(native);
  }

  qvtest::ScopedRegistryKey settings(HKEY_CURRENT_USER, kTovinKey);
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved;
  for (const wchar_t* key : kExplorerKeys) {
    saved.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
  }
  const qvtest::ScopedDeskbandRegistrations registrations{HKEY_CURRENT_USER};
  qvtest::ScopedDeskbandCleanup cleanup;
  qvtest::ScopedTempDir root;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const std::wstring installDir = root.path() + L"Tovin Apps\\";
  ASSERT_TRUE(CreateDirectoryW(installDir.c_str(), nullptr));
  const std::wstring library = installDir + L"qvdeskband_0.dll";
  ASSERT_TRUE(CopyFileW((native + L"qvdeskband_0.dll").c_str(), library.c_str(), FALSE));
  qvtest::FakeEngineInstall engine(installDir + L"Engine");
  engine.setBehaviour(qvtest::EngineQuit::kObey, 0, false);
  auto setString = [](const wchar_t* name, const std::wstring& value) {
    return qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, name, REG_SZ,
                                      qvtest::WideBytes(value));
  };
  ASSERT_TRUE(setString(L"InstallDir", installDir.substr(0, installDir.size() - 1)));
  ASSERT_TRUE(setString(L"RegisterDeskbandFilename", L"qvdeskband_0.dll"));
  const std::wstring favorites = root.path() + L"favorites.txt";
  qvtest::WriteFileBytes(favorites, "https://example.com/a\r\nhttps://example.com/b\r\n");
  const std::wstring picture = root.path() + L"banner.png";
  qvtest::WriteFileBytes(picture, qvtest::TwoColourPng(8, 4, 0xFF0000, 0x0000FF));
  qvtest::ScopedBrowsers browsers;
  const std::wstring browserCommand = L"\"" + browsers.chosenBrowser() + L"\" \"%1\"";
  browsers.setChoice(L"https", L"QvTestBrowserURL", browserCommand.c_str());
  const HWND dialog = CreateWindowExW(0, L"#32770", L"setup", WS_POPUP, 0, 0, 300, 200, nullptr,
                                      nullptr, nullptr, nullptr);
  const HWND control = CreateWindowExW(0, L"STATIC", L"label", WS_CHILD | WS_VISIBLE, 0, 0, 80, 40,
                                       dialog, nullptr, nullptr, nullptr);
  ASSERT_TRUE(dialog && control);

  qvtest::Library dll;
  ASSERT_TRUE(dll);
  std::vector<std::wstring> faults;
  std::vector<qvtest::ModelledRegistryCall> calls;
  std::vector<std::string> patched;
  int registeredBefore = -1, registered = -1, registeredAfter = -1, shown = -1;
  {
    qvtest::ScopedWow64RegistryModel model(dll.module());
    patched = model.patchedFunctions();

    QV_CALL(dll, QVNSIS_LogStartupInfo);
    QV_CALL(dll, QVNSIS_Log, L"registry views");
    QV_CALL(dll, QVNSIS_SetInstallDate);
    wchar_t buffer[1024] = {};
    QV_CALL(dll, QVNSIS_GetInstallDir, buffer, 1024);
    QV_CALL(dll, QVNSIS_GetLanguageString, 105, buffer, 1024);
    QV_CALL(dll, QVNSIS_LoadFavorites, favorites.c_str());
    QV_CALL(dll, QVNSIS_RegisterContextMenuHandlers);
    QV_CALL(dll, QVNSIS_RegisterProtocolHandler);
    QV_CALL(dll, QVNSIS_PinAppStore);

    registeredBefore = QV_CALL(dll, QVNSIS_IsDeskbandRegistered);
    registered = QV_CALL(dll, QVNSIS_RegisterDeskband);
    registeredAfter = QV_CALL(dll, QVNSIS_IsDeskbandRegistered);
    // The 64-bit taskbar's part: the band's window below Shell_TrayWnd, as Explorer would load it.
    const ScopedHandle host =
        qvtest::StartProgram(native + L"qvbandhost.exe",
                             L"\"" + library + L"\" \"" + qvtest::DeskbandClsidText(0) + L"\"");
    EXPECT_NE(qvtest::WaitForDeskbandWindow(), nullptr);
    shown = QV_CALL(dll, QVNSIS_ShowDeskband);

    wchar_t commandLine[] = L"";
    QV_CALL(dll, RunLaunchPlatformW, nullptr, dll.module(), commandLine, SW_SHOWNORMAL);

    QV_CALL(dll, QVNSIS_RunTovin, 1);
    QV_CALL(dll, QVNSIS_RunTovinAndStartApp, 0, "app");
    QV_CALL(dll, QVNSIS_RunTovinAndSideloadApps);
    QV_CALL(dll, QVNSIS_SendUninstallingStats);
    QV_CALL(dll, QVNSIS_StopTovin);
    qvtest::WaitForExit(host, 10000);

    QV_CALL(dll, QVNSIS_SetWindowImage, control, L"BANNER");
    QV_CALL(dll, QVNSIS_SetWindowImageFromFile, control, picture.c_str());
    QV_CALL(dll, QVNSIS_StartProgressTextTimer, control);
    QV_CALL(dll, QVNSIS_PrepareWindow, dialog, 1);
    QV_CALL(dll, QVNSIS_OpenUninstallSurvey);
    QV_CALL(dll, RunFreeDeskbandW, nullptr, dll.module(), commandLine, SW_SHOWNORMAL);

    faults = model.faults();
    calls = model.calls();
  }
  DestroyWindow(dialog);

  EXPECT_TRUE(faults.empty()) << Lines(faults);
  // The model stood where the library meets the registry, and saw the platform's keys.
  for (const char* name : {"RegOpenKeyExW", "RegCreateKeyExW", "RegCloseKey"}) {
    EXPECT_NE(std::find(patched.begin(), patched.end(), name), patched.end()) << name;
  }
  const std::wstring bandKey = L"HKCU\\" + qvtest::DeskbandClassKeys()[0];
  EXPECT_TRUE(Reached(calls, "RegOpenKeyExW", bandKey, RegistryView::k64))
      << "the deskband's class, found";
  EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                          [&](const qvtest::ModelledRegistryCall& call) {
                            return _wcsicmp(call.key.c_str(),
                                            (L"HKLM\\" + qvtest::DeskbandClassKeys()[0]).c_str()) ==
                                       0 &&
                                   call.view == RegistryView::k64;
                          }))
      << "the machine-wide class, looked for";
  EXPECT_TRUE(Reached(calls, "RegOpenKeyExW", L"HKCU\\SOFTWARE\\Tovin", RegistryView::k32));
  EXPECT_TRUE(Reached(calls, "RegCreateKeyExW", std::wstring(L"HKCU\\") + kExplorerKeys[4],
                      RegistryView::k32));

  // What a 32-bit installer sees on Windows: the band registered by the 64-bit regsvr32.exe.
  EXPECT_EQ(registeredBefore, 0);
  EXPECT_EQ(registered, 1);
  EXPECT_EQ(registeredAfter, 1);
  EXPECT_EQ(shown, 1);
  const std::wstring log = qvtest::TodayLogFile(logDir.path());
  const std::vector<std::wstring> launch = qvtest::LogMessagesOf(log, L"RunLaunchPlatformW: ");
  EXPECT_FALSE(qvtest::LogMessagesOf(log, L"RunFreeDeskbandW: ").empty())
      << "the release entry ran";
  EXPECT_FALSE(qvtest::LogMessagesOf(log, L"UltimateTerminateAllTovinProcesses: ").empty())
      << "the stop ran";
  EXPECT_TRUE(Contains(launch, L"registering deskband success")) << Lines(launch);
  EXPECT_FALSE(Contains(launch, L"could not register deskband; aborting launch")) << Lines(launch);
  EXPECT_TRUE(Contains(launch, L"registering handlers success")) << Lines(launch);
}
