#include "foundation/os/read_whole_file.h"

#include <windows.h>

#include <new>
#include <stdexcept>

#include "foundation/owners/scoped_handle.h"

bool ReadWholeFile(const std::wstring& path, std::vector<char>* bytes) {
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;

  // The whole 64-bit size: taking only its low half would read the start of a larger file and
  // call it complete.
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > MAXDWORD) {
    return false;
  }
  const DWORD expected = static_cast<DWORD>(size.QuadPart);
  std::vector<char> data;
  try {
    // A 32-bit process cannot hold 2 GiB in one block (length_error) and may not find even
    // less (bad_alloc): either way the file does not load.
    data.resize(expected);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  DWORD read = 0;
  if (expected > 0 && !ReadFile(file.get(), data.data(), expected, &read, nullptr)) return false;
  if (read != expected) return false;
  bytes->swap(data);
  return true;
}
