#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

// A fresh directory removed with its contents at the end of the test.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // With a trailing backslash.
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Points TMP and TEMP (what GetTempPathW reads, here and in children) at `directory` for the
// scope. The directory should end with a backslash.
class ScopedTempEnv {
 public:
  explicit ScopedTempEnv(const std::wstring& directory);
  ~ScopedTempEnv();
  ScopedTempEnv(const ScopedTempEnv&) = delete;
  ScopedTempEnv& operator=(const ScopedTempEnv&) = delete;

 private:
  std::wstring oldTmp_, oldTemp_;
};

// Deletes a directory (with a trailing backslash) and everything in it.
void RemoveTree(const std::wstring& dir);
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// A file of `size` bytes holding `marker` at `offset` and zeros elsewhere. Its size is set by
// moving its end, so that where the file system allows it (under Wine, the host's) the zeros
// take no room on the disk: a file of gigabytes costs nothing. True when every step succeeded.
bool WriteLargeFile(const std::wstring& path, int64_t size, int64_t offset,
                    const std::string& marker);
// The file's UTF-16LE content after its byte-order mark, split at "\r\n" (the last, empty
// piece dropped). Empty when the file does not exist.
std::vector<std::wstring> ReadLogLines(const std::wstring& path);

}  // namespace qvtest
