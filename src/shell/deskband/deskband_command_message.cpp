#include "shell/deskband/deskband_command_message.h"

#include <algorithm>
#include <memory>
#include <new>

#include "foundation/log/log.h"

namespace {

// The record and its descriptor in one block: a window of this process that handles a command
// only after the send has given up still reads them, so such a block is then left allocated.
struct CommandBlock {
  COPYDATASTRUCT data;
  DeskbandCommandMessage message;
};

bool InThisProcess(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId();
}

}  // namespace

int SendDeskbandCommand(HWND target, WPARAM wParam, int command, const std::wstring& text,
                        uint64_t* result, const std::wstring& secondText, int value) {
  constexpr size_t kTextCapacity = sizeof(DeskbandCommandMessage::text) / sizeof(wchar_t);
  constexpr size_t kSecondTextCapacity =
      sizeof(DeskbandCommandMessage::secondText) / sizeof(wchar_t);
  // Each text keeps room for its terminator.
  if (text.size() >= kTextCapacity) return kDeskbandCommandTextTooLong;
  if (secondText.size() >= kSecondTextCapacity) return kDeskbandCommandSecondTextTooLong;

  // Value-initialised: every byte the fields leave unset goes out as zero.
  std::unique_ptr<CommandBlock> block(new (std::nothrow) CommandBlock());
  if (!block) return kDeskbandCommandNoMemory;
  DeskbandCommandMessage* message = &block->message;
  message->command = command;
  std::copy(text.begin(), text.end(), message->text);
  std::copy(secondText.begin(), secondText.end(), message->secondText);
  message->value = value;

  COPYDATASTRUCT& data = block->data;
  data.dwData = kDeskbandCommandDataId;
  data.cbData = sizeof(DeskbandCommandMessage);
  data.lpData = message;
  if (!target) {
    if (result) *result = 0;
    return kDeskbandCommandSent;
  }
  // Explorer's taskbar thread may hang; an unbounded send would hang the installer with it.
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(target, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&data),
                           SMTO_NORMAL | SMTO_ABORTIFHUNG, kDeskbandCommandTimeoutMs, &answer)) {
    const DWORD error = GetLastError();
    Log::Stream() << L"SendDeskbandCommand: " << Log::OsError{error}
                  << L"the deskband window did not answer command " << command;
    // Another process gets a copy of the record; a window of ours would get the block itself.
    if (IsWindow(target) && InThisProcess(target)) block.release();
    return kDeskbandCommandNotAnswered;
  }
  if (result) *result = static_cast<uint64_t>(answer);
  return kDeskbandCommandSent;
}
