#pragma once

#include <windows.h>

namespace QVOS {

// Waits up to `timeoutMs` for `handle` while dispatching the calling thread's messages, for a
// thread that others may be sending to: one that owns windows, or installed a window hook whose
// calls Windows may route to it. Answers WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED. A WM_QUIT
// taken from the queue meanwhile is posted again before returning.
DWORD waitPumpingMessages(HANDLE handle, DWORD timeoutMs);

}  // namespace QVOS
