#include "support/temp_dir.h"

#include <windows.h>

#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"

namespace qvtest {
namespace {

// Any length: a variable longer than a fixed buffer must come back whole.
std::wstring GetEnv(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, &value[0], size);
  value.resize(length < size ? length : 0);
  return value;
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
  SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

}  // namespace

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + L"\\");
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(dir.c_str());
}

ScopedTempDir::ScopedTempDir() {
  const std::wstring root = ExecutableDirectory() + L"scratch\\";
  CreateDirectoryW(root.c_str(), nullptr);
  path_ = root + UniqueName(L"t") + L"\\";
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScopedTempDir::~ScopedTempDir() { RemoveTree(path_); }

ScopedTempEnv::ScopedTempEnv(const std::wstring& directory)
    : oldTmp_(GetEnv(L"TMP")), oldTemp_(GetEnv(L"TEMP")) {
  SetEnv(L"TMP", directory);
  SetEnv(L"TEMP", directory);
}

ScopedTempEnv::~ScopedTempEnv() {
  SetEnv(L"TMP", oldTmp_);
  SetEnv(L"TEMP", oldTemp_);
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool WriteLargeFile(const std::wstring& path, int64_t size, int64_t offset,
                    const std::string& marker) {
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER at;
  at.QuadPart = offset;
  DWORD written = 0;
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
      !WriteFile(file.get(), marker.data(), static_cast<DWORD>(marker.size()), &written, nullptr) ||
      written != marker.size()) {
    return false;
  }
  at.QuadPart = size;
  return SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
  const std::string bytes = ReadFileBytes(path);
  std::vector<std::wstring> lines;
  if (bytes.size() < 2) return lines;
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  size_t start = 0;
  for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace qvtest
