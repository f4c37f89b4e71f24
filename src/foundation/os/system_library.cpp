#include "foundation/os/system_library.h"

#include <vector>

#include "foundation/os/module_instance.h"
#include "foundation/os/wow64.h"

namespace QVOS {
namespace {

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

template <typename Query>
std::wstring InFolder(Query query, const std::wstring& subFolder, const wchar_t* fileName) {
  wchar_t directory[MAX_PATH] = {};
  const UINT length = query(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  if (!subFolder.empty()) path += subFolder + L"\\";
  return path + fileName;
}

// One activation context, released on every way out.
class ActivationContext {
 public:
  explicit ActivationContext(HANDLE context) : context_(context) {}
  ~ActivationContext() {
    if (valid()) ReleaseActCtx(context_);
  }
  ActivationContext(const ActivationContext&) = delete;
  ActivationContext& operator=(const ActivationContext&) = delete;
  bool valid() const { return context_ && context_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return context_; }

 private:
  HANDLE context_;
};

}  // namespace

std::wstring systemLibraryPath(const wchar_t* fileName) {
  // Under WOW64 GetSystemDirectory names System32, which only redirection turns into SysWOW64.
  if (isWow64()) return InFolder(GetSystemWow64DirectoryW, std::wstring(), fileName);
  return InFolder(GetSystemDirectoryW, std::wstring(), fileName);
}

std::wstring sideBySideLibraryPath(const ACTCTXW& manifest, const wchar_t* fileName) {
  const ActivationContext context(CreateActCtxW(&manifest));
  if (!context.valid()) return std::wstring();

  ACTCTX_SECTION_KEYED_DATA found = {};
  found.cbSize = sizeof(found);
  ULONG_PTR cookie = 0;
  if (!ActivateActCtx(context.get(), &cookie)) return std::wstring();
  const BOOL redirected =
      FindActCtxSectionStringW(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr,
                               ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, fileName, &found);
  DeactivateActCtx(0, cookie);
  if (!redirected) return std::wstring();
  const ActivationContext owner(found.hActCtx);

  DWORD index = found.ulAssemblyRosterIndex;
  SIZE_T needed = 0;
  QueryActCtxW(0, owner.get(), &index, AssemblyDetailedInformationInActivationContext, nullptr, 0,
               &needed);
  if (needed < sizeof(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION)) return std::wstring();
  std::vector<BYTE> buffer(needed);
  if (!QueryActCtxW(0, owner.get(), &index, AssemblyDetailedInformationInActivationContext,
                    buffer.data(), buffer.size(), &needed)) {
    return std::wstring();
  }
  const auto* assembly =
      reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
  if (!assembly->lpAssemblyDirectoryName || assembly->ulAssemblyDirectoryNameLength == 0)
    return std::wstring();
  std::wstring directory(assembly->lpAssemblyDirectoryName,
                         assembly->ulAssemblyDirectoryNameLength / sizeof(wchar_t));
  // A system assembly's folder is named relative to the side-by-side store.
  const bool relative = directory.size() < 2 || (directory[1] != L':' && directory[0] != L'\\');
  std::wstring path = relative
                          ? InFolder(GetSystemWindowsDirectoryW, L"WinSxS\\" + directory, fileName)
                          : directory + (directory.back() == L'\\' ? L"" : L"\\") + fileName;
  return IsFile(path) ? path : std::wstring();
}

HMODULE loadSystemLibrary(const wchar_t* fileName, WORD manifestId) {
  std::wstring path = systemLibraryPath(fileName);
  if ((path.empty() || !IsFile(path)) && manifestId != 0) {
    ACTCTXW manifest = {};
    manifest.cbSize = sizeof(manifest);
    manifest.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    manifest.hModule = GetModuleInstance();
    manifest.lpResourceName = MAKEINTRESOURCEW(manifestId);
    const std::wstring sideBySide = sideBySideLibraryPath(manifest, fileName);
    if (!sideBySide.empty()) path = sideBySide;
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Its own imports are then looked for in its folder before the default places.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace QVOS
