#include "foundation/os/bounded_worker.h"

#include "foundation/owners/scoped_handle.h"

namespace QVOS {

BoundedTask::~BoundedTask() {
  if (finished_) CloseHandle(finished_);
}

DWORD WINAPI BoundedTask::WorkerMain(void* parameter) {
  auto* task = static_cast<BoundedTask*>(parameter);
  // Read before the task may be freed below. The reference keeps this code mapped even when the
  // installer unloads the library while this thread is still blocked.
  const HMODULE module = task->module_;
  task->run();
  SetEvent(task->finished_);
  task->release();
  FreeLibraryAndExitThread(module, 0);
  return 0;
}

bool BoundedTask::runWithin(DWORD timeoutMs) {
  finished_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!finished_) return false;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&BoundedTask::WorkerMain), &module_)) {
    return false;
  }
  InterlockedIncrement(&references_);
  const ScopedHandle thread(CreateThread(nullptr, 0, &BoundedTask::WorkerMain, this, 0, nullptr));
  if (!thread) {
    InterlockedDecrement(&references_);
    FreeLibrary(module_);
    return false;
  }
  // The event rather than the thread's end: a thread's exit waits for the loader, which another
  // thread may hold for a while.
  return WaitForSingleObject(finished_, timeoutMs) == WAIT_OBJECT_0;
}

void BoundedTask::release() {
  if (InterlockedDecrement(&references_) == 0) delete this;
}

}  // namespace QVOS
