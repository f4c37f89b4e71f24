#include "shell/deskband/deskband_command_message.h"

#include <algorithm>
#include <memory>
#include <new>

int SendDeskbandCommand(HWND target, WPARAM wParam, int command, const std::wstring& text,
                        uint64_t* result, const std::wstring& secondText, int value) {
  constexpr size_t kTextCapacity = sizeof(DeskbandCommandMessage::text) / sizeof(wchar_t);
  constexpr size_t kSecondTextCapacity = sizeof(DeskbandCommandMessage::secondText) / sizeof(wchar_t);
  // Each text keeps room for its terminator.
  if (text.size() >= kTextCapacity) return kDeskbandCommandTextTooLong;
  if (secondText.size() >= kSecondTextCapacity) return kDeskbandCommandSecondTextTooLong;

  // Value-initialised: every byte the fields leave unset goes out as zero.
  std::unique_ptr<DeskbandCommandMessage> message(new (std::nothrow) DeskbandCommandMessage());
  if (!message) return kDeskbandCommandNoMemory;
  message->command = command;
  std::copy(text.begin(), text.end(), message->text);
  std::copy(secondText.begin(), secondText.end(), message->secondText);
  message->value = value;

  COPYDATASTRUCT data = {};
  data.dwData = kDeskbandCommandDataId;
  data.cbData = sizeof(DeskbandCommandMessage);
  data.lpData = message.get();
  const LRESULT sent = SendMessageW(target, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&data));
  if (result) *result = static_cast<uint64_t>(static_cast<ULONG_PTR>(sent));
  return kDeskbandCommandSent;
}
