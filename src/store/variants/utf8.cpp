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

std::wstring widenBytes(const std::string& bytes) {
  std::wstring result;
  result.reserve(bytes.size());
  for (const char c : bytes) result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace QVUtf8
