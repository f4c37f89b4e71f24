#include "foundation/settings/path_text.h"

#include <cstdlib>
#include <vector>

namespace QVPaths {

std::wstring getFileStem(const std::wstring& path) {
  // _wsplitpath writes each component unbounded: buffers as long as the whole path (and never
  // shorter than the 256 characters of _MAX_FNAME) cannot overflow.
  const size_t size = path.size() + 1 > _MAX_FNAME ? path.size() + 1 : _MAX_FNAME;
  std::vector<wchar_t> drive(size > _MAX_DRIVE ? size : _MAX_DRIVE, L'\0');
  std::vector<wchar_t> directory(size, L'\0');
  std::vector<wchar_t> name(size, L'\0');
  std::vector<wchar_t> extension(size, L'\0');
  _wsplitpath(path.c_str(), drive.data(), directory.data(), name.data(), extension.data());
  return name.data();
}

std::wstring quoteArgument(const std::wstring& text) {
  if (text.empty()) return std::wstring();
  if (text.front() == L'"' && text.back() == L'"') return text;
  return L"\"" + text + L"\"";
}

}  // namespace QVPaths
