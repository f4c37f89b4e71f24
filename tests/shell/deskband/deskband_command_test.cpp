#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "shell/deskband/deskband_command_message.h"
#include "support/deskband_command_record.h"

namespace {

// What the receiving window saw of each WM_COPYDATA.
struct Received {
  int messages = 0;
  WPARAM wParam = 0;
  ULONG_PTR dataId = 0;
  DWORD size = 0;
  std::string bytes;
};
Received g_received;

// Its answer, handed back to the sender.
constexpr LRESULT kReply = 0x5A5A1234;

LRESULT CALLBACK Receiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  ++g_received.messages;
  g_received.wParam = wParam;
  g_received.dataId = data->dwData;
  g_received.size = data->cbData;
  g_received.bytes.assign(static_cast<const char*>(data->lpData), data->cbData);
  return kReply;
}

// A window of this process receives the record; the copy WM_COPYDATA makes is what it sees.
class ReceivingWindow {
 public:
  ReceivingWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Receiver;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QvTestCommandReceiver";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"QvTestCommandReceiver", L"", WS_OVERLAPPED, 0, 0, 10, 10,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~ReceivingWindow() {
    if (window_) DestroyWindow(window_);
    UnregisterClassW(L"QvTestCommandReceiver", GetModuleHandleW(nullptr));
  }
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace

TEST(DeskbandCommand, RecordLayoutLimitsAndResultCodes) {
  ReceivingWindow receiver;
  ASSERT_NE(receiver.get(), nullptr);

  struct Case {
    const char* what;
    int command;
    std::wstring text;
    std::wstring second;
    int value;
    WPARAM wParam;
    int expected;
  };
  const Case cases[] = {
      {"close, no texts", 25, L"", L"", 0, 0, kDeskbandCommandSent},
      {"start screen hidden", 60, L"", L"", 1, 0, kDeskbandCommandSent},
      {"both texts, negative value", -7, L"C:\\Program Files\\Tovin\\\x00e9t\x00e9", L"second",
       -123456, 3, kDeskbandCommandSent},
      {"longest texts", 1, std::wstring(8191, L'a'), std::wstring(511, L'b'), 5, 0,
       kDeskbandCommandSent},
      {"text one too long", 1, std::wstring(8192, L'a'), L"", 0, 0, kDeskbandCommandTextTooLong},
      {"second text one too long", 1, L"x", std::wstring(512, L'b'), 0, 0,
       kDeskbandCommandSecondTextTooLong},
      {"both too long: the text is checked first", 1, std::wstring(9000, L'a'),
       std::wstring(600, L'b'), 0, 0, kDeskbandCommandTextTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_received = Received();
    uint64_t result = 0xFFFFFFFFFFFFFFFFull;
    EXPECT_EQ(SendDeskbandCommand(receiver.get(), c.wParam, c.command, c.text, &result, c.second,
                                  c.value),
              c.expected);
    if (c.expected != kDeskbandCommandSent) {
      EXPECT_EQ(g_received.messages, 0);
      EXPECT_EQ(result, 0xFFFFFFFFFFFFFFFFull);
      continue;
    }
    EXPECT_EQ(g_received.messages, 1);
    EXPECT_EQ(g_received.wParam, c.wParam);
    EXPECT_EQ(g_received.dataId, 1u);
    EXPECT_EQ(g_received.size, 17416u);
    EXPECT_TRUE(g_received.bytes ==
                qvtest::DeskbandCommandRecord(c.command, c.text, c.second, c.value));
    EXPECT_EQ(result, static_cast<uint64_t>(kReply));
  }

  // Without a result out the message still goes.
  g_received = Received();
  EXPECT_EQ(SendDeskbandCommand(receiver.get(), 0, 25, L"", nullptr, L"", 0), kDeskbandCommandSent);
  EXPECT_EQ(g_received.messages, 1);
}
