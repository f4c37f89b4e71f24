#include "foundation/os/system_program.h"

#include <windows.h>

#include "foundation/os/wow64.h"

namespace QVOS {
namespace {

// A directory from one of the system's folder queries, with `name` appended; empty when the query
// fails or the folder does not fit.
template <typename Query>
std::wstring InFolder(Query query, const wchar_t* subFolder, const wchar_t* name) {
  wchar_t directory[MAX_PATH] = {};
  const UINT length = query(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  if (subFolder) path += std::wstring(subFolder) + L"\\";
  return path + name;
}

}  // namespace

std::wstring systemProgramPath(const wchar_t* name) {
  return InFolder(GetSystemDirectoryW, nullptr, name);
}

std::wstring nativeSystemProgramPath(const wchar_t* name) {
  if (!isWow64()) return systemProgramPath(name);
  // The shared Windows folder, not a terminal-server user's private one.
  return InFolder(GetSystemWindowsDirectoryW, L"Sysnative", name);
}

}  // namespace QVOS
