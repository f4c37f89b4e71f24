#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The command record the deskband window receives with WM_COPYDATA (dwData 1). Its layout is
// shared with the deskband library, which may be built for the other word size: little-endian,
// every field at a fixed offset, 17416 bytes in all.
struct DeskbandCommandMessage {
  int32_t command;
  wchar_t text[8192];       // terminated; all zero when empty
  wchar_t secondText[512];  // terminated; all zero when empty
  int32_t value;
};

static_assert(offsetof(DeskbandCommandMessage, command) == 0, "command offset");
static_assert(offsetof(DeskbandCommandMessage, text) == 4, "text offset");
static_assert(offsetof(DeskbandCommandMessage, secondText) == 16388, "second text offset");
static_assert(offsetof(DeskbandCommandMessage, value) == 17412, "value offset");
static_assert(sizeof(DeskbandCommandMessage) == 17416, "record size");

// COPYDATASTRUCT.dwData of every command record.
inline constexpr ULONG_PTR kDeskbandCommandDataId = 1;

// Commands the library sends.
inline constexpr int kDeskbandCommandClose = 25;
inline constexpr int kDeskbandCommandStartScreen = 60;  // value 1: Start screen hidden, 0: shown

// What SendDeskbandCommand answers. Nothing is sent in the error cases.
enum DeskbandCommandResult : int {
  kDeskbandCommandSent = 0,
  kDeskbandCommandTextTooLong = 2,        // 8192 characters or more
  kDeskbandCommandSecondTextTooLong = 3,  // 512 characters or more
  kDeskbandCommandNoMemory = 4,
  kDeskbandCommandNotAnswered =
      5,  // the window did not handle it in time (hung, or gone meanwhile)
};

// How long a command may take the deskband window: a small part of the 5 s in which the deskband
// is taken down, and long enough for a busy Explorer to handle it.
inline constexpr UINT kDeskbandCommandTimeoutMs = 1000;

// Sends `command` with its texts and value to `target` and waits for the window to handle it, at
// most kDeskbandCommandTimeoutMs and not at all when the system already counts its thread as hung;
// a window that does not answer is logged. `result`, when given, receives what the window
// answered, zero-extended to 64 bits. A null `target` sends nothing and is no failure (`result`
// then receives 0).
int SendDeskbandCommand(HWND target, WPARAM wParam, int command, const std::wstring& text,
                        uint64_t* result, const std::wstring& secondText, int value);
