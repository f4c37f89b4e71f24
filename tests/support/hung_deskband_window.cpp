#include "support/hung_deskband_window.h"

namespace qvtest {
namespace {

constexpr wchar_t kClassName[] = L"TovinDeskBandClass2";

}  // namespace

DWORD WINAPI HungDeskbandWindow::ThreadMain(void* parameter) {
  auto* self = static_cast<HungDeskbandWindow*>(parameter);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
  self->window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD, 0, 0, 10, 10,
                                  FindWindowW(L"Shell_TrayWnd", nullptr), nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
  SetEvent(self->created_.get());
  // Hung: no message is taken from the queue until the test lets go.
  WaitForSingleObject(self->answer_.get(), INFINITE);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  if (self->window_) DestroyWindow(self->window_);
  UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
  return 0;
}

HungDeskbandWindow::HungDeskbandWindow()
    : created_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      answer_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_(CreateThread(nullptr, 0, &HungDeskbandWindow::ThreadMain, this, 0, nullptr)) {
  if (thread_) WaitForSingleObject(created_.get(), 30000);
}

HungDeskbandWindow::~HungDeskbandWindow() {
  SetEvent(answer_.get());
  if (thread_) WaitForSingleObject(thread_.get(), 30000);
}

}  // namespace qvtest
