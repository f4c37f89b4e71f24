#include "support/wow64_registry_model.h"

#include <cstring>
#include <cwchar>
#include <map>
#include <sstream>

#include "support/import_table.h"

namespace qvtest {
namespace {

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
constexpr wchar_t kWow6432Node[] = L"Wow6432Node";

enum class Kind { kShared, kRedirected };

// One row of Microsoft's table for Windows 7 and later: a key, how it behaves, and (redirected)
// how many leading components of its path stay before Wow6432Node. A key not listed behaves as
// its nearest listed ancestor; a key without one is shared.
struct Row {
  HKEY root;
  const wchar_t* path;
  Kind kind;
  int insertAfter;
};

const Row kRows[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE", Kind::kRedirected, 1},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Appid", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID", Kind::kRedirected, 2},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\DirectShow", Kind::kRedirected, 2},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\HCP", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Interface", Kind::kRedirected, 2},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Media Type", Kind::kRedirected, 2},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\MediaFoundation", Kind::kRedirected, 2},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\COM3", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography\\Calais\\Current", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography\\Calais\\Readers", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography\\Services", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\CTF\\SystemShared", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\CTF\\TIP", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\DFS", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Driver Signing", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\EnterpriseCertificates", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\EventSystem", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MSMQ", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Non-Driver Signing", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Notepad\\DefaultFonts", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\OLE", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\RAS", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\RPC", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\SOFTWARE\\Microsoft\\Shared Tools\\MSInfo",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\SystemCertificates", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\TermServLicensing", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\TransactionServer", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Group Policy",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Console", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontDpi", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print", Kind::kShared,
     0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
     Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies", Kind::kShared, 0},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", Kind::kShared, 0},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\Appid", Kind::kShared, 0},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\CLSID", Kind::kRedirected, 2},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\DirectShow", Kind::kRedirected, 2},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\Interface", Kind::kRedirected, 2},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\Media Type", Kind::kRedirected, 2},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\MediaFoundation", Kind::kRedirected, 2},
};

std::vector<std::wstring> Components(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstringstream stream(path);
  for (std::wstring part; std::getline(stream, part, L'\\');) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::wstring Join(const std::vector<std::wstring>& parts) {
  std::wstring path;
  for (const std::wstring& part : parts) path += (path.empty() ? L"" : L"\\") + part;
  return path;
}

bool StartsWith(const std::vector<std::wstring>& path, const std::vector<std::wstring>& prefix) {
  if (prefix.size() > path.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (_wcsicmp(path[i].c_str(), prefix[i].c_str()) != 0) return false;
  }
  return true;
}

bool NamesWow6432Node(const std::wstring& path) {
  for (const std::wstring& part : Components(path)) {
    if (_wcsicmp(part.c_str(), kWow6432Node) == 0) return true;
  }
  return false;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const wchar_t* RootName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU"; }

std::wstring Hex(unsigned long value) {
  wchar_t text[16] = {};
  swprintf(text, 16, L"0x%lX", value);
  return text;
}

// A key handle the model handed out: the predefined key it hangs from and its path in the
// registry underneath (Wow6432Node included where the redirector put it).
struct KeyPlace {
  HKEY root;
  std::wstring physical;
};

using RegOpenKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
using RegCreateKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM,
                                        const SECURITY_ATTRIBUTES*, PHKEY, LPDWORD);
using RegDeleteKeyWFn = LONG(WINAPI*)(HKEY, LPCWSTR);
using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);

// The model's state while a scope is active; made once and never freed, so a thread of the
// module that is still inside a replacement when the scope ends finds it.
struct State {
  CRITICAL_SECTION lock;
  std::map<HKEY, KeyPlace> keys;
  std::vector<ModelledRegistryCall> calls;
  std::vector<std::wstring> faults;
  RegCloseKeyFn closeKey = nullptr;
  RegOpenKeyExWFn openKey = nullptr;
  RegCreateKeyExWFn createKey = nullptr;
  RegDeleteKeyExWFn deleteKeyEx = nullptr;

  State() { InitializeCriticalSection(&lock); }
};

