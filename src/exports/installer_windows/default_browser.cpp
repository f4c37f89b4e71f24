#include "exports/installer_windows/default_browser.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "foundation/os/windows_version.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/path_text.h"

namespace {

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The scheme's name when the URL starts with "http://" or "https://" (any case), else empty.
std::wstring schemeOf(const std::string& url) {
  if (lowerAscii(url.substr(0, 7)) == "http://") return L"http";
  if (lowerAscii(url.substr(0, 8)) == "https://") return L"https";
  return std::wstring();
}

// Byte for byte, with what could end the argument on a command line (a quote, white space,
// control characters) percent-encoded: a well-formed URL holds none of them raw.
std::wstring commandSafeUrl(const std::string& url) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring wide;
  wide.reserve(url.size());
  for (char c : url) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == '"' || byte == 0x7F) {
      wide += L'%';
      wide += kHex[byte >> 4];
      wide += kHex[byte & 0xF];
    } else {
      wide += static_cast<wchar_t>(byte);
    }
  }
  return wide;
}

// Every "%1" replaced by the URL, left to right; inserted text is not scanned again.
std::wstring fillCommand(const std::wstring& command, const std::wstring& url) {
  std::wstring result;
  size_t start = 0;
  for (size_t found; (found = command.find(L"%1", start)) != std::wstring::npos;
       start = found + 2) {
    result.append(command, start, found - start);
    result += url;
  }
  result.append(command, start, std::wstring::npos);
  return result;
}

bool shellOpen(const std::wstring& url) {
  // ShellExecuteW answers a number above 32 when it started something.
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// Starts the browser registered as the user's choice for `scheme`; false when there is none or
// it did not start.
bool startChosenBrowser(const std::wstring& scheme, const std::wstring& url) {
  QVRegKey choice;
  const std::wstring choicePath =
      L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\" + scheme +
      L"\\UserChoice";
  if (choice.open(HKEY_CURRENT_USER, choicePath.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
  std::wstring progId;
  choice.getString(L"Progid", &progId);

  QVRegKey command;
  const std::wstring commandPath = L"Software\\Classes\\" + progId + L"\\shell\\open\\command";
  if (command.open(HKEY_CURRENT_USER, commandPath.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
  std::wstring commandTemplate;
  command.getString(nullptr, &commandTemplate);

  const std::wstring line = QVPaths::quoteArgument(fillCommand(commandTemplate, url));
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  return true;
}

}  // namespace

bool OpenUrlInDefaultBrowser(const std::string& url) {
  if (url.size() < 8) return false;
  const std::wstring scheme = schemeOf(url);
  if (scheme.empty()) return false;
  const std::wstring wideUrl = commandSafeUrl(url);

  if (QVOS::getWindowsVersion() < QVOS::WindowsVersion::WinVista) return shellOpen(wideUrl);
  return startChosenBrowser(scheme, wideUrl) || shellOpen(wideUrl);
}
