#include "store/variants/utf8.h"

#include <windows.h>

#include <climits>

namespace QVUtf8 {

std::string fromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
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

namespace {

// MultiByteToWideChar counts in int: a longer text is converted in pieces of at most this many
// bytes, each cut before the first byte of a sequence.
constexpr size_t kPieceBytes = size_t{1} << 30;

size_t PieceLength(const char* data, size_t size) {
  if (size <= kPieceBytes) return size;
  size_t length = kPieceBytes;
  // Back over continuation bytes (10xxxxxx) to the byte that starts their sequence; a run of
  // more than three is invalid anyway, and its conversion says so.
  for (int i = 0; i < 3 && (static_cast<unsigned char>(data[length]) & 0xC0) == 0x80; ++i) --length;
  return length;
}

}  // namespace

// Measured first, then allocated once at its exact length: the peak is the bytes and the text.
bool toWideStrict(const char* bytes, size_t count, std::wstring* text) {
  size_t length = 0;
  for (size_t done = 0; done < count;) {
    const size_t piece = PieceLength(bytes + done, count - done);
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes + done,
                                          static_cast<int>(piece), nullptr, 0);
    if (units <= 0) return false;
    length += static_cast<size_t>(units);
    done += piece;
  }
  std::wstring result(length, L'\0');
  size_t written = 0;
  for (size_t done = 0; done < count;) {
    const size_t piece = PieceLength(bytes + done, count - done);
    const size_t room = length - written;
    const int units =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes + done, static_cast<int>(piece),
                            &result[written], static_cast<int>(room < INT_MAX ? room : INT_MAX));
    if (units <= 0) return false;
    written += static_cast<size_t>(units);
    done += piece;
  }
  if (written != length) return false;
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