State& TheState() {
  static State* state = new State();
  return *state;
}

class Lock {
 public:
  Lock() { EnterCriticalSection(&TheState().lock); }
  ~Lock() { LeaveCriticalSection(&TheState().lock); }
};

void AddFault(const std::wstring& fault) {
  Lock lock;
  TheState().faults.push_back(fault);
}

// Where a call relative to `parent` with `subKey` lands; false (with a fault) when the model
// does not cover the parent.
bool Resolve(const char* function, HKEY parent, LPCWSTR subKey, KeyPlace* place) {
  const std::wstring sub = subKey ? subKey : L"";
  if (NamesWow6432Node(sub)) AddFault(Widen(function) + L" names Wow6432Node itself: " + sub);
  if (parent == HKEY_CURRENT_USER || parent == HKEY_LOCAL_MACHINE) {
    *place = {parent, Join(Components(sub))};
    return true;
  }
  {
    Lock lock;
    const auto found = TheState().keys.find(parent);
    if (found != TheState().keys.end()) {
      place->root = found->second.root;
      place->physical = Join(Components(found->second.physical + L"\\" + sub));
      return true;
    }
  }
  AddFault(Widen(function) + L" on a key the model does not cover (" +
           Hex(reinterpret_cast<ULONG_PTR>(parent)) + L"), subkey " + sub);
  return false;
}

// Applies the view to `place` and records the call; false (with the result to return) when the
// call must not go on.
bool Redirect(const char* function, KeyPlace* place, REGSAM access, RegistryView view,
              bool viewChosen, LONG* refusal) {
  ModelledRegistryCall call;
  call.function = function;
  call.key = std::wstring(RootName(place->root)) + L"\\" + place->physical;
  call.access = access;
  call.view = view;
  if (!viewChosen) {
    call.result = *refusal = ERROR_INVALID_PARAMETER;
    Lock lock;
    TheState().calls.push_back(call);
    TheState().faults.push_back(Describe(call) + L": both view flags, which Windows refuses");
    return false;
  }
  // A path already through Wow6432Node is that key in either view.
  if (!NamesWow6432Node(place->physical)) {
    const Wow64Key key = ModelWow64Key(place->root, place->physical, view);
    call.redirected = key.redirected;
    place->physical = key.physical;
    if (key.redirected && view == RegistryView::k32) {
      AddFault(Describe(call) +
               L": a redirected key in the 32-bit view, where no 64-bit reader looks");
    }
  }
  Lock lock;
  TheState().calls.push_back(call);
  return true;
}

void RecordResult(LONG result) {
  Lock lock;
  TheState().calls.back().result = result;
}

void Remember(HKEY key, const KeyPlace& place) {
  Lock lock;
  TheState().keys[key] = place;
}

// The registry underneath, 64-bit view: the physical path already says where.
REGSAM Underneath(REGSAM access) { return (access & ~kViewFlags) | KEY_WOW64_64KEY; }

LONG WINAPI ModelRegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access,
                               PHKEY result) {
  State& state = TheState();
  KeyPlace place;
  if (!Resolve("RegOpenKeyExW", parent, subKey, &place))
    return state.openKey(parent, subKey, options, access, result);
  RegistryView view = RegistryView::k32;
  const bool viewChosen = ViewOfAccess(access, &view);
  LONG refusal = ERROR_SUCCESS;
  if (!Redirect("RegOpenKeyExW", &place, access, view, viewChosen, &refusal)) return refusal;
  const LONG opened =
      state.openKey(place.root, place.physical.c_str(), options, Underneath(access), result);
  RecordResult(opened);
  if (opened == ERROR_SUCCESS) Remember(*result, place);
  return opened;
}

