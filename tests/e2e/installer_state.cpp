#include "e2e/installer_state.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cwctype>

#include "foundation/owners/scoped_find_handle.h"
#include "support/registry.h"
#include "support/text.h"

namespace qve2e {

std::wstring LocalAppData() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path), S_OK);
  return path;
}

std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type) {
  qvtest::RegistryValue value;
  if (!qvtest::ReadRegistryValue(HKEY_CURRENT_USER, path, name, &value, kPlatformView))
    return L"<missing>";
  if (type) *type = value.type;
  std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                    value.bytes.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::wstring ReleaseFolder() { return LocalAppData() + L"\\qvnsis-release\\"; }

std::vector<std::wstring> FilesBelow(const std::wstring& dir) {
  std::vector<std::wstring> files;
  std::vector<std::wstring> pending{L""};
  while (!pending.empty()) {
    const std::wstring relative = pending.back();
    pending.pop_back();
    WIN32_FIND_DATAW found;
    const ScopedFindHandle search(FindFirstFileW((dir + relative + L"*").c_str(), &found));
    if (!search) continue;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        files.push_back(relative + name + L"\\");
        pending.push_back(relative + name + L"\\");
      } else {
        files.push_back(relative + name);
      }
    } while (FindNextFileW(search.get(), &found));
  }
  return files;
}

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

}  // namespace

std::vector<std::wstring> LibraryLeftovers(const std::vector<std::wstring>& files) {
  std::vector<std::wstring> leftovers;
  for (const std::wstring& file : files) {
    const std::wstring path = Lower(file);
    const size_t slash = path.find_last_of(L'\\', path.size() - 2);
    const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    const bool pluginsFolder = name.size() > 5 && name.compare(0, 2, L"ns") == 0 &&
                               name.compare(name.size() - 5, 5, L".tmp\\") == 0;
    const bool library = name.compare(0, 6, L"qvnsis") == 0 && name.size() > 4 &&
                         name.compare(name.size() - 4, 4, L".dll") == 0;
    if (pluginsFolder || library) leftovers.push_back(file);
  }
  return leftovers;
}

std::vector<std::wstring> PendingFileRenames() {
  qvtest::RegistryValue value;
  std::vector<std::wstring> paths;
  if (!qvtest::ReadRegistryValue(HKEY_LOCAL_MACHINE,
                                 L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                 L"PendingFileRenameOperations", &value)) {
    return paths;
  }
  const wchar_t* text = reinterpret_cast<const wchar_t*>(value.bytes.data());
  const size_t length = value.bytes.size() / sizeof(wchar_t);
  for (size_t start = 0; start < length;) {
    size_t end = start;
    while (end < length && text[end] != L'\0') ++end;
    std::wstring path(text + start, end - start);
    if (path.compare(0, 4, L"\\??\\") == 0) path.erase(0, 4);
    if (!path.empty()) paths.push_back(path);
    start = end + 1;
  }
  return paths;
}

std::vector<std::wstring> PendingBelow(const std::vector<std::wstring>& pending,
                                       const std::wstring& dir) {
  std::vector<std::wstring> below;
  std::wstring prefix = Lower(dir);
  if (!prefix.empty() && prefix.back() == L'\\') prefix.pop_back();
  for (const std::wstring& path : pending) {
    if (Lower(path).compare(0, prefix.size(), prefix) == 0) below.push_back(path);
  }
  return below;
}

void ExpectNothingOfTheLibraryLeftIn(const std::wstring& temp, const std::string& after) {
  for (const auto& leftover : LibraryLeftovers(FilesBelow(temp))) {
    ADD_FAILURE() << "after " << after << ", the temporary folder holds " << qvtest::Utf8(leftover);
  }
  for (const auto& queued : PendingBelow(PendingFileRenames(), temp)) {
    ADD_FAILURE() << "after " << after
                  << ", queued for deletion at the next reboot: " << qvtest::Utf8(queued);
  }
}

}  // namespace qve2e
