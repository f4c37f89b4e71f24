#include "store/variants/utf8.h"

#include <windows.h>

namespace QVUtf8 {

std::string fromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr,
                                       nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &result[0], size, nullptr, nullptr);
  return result;
}

std::wstring toWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring result(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &result[0], size);
  return result;
}

bool toWideStrict(const char* bytes, size_t count, std::wstring* text) {
  if (count == 0) {
    text->clear();
    return true;
  }
  const int length = static_cast<int>(count);
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
  if (size <= 0) return false;
  std::wstring result(static_cast<size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, length, &result[0], size) != size) {
    return false;
  }
  text->swap(result);
  return true;
}

std::wstring widenBytes(const std::string& bytes) {
  std::wstring result;
  result.reserve(bytes.size());
  for (const char c : bytes) result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace QVUtf8
