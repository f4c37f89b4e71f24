#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Windows' WoW64 registry redirector (Windows 7 and later), as Microsoft documents it in
// "Registry Keys Affected by WOW64" and "Accessing an Alternate Registry View":
//
// - Under HKEY_LOCAL_MACHINE, SOFTWARE is redirected: a 32-bit program's view of
//   SOFTWARE\<x> is SOFTWARE\Wow6432Node\<x>, except for the shared keys the table lists
//   (SOFTWARE\Classes among them). Under SOFTWARE\Classes of both HKEY_LOCAL_MACHINE and
//   HKEY_CURRENT_USER the keys CLSID, DirectShow, Interface, Media Type and MediaFoundation are
//   redirected, to Classes\Wow6432Node\<key>. Everything else is shared: one key seen by both.
//   Windows 7 removed registry reflection; the model knows no reflected keys.
// - Each call that opens, creates or deletes a key chooses its view by its own access flags:
//   KEY_WOW64_64KEY the 64-bit view, KEY_WOW64_32KEY the 32-bit one, neither the caller's own
//   (32-bit here), both ERROR_INVALID_PARAMETER. WOW64 does not remember the view a parent
//   handle was opened in: a subkey opened relative to it without the flag lands in the 32-bit
//   view. RegDeleteKey cannot choose a view.
//
// Wine 8 redirects HKEY_LOCAL_MACHINE\Software but not HKEY_CURRENT_USER\Software\Classes\CLSID,
// so a wrong view of the latter passes every test run under it. The model holds a 32-bit
// library to Windows' rule instead.
namespace qvtest {

enum class RegistryView { k32, k64 };

// Where `path` (relative to `root`, HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER; components
// compared ignoring case) lives in the registry for a program of `view`'s bitness, and whether
// the two views differ there.
struct Wow64Key {
  bool redirected = false;
  std::wstring physical;
};
Wow64Key ModelWow64Key(HKEY root, const std::wstring& path, RegistryView view);

// The view an open, create or delete with `access` reaches from a 32-bit process; false for
// both view flags together.
bool ViewOfAccess(REGSAM access, RegistryView* view);

struct ModelledRegistryCall {
  std::string function;
  std::wstring key;  // "HKCU\..." or "HKLM\...", the parent's path joined with the subkey
  REGSAM access = 0;
  RegistryView view = RegistryView::k32;
  bool redirected = false;  // the key's two views differ
  LONG result = 0;
};

// For the scope, stands between a loaded 32-bit module and the system's registry functions (the
// registry imports of its import table) and applies the redirector to every key that module
// opens, creates or deletes: the call reaches the key Windows would give a 32-bit program on
// 64-bit Windows, through the 64-bit view of the registry underneath, whatever Wine would have
// redirected. Calls on an open handle (values, key information) pass unchanged. One model at a
// time in a process; it must be made in a 32-bit process under WoW64.
//
// A fault is what would go wrong on Windows and not under Wine: a redirected key reached in the
// 32-bit view (every key the library touches is the platform's, read by the 64-bit Explorer or
// the engine from the 64-bit view), both view flags in one call, a key named through
// Wow6432Node, and anything the model does not cover (a registry function it does not know, a
// predefined key other than HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, a handle it did not hand
// out).
class ScopedWow64RegistryModel {
 public:
  explicit ScopedWow64RegistryModel(HMODULE module);
  ~ScopedWow64RegistryModel();
  ScopedWow64RegistryModel(const ScopedWow64RegistryModel&) = delete;
  ScopedWow64RegistryModel& operator=(const ScopedWow64RegistryModel&) = delete;

  // The modelled registry imports that were found and replaced, by name.
  std::vector<std::string> patchedFunctions() const;
  std::vector<ModelledRegistryCall> calls() const;
  std::vector<std::wstring> faults() const;

 private:
  struct Patches;
  std::unique_ptr<Patches> patches_;
};

std::wstring Describe(const ModelledRegistryCall& call);

}  // namespace qvtest
