#include "support/browsers.h"

#include "support/child_process.h"

namespace qvtest {
namespace {

const wchar_t kChoices[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
const wchar_t* const kSchemes[] = {L"http", L"https"};

std::wstring CopyRecorder(const std::wstring& directory, const wchar_t* name) {
  const std::wstring path = directory + name;
  CopyFileW((ExecutableDirectory() + L"record_args.exe").c_str(), path.c_str(), FALSE);
  return path;
}

std::wstring Widen(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return wide;
}

}  // namespace

ScopedBrowsers::ScopedBrowsers()
    : chosen_(CopyRecorder(dir_.path(), L"chosen_browser.exe")),
      shell_(CopyRecorder(dir_.path(), L"shell_browser.exe")) {
  for (const wchar_t* scheme : kSchemes) {
    saved_.push_back(
        std::make_unique<ScopedRegistryKey>(HKEY_CURRENT_USER, std::wstring(kChoices) + scheme));
    const std::wstring command =
        std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command";
    saved_.push_back(std::make_unique<ScopedRegistryKey>(HKEY_LOCAL_MACHINE, command));
    WriteRegistryValue(HKEY_LOCAL_MACHINE, command, L"", REG_SZ,
                       WideBytes(L"\"" + shell_ + L"\" \"%1\""));
  }
}

ScopedBrowsers::~ScopedBrowsers() {
  // Keys in reverse order of saving, so that a ProgId key is restored before anything above it.
  while (!saved_.empty()) saved_.pop_back();
}

void ScopedBrowsers::setChoice(const std::wstring& scheme, const std::wstring& progId,
                               const wchar_t* command) {
  const std::wstring progIdKey = L"Software\\Classes\\" + progId;
  saved_.push_back(std::make_unique<ScopedRegistryKey>(HKEY_CURRENT_USER, progIdKey));
  WriteRegistryValue(HKEY_CURRENT_USER, std::wstring(kChoices) + scheme + L"\\UserChoice",
                     L"Progid", REG_SZ, WideBytes(progId));
  if (command) {
    WriteRegistryValue(HKEY_CURRENT_USER, progIdKey + L"\\shell\\open\\command", L"", REG_SZ,
                       WideBytes(command));
  } else {
    WriteRegistryValue(HKEY_CURRENT_USER, progIdKey, L"", REG_SZ, WideBytes(L"no open command"));
  }
}

std::vector<std::wstring> ScopedBrowsers::chosenRecords(size_t count, DWORD timeoutMs) const {
  return WaitForArguments(chosen_, count, timeoutMs);
}

std::vector<std::wstring> ScopedBrowsers::shellRecords(size_t count, DWORD timeoutMs) const {
  return WaitForArguments(shell_, count, timeoutMs);
}

std::vector<std::wstring> RecordedArguments(const std::wstring& program) {
  const std::wstring record = program.substr(0, program.find_last_of(L'.')) + L".args.txt";
  const std::string bytes = ReadFileBytes(record);
  std::vector<std::wstring> arguments;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = bytes.substr(start, end - start);
    const size_t tab = line.find('\t');
    arguments.push_back(Widen(tab == std::string::npos ? line : line.substr(tab + 1)));
  }
  return arguments;
}

std::vector<std::wstring> WaitForArguments(const std::wstring& program, size_t count,
                                           DWORD timeoutMs) {
  std::vector<std::wstring> records = RecordedArguments(program);
  for (DWORD waited = 0; records.size() < count && waited < timeoutMs; waited += 100) {
    Sleep(100);
    records = RecordedArguments(program);
  }
  return records;
}

}  // namespace qvtest
