#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "exports/caller_buffer.h"

// The rules every buffer-filling export follows, on the helper that applies them: the buffer as
// the script sees it afterwards, the code left as the last error, and whether the export's work
// ran at all.

namespace {

constexpr DWORD kLeftOver = 0x5EED;

struct Case {
  const char* what;
  bool nullBuffer;
  int size;
  std::wstring text;
  DWORD status;
  std::wstring buffer;  // the buffer afterwards, started as 8 '#'
  DWORD lastError;
  bool textMade;
};

}  // namespace

TEST(CallerBuffer, FillsOrLeavesTheBufferAndSaysWhy) {
  const Case cases[] = {
      {"fits", false, 8, L"abc", ERROR_SUCCESS, std::wstring(L"abc\0####", 8), ERROR_SUCCESS, true},
      {"just fits", false, 4, L"abc", ERROR_SUCCESS, std::wstring(L"abc\0####", 8), ERROR_SUCCESS,
       true},
      {"a placeholder text is copied with its code", false, 8, L"abc",
       ERROR_RESOURCE_NAME_NOT_FOUND, std::wstring(L"abc\0####", 8), ERROR_RESOURCE_NAME_NOT_FOUND,
       true},
      {"no room for the terminator", false, 3, L"abc", ERROR_SUCCESS, std::wstring(L"\0#######", 8),
       ERROR_INSUFFICIENT_BUFFER, true},
      {"room for the terminator only", false, 1, L"abc", ERROR_RESOURCE_NAME_NOT_FOUND,
       std::wstring(L"\0#######", 8), ERROR_INSUFFICIENT_BUFFER, true},
      {"no text", false, 8, L"", ERROR_PATH_NOT_FOUND, L"########", ERROR_PATH_NOT_FOUND, true},
      {"no text in a short buffer", false, 1, L"", ERROR_PATH_NOT_FOUND, L"########",
       ERROR_PATH_NOT_FOUND, true},
      {"size 0", false, 0, L"abc", ERROR_SUCCESS, L"########", ERROR_INSUFFICIENT_BUFFER, false},
      {"negative size", false, -5, L"abc", ERROR_SUCCESS, L"########", ERROR_INSUFFICIENT_BUFFER,
       false},
      {"null buffer", true, 8, L"abc", ERROR_SUCCESS, L"########", ERROR_INVALID_PARAMETER, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring buffer(8, L'#');
    bool textMade = false;
    SetLastError(kLeftOver);
    FillCallerBuffer("QVNSIS_Example", c.nullBuffer ? nullptr : &buffer[0], c.size, [&] {
      textMade = true;
      return CallerText{c.text, c.status};
    });
    EXPECT_EQ(GetLastError(), c.lastError);
    EXPECT_EQ(buffer, c.buffer);
    EXPECT_EQ(textMade, c.textMade);
  }
}

// Out of memory while the text is made ends the call with its code; the buffer stays as it was.
TEST(CallerBuffer, AnExceptionInTheExportsWorkLeavesTheBuffer) {
  std::wstring buffer(8, L'#');
  SetLastError(kLeftOver);
  FillCallerBuffer("QVNSIS_Example", &buffer[0], 8, []() -> CallerText { throw std::bad_alloc(); });
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(buffer, L"########");
}