LONG WINAPI ModelRegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                                 DWORD options, REGSAM access, const SECURITY_ATTRIBUTES* security,
                                 PHKEY result, LPDWORD disposition) {
  State& state = TheState();
  KeyPlace place;
  if (!Resolve("RegCreateKeyExW", parent, subKey, &place)) {
    return state.createKey(parent, subKey, reserved, keyClass, options, access, security, result,
                           disposition);
  }
  RegistryView view = RegistryView::k32;
  const bool viewChosen = ViewOfAccess(access, &view);
  LONG refusal = ERROR_SUCCESS;
  if (!Redirect("RegCreateKeyExW", &place, access, view, viewChosen, &refusal)) return refusal;
  const LONG created = state.createKey(place.root, place.physical.c_str(), reserved, keyClass,
                                       options, Underneath(access), security, result, disposition);
  RecordResult(created);
  if (created == ERROR_SUCCESS) Remember(*result, place);
  return created;
}

LONG Delete(const char* function, HKEY parent, LPCWSTR subKey, REGSAM access, RegistryView view,
            bool viewChosen) {
  State& state = TheState();
  KeyPlace place;
  if (!Resolve(function, parent, subKey, &place))
    return state.deleteKeyEx(parent, subKey, access, 0);
  LONG refusal = ERROR_SUCCESS;
  if (!Redirect(function, &place, access, view, viewChosen, &refusal)) return refusal;
  const LONG deleted = state.deleteKeyEx(place.root, place.physical.c_str(), KEY_WOW64_64KEY, 0);
  RecordResult(deleted);
  return deleted;
}

LONG WINAPI ModelRegDeleteKeyW(HKEY parent, LPCWSTR subKey) {
  // No view can be chosen: always the caller's own.
  return Delete("RegDeleteKeyW", parent, subKey, 0, RegistryView::k32, true);
}

LONG WINAPI ModelRegDeleteKeyExW(HKEY parent, LPCWSTR subKey, REGSAM access, DWORD) {
  RegistryView view = RegistryView::k32;
  const bool chosen = ViewOfAccess(access, &view);
  return Delete("RegDeleteKeyExW", parent, subKey, access, view, chosen);
}

LONG WINAPI ModelRegCloseKey(HKEY key) {
  {
    Lock lock;
    TheState().keys.erase(key);
  }
  return TheState().closeKey(key);
}

struct Modelled {
  const char* name;
  void* replacement;
};

const Modelled kModelled[] = {
    {"RegOpenKeyExW", reinterpret_cast<void*>(&ModelRegOpenKeyExW)},
    {"RegCreateKeyExW", reinterpret_cast<void*>(&ModelRegCreateKeyExW)},
    {"RegDeleteKeyW", reinterpret_cast<void*>(&ModelRegDeleteKeyW)},
    {"RegDeleteKeyExW", reinterpret_cast<void*>(&ModelRegDeleteKeyExW)},
    {"RegCloseKey", reinterpret_cast<void*>(&ModelRegCloseKey)},
};

// Work on a key already open: the handle's key decides, the view plays no part.
const char* const kOnOpenKey[] = {
    "RegQueryValueExW", "RegSetValueExW",          "RegQueryInfoKeyW",
    "RegDeleteValueW",  "RegEnumKeyExW",           "RegEnumValueW",
    "RegFlushKey",      "RegNotifyChangeKeyValue", "RegGetKeySecurity",
};

bool IsAdvapi32(const std::string& module) { return _stricmp(module.c_str(), "advapi32.dll") == 0; }

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Registry functions of any library: advapi32's Reg*, shlwapi's SH* registry helpers, ntdll's
// key functions.
bool IsRegistryFunction(const std::string& name) {
  static const char* const kPrefixes[] = {"Reg",
                                          "SHReg",
                                          "SHGetValue",
                                          "SHSetValue",
                                          "SHDeleteKey",
                                          "SHDeleteValue",
                                          "SHDeleteEmptyKey",
                                          "SHCopyKey",
                                          "SHQueryValueEx",
                                          "SHQueryInfoKey",
                                          "SHEnumKeyEx",
                                          "SHEnumValue",
                                          "NtOpenKey",
                                          "NtCreateKey",
                                          "NtDeleteKey",
                                          "ZwOpenKey",
                                          "ZwCreateKey",
                                          "ZwDeleteKey"};
  for (const char* prefix : kPrefixes) {
    if (StartsWith(name, prefix)) return true;
  }
  return false;
}

}  // namespace

