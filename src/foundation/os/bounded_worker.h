#pragma once

#include <windows.h>

// Work that may block for longer than its caller can afford to wait (a call into another process
// that has stopped answering): run on a thread of its own, waited for only so long. A worker that
// is given up on keeps running, so the task is shared between the caller and the worker and freed
// by whichever lets go last, and the worker keeps this module loaded until it ends.
namespace QVOS {

class BoundedTask {
 public:
  BoundedTask() = default;
  BoundedTask(const BoundedTask&) = delete;
  BoundedTask& operator=(const BoundedTask&) = delete;

  // Runs run() on a new thread and waits up to `timeoutMs` for it. True when it finished in time:
  // only then may the caller read what run() left in the task. False as well when no thread could
  // be started (run() then never runs). Call once.
  bool runWithin(DWORD timeoutMs);

  // Gives up the caller's share; the task must not be touched afterwards.
  void release();

 protected:
  virtual ~BoundedTask();
  // On the worker thread. Must not reach anything outside the task: the caller may be gone.
  virtual void run() = 0;

 private:
  static DWORD WINAPI WorkerMain(void* task);

  volatile LONG references_ = 1;
  HMODULE module_ = nullptr;   // the worker's reference, given back as it exits
  HANDLE finished_ = nullptr;  // set by the worker once run() has returned
};

// Holds the caller's share of a task.
template <typename Task>
class BoundedTaskHolder {
 public:
  explicit BoundedTaskHolder(Task* task) : task_(task) {}
  ~BoundedTaskHolder() {
    if (task_) task_->release();
  }
  BoundedTaskHolder(const BoundedTaskHolder&) = delete;
  BoundedTaskHolder& operator=(const BoundedTaskHolder&) = delete;
  Task* operator->() const { return task_; }
  explicit operator bool() const { return task_ != nullptr; }

 private:
  Task* task_;
};

}  // namespace QVOS
