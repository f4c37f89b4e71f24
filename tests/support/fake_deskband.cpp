#include "support/fake_deskband.h"

#include <objbase.h>

#include "support/child_process.h"
#include "support/program.h"

namespace qvtest {
namespace {

const wchar_t* const kClsids[] = {
    L"{6513270E-269E-4D37-B2A7-4DE452E6B438}", L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}",
    L"{9531985D-5D9D-49F8-9818-E811892F902B}", L"{36F675CC-81E7-4EF5-A8E2-5D940ED90475}",
    L"{6B0D549B-6F03-475A-9600-A35A099950D8}",
};

BOOL CALLBACK FindFirst(HWND window, LPARAM lParam) {
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (std::wstring(className) != L"TovinDeskBandClass2") return TRUE;
  *reinterpret_cast<HWND*>(lParam) = window;
  return FALSE;
}

}  // namespace

std::wstring DeskbandClsidText(int number) { return kClsids[number]; }

CLSID DeskbandClsid(int number) {
  CLSID clsid = {};
  CLSIDFromString(kClsids[number], &clsid);
  return clsid;
}

std::vector<std::wstring> DeskbandClassKeys() {
  std::vector<std::wstring> keys;
  for (const wchar_t* clsid : kClsids)
    keys.push_back(std::wstring(L"Software\\Classes\\CLSID\\") + clsid);
  return keys;
}

ScopedDeskbandRegistrations::ScopedDeskbandRegistrations(std::initializer_list<HKEY> roots) {
  for (const std::wstring& key : DeskbandClassKeys()) {
    for (HKEY root : roots) saved_.push_back(std::make_unique<ScopedRegistryKey>(root, key));
  }
}

std::wstring InstallDeskbandLibrary(const std::wstring& directory, int number) {
  const std::wstring name = L"qvdeskband_" + std::to_wstring(number) + L".dll";
  CreateDirectoryW(directory.c_str(), nullptr);
  CopyFileW((ExecutableDirectory() + name).c_str(), (directory + name).c_str(), FALSE);
  return directory + name;
}

DWORD RunRegsvr32(const std::wstring& arguments) {
  return WaitForExit(StartProgram(SystemProgram(L"regsvr32.exe"), arguments), 30000);
}

ScopedInstalledDeskband::ScopedInstalledDeskband(const std::wstring& folderName)
    : build_(HKEY_CURRENT_USER, DeskbandClassKeys()[1]),
      settings_(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin"),
      installDir_(root_.path() + folderName) {
  library_ = InstallDeskbandLibrary(installDir_ + L"\\", 1);
  ok_ = RunRegsvr32(L"/s \"" + library_ + L"\"") == 0 &&
        WriteRegistryValue(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", L"InstallDir", REG_SZ,
                           WideBytes(installDir_));
}

HWND FindDeskbandWindow() {
  HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
  HWND found = nullptr;
  if (tray) EnumChildWindows(tray, FindFirst, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND WaitForDeskbandWindow(DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (HWND window = FindDeskbandWindow()) return window;
    if (GetTickCount64() > deadline) return nullptr;
    Sleep(20);
  }
}

ScopedHandle StartBandHost(const std::wstring& library, const std::wstring& clsidText) {
  const std::wstring exe = ExecutableDirectory() + L"qvbandhost.exe";
  return StartProgram(exe, L"\"" + library + L"\" \"" + clsidText + L"\"");
}

ScopedDeskbandCleanup::~ScopedDeskbandCleanup() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    HWND window = FindDeskbandWindow();
    if (!window) break;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 2000, &ignored);
  }
  for (const wchar_t* clsid : kClsids) {
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   (std::wstring(L"Software\\Classes\\CLSID\\") + clsid).c_str());
  }
}

}  // namespace qvtest
