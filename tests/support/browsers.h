#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/registry.h"
#include "support/temp_dir.h"

namespace qvtest {

// Recording programs (copies of record_args.exe) standing in for the user's web browsers, for
// the scope. Every key written is put back at the end.
//
// - "chosen_browser.exe": what the user chose for a scheme (setChoice writes the
//   UrlAssociations\<scheme>\UserChoice ProgId and that ProgId's open command under
//   HKCU\Software\Classes).
// - "shell_browser.exe": what the shell's "open" of an http or https URL runs. Wine looks URL
//   protocols up under HKLM\Software\Classes only, so that is where it is registered, as
//   "<path>" "%1".
class ScopedBrowsers {
 public:
  ScopedBrowsers();
  ~ScopedBrowsers();
  ScopedBrowsers(const ScopedBrowsers&) = delete;
  ScopedBrowsers& operator=(const ScopedBrowsers&) = delete;

  const std::wstring& directory() const { return dir_.path(); }
  const std::wstring& chosenBrowser() const { return chosen_; }
  const std::wstring& shellBrowser() const { return shell_; }

  // Makes `progId` the user's choice for `scheme` ("http" or "https"), with `command` as its open
  // command (no command key when `command` is null).
  void setChoice(const std::wstring& scheme, const std::wstring& progId, const wchar_t* command);

  // The argument texts each program received, in order, once `count` have arrived or after
  // `timeoutMs`.
  std::vector<std::wstring> chosenRecords(size_t count, DWORD timeoutMs = 30000) const;
  std::vector<std::wstring> shellRecords(size_t count, DWORD timeoutMs = 30000) const;

 private:
  ScopedTempDir dir_;
  std::wstring chosen_, shell_;
  std::vector<std::unique_ptr<ScopedRegistryKey>> saved_;
};

// The argument texts a copy of record_args.exe at `program` recorded, in order.
std::vector<std::wstring> RecordedArguments(const std::wstring& program);
// The same, once `count` have arrived or after `timeoutMs`.
std::vector<std::wstring> WaitForArguments(const std::wstring& program, size_t count,
                                           DWORD timeoutMs = 30000);

}  // namespace qvtest