Wow64Key ModelWow64Key(HKEY root, const std::wstring& path, RegistryView view) {
  const std::vector<std::wstring> parts = Components(path);
  const Row* nearest = nullptr;
  size_t nearestLength = 0;
  for (const Row& row : kRows) {
    if (row.root != root) continue;
    const std::vector<std::wstring> rowParts = Components(row.path);
    if (StartsWith(parts, rowParts) && (!nearest || rowParts.size() > nearestLength)) {
      nearest = &row;
      nearestLength = rowParts.size();
    }
  }
  Wow64Key key;
  key.redirected = nearest && nearest->kind == Kind::kRedirected;
  std::vector<std::wstring> physical = parts;
  if (key.redirected && view == RegistryView::k32) {
    physical.insert(physical.begin() + nearest->insertAfter, kWow6432Node);
  }
  key.physical = Join(physical);
  return key;
}

bool ViewOfAccess(REGSAM access, RegistryView* view) {
  if ((access & kViewFlags) == kViewFlags) return false;
  *view = (access & KEY_WOW64_64KEY) ? RegistryView::k64 : RegistryView::k32;
  return true;
}

std::wstring Describe(const ModelledRegistryCall& call) {
  return Widen(call.function) + L" " + call.key + L" access " + Hex(call.access) + L" in the " +
         (call.view == RegistryView::k64 ? L"64" : L"32") + L"-bit view";
}

struct ScopedWow64RegistryModel::Patches {
  std::vector<std::unique_ptr<ScopedImportPatch>> patches;
  std::vector<std::string> names;
};

ScopedWow64RegistryModel::ScopedWow64RegistryModel(HMODULE module) : patches_(new Patches) {
  State& state = TheState();
  {
    Lock lock;
    state.keys.clear();
    state.calls.clear();
    state.faults.clear();
  }
  const HMODULE advapi32 = GetModuleHandleW(L"advapi32.dll");
  state.openKey = reinterpret_cast<RegOpenKeyExWFn>(GetProcAddress(advapi32, "RegOpenKeyExW"));
  state.createKey =
      reinterpret_cast<RegCreateKeyExWFn>(GetProcAddress(advapi32, "RegCreateKeyExW"));
  state.deleteKeyEx =
      reinterpret_cast<RegDeleteKeyExWFn>(GetProcAddress(advapi32, "RegDeleteKeyExW"));
  state.closeKey = reinterpret_cast<RegCloseKeyFn>(GetProcAddress(advapi32, "RegCloseKey"));
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) {
    AddFault(L"the model needs a 32-bit process on 64-bit Windows");
  }

  for (const ImportedFunction& import : ImportsOf(module)) {
    if (!IsRegistryFunction(import.name)) continue;
    const Modelled* modelled = nullptr;
    for (const Modelled& m : kModelled) {
      if (import.name == m.name) modelled = &m;
    }
    bool onOpenKey = false;
    for (const char* name : kOnOpenKey) onOpenKey = onOpenKey || import.name == name;
    if (!IsAdvapi32(import.module) || (!modelled && !onOpenKey)) {
      AddFault(L"registry function the model does not cover: " + Widen(import.module) + L"!" +
               Widen(import.name));
      continue;
    }
    if (!modelled) continue;
    auto patch = std::make_unique<ScopedImportPatch>(module, import.module.c_str(), modelled->name,
                                                     modelled->replacement);
    if (patch->patched()) {
      patches_->names.push_back(modelled->name);
      patches_->patches.push_back(std::move(patch));
    }
  }
}

ScopedWow64RegistryModel::~ScopedWow64RegistryModel() = default;

std::vector<std::string> ScopedWow64RegistryModel::patchedFunctions() const {
  return patches_->names;
}

std::vector<ModelledRegistryCall> ScopedWow64RegistryModel::calls() const {
  Lock lock;
  return TheState().calls;
}

std::vector<std::wstring> ScopedWow64RegistryModel::faults() const {
  Lock lock;
  return TheState().faults;
}

}  // namespace qvtest
