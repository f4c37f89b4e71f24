#include "foundation/os/message_wait.h"

namespace QVOS {

DWORD waitPumpingMessages(HANDLE handle, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  bool quit = false;
  WPARAM quitCode = 0;
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    // Messages already queued do not wake MsgWaitForMultipleObjects: empty the queue first.
    MSG message;
    while (!quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        break;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const DWORD elapsed = GetTickCount() - start;
    const DWORD remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
    // After a WM_QUIT only sent messages are taken (by the wait itself and PeekMessage's
    // PM_QS_SENDMESSAGE); posted ones stay for whoever handles the quit.
    const DWORD wake = quit ? QS_SENDMESSAGE : QS_ALLINPUT;
    const DWORD waited = MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, wake);
    if (waited == WAIT_OBJECT_0 + 1) {
      if (quit) PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      if (remaining > 0) continue;
      result = WaitForSingleObject(handle, 0);
      break;
    }
    result = waited == WAIT_OBJECT_0 || waited == WAIT_TIMEOUT ? waited : WAIT_FAILED;
    break;
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return result;
}

}  // namespace QVOS
