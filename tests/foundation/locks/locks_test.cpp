#include <gtest/gtest.h>

#include <process.h>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_mutex_lock.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/holding_child.h"
#include "support/text.h"

namespace {

class CountingCritSec : public QVCritSec {
 public:
  void lock() override {
    ++locks;
    QVCritSec::lock();
  }
  void unlock() override {
    ++unlocks;
    QVCritSec::unlock();
  }
  int locks = 0;
  int unlocks = 0;
};

// Takes the named mutex, signals `ready`, and keeps it until `done` is signalled.
QV_TEST_CHILD(hold_mutex) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, qvtest::Narrow(args.at(0)).c_str());
  ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args.at(1).c_str()));
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(2).c_str()));
  if (!mutex || !ready || !done) return 2;
  SetEvent(ready.get());
  WaitForSingleObject(done.get(), 60000);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}

// Takes the named mutex, which the parent created, and dies owning it. Exit code 2 when it could
// not take it.
QV_TEST_CHILD(abandon_mutex) {
  // The mutex exists already, so only a wait makes this process its owner (an initial owner
  // request is ignored for an existing mutex).
  HANDLE mutex = CreateMutexA(nullptr, FALSE, qvtest::Narrow(args.at(0)).c_str());
  if (!mutex || WaitForSingleObject(mutex, 10000) != WAIT_OBJECT_0) return 2;
  ExitProcess(0);
}

// Exit code 0 when the mutex could be taken at once, 1 when not.
QV_TEST_CHILD(try_mutex) {
  QVMutexLock lock(qvtest::Narrow(args.at(0)).c_str(), 0);
  return lock.held() ? 0 : 1;
}

}  // namespace

TEST(QVCritLock, LocksOnceForItsScopeAndNullIsANoOp) {
  CountingCritSec section;
  {
    QVCritLock lock(&section);
    EXPECT_EQ(section.locks, 1);
    EXPECT_EQ(section.unlocks, 0);
  }
  EXPECT_EQ(section.unlocks, 1);
  { QVCritLock none(nullptr); }  // must neither lock nor unlock anything
  EXPECT_EQ(section.locks, 1);
  EXPECT_EQ(section.unlocks, 1);
}

TEST(QVCritSec, TryLockFailsAcrossThreadsAndRecursesOnTheOwner) {
  QVCritSec section;
  auto tryFromOtherThread = [&section]() {
    struct Ctx {
      QVCritSec* s;
      bool got;
    } ctx{&section, false};
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0,
        [](void* p) WINAPI -> unsigned {
          auto* c = static_cast<Ctx*>(p);
          c->got = c->s->tryLock();
          if (c->got) c->s->unlock();
          return 0;
        },
        &ctx, 0, nullptr));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return ctx.got;
  };

  section.lock();
  EXPECT_TRUE(section.tryLock()) << "same thread: recursion";
  EXPECT_FALSE(tryFromOtherThread());
  section.unlock();
  EXPECT_FALSE(tryFromOtherThread()) << "still held once by this thread";
  section.unlock();
  EXPECT_TRUE(tryFromOtherThread());
}

TEST(QVMutexLock, TimeoutZeroOnAMutexHeldByAnotherProcessHoldsNothing) {
  const std::wstring name = qvtest::UniqueName(L"qvtest_mutex");
  qvtest::HoldingChild holder(L"hold_mutex", {name});
  ASSERT_TRUE(holder.holding());

  QVMutexLock lock(qvtest::Narrow(name).c_str(), 0);
  EXPECT_FALSE(lock.held());
  EXPECT_TRUE(lock.timedOut());
  EXPECT_EQ(lock.release(), 0);

  ASSERT_EQ(holder.finish(), 0u);
  QVMutexLock after(qvtest::Narrow(name).c_str(), 0);
  EXPECT_TRUE(after.held());
  EXPECT_FALSE(after.timedOut());
  EXPECT_NE(after.release(), 0);
  EXPECT_EQ(after.release(), 0) << "a second release has nothing to release";
}

// A name another kind of object holds: no mutex, and not a time-out either.
TEST(QVMutexLock, ANameTakenByAnEventIsNeitherHeldNorTimedOut) {
  const std::wstring name = qvtest::UniqueName(L"qvtest_mutex");
  ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, qvtest::Narrow(name).c_str()));
  ASSERT_TRUE(event);
  QVMutexLock lock(qvtest::Narrow(name).c_str(), 1000);
  EXPECT_FALSE(lock.held());
  EXPECT_FALSE(lock.timedOut());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(QVMutexLock, AbandonedMutexIsTakenOver) {
  const std::wstring name = qvtest::UniqueName(L"qvtest_mutex");
  // Keep the mutex object alive after the child dies, so it is abandoned rather than destroyed.
  ScopedHandle keepAlive(CreateMutexA(nullptr, FALSE, qvtest::Narrow(name).c_str()));
  ASSERT_EQ(qvtest::RunChild(L"abandon_mutex", {name}).exitCode, 0u) << "the child died owning it";

  QVMutexLock lock(qvtest::Narrow(name).c_str(), 5000);
  EXPECT_TRUE(lock.held());
  EXPECT_EQ(qvtest::RunChild(L"try_mutex", {name}).exitCode, 1u) << "taken over, it is ours";
  EXPECT_NE(lock.release(), 0);
  EXPECT_EQ(qvtest::RunChild(L"try_mutex", {name}).exitCode, 0u) << "and released again";
}

TEST(QVMutexLock, LeavingTheScopeWithoutReleaseFreesTheMutexForOtherProcesses) {
  const std::wstring name = qvtest::UniqueName(L"qvtest_mutex");
  {
    QVMutexLock lock(qvtest::Narrow(name).c_str(), INFINITE);
    ASSERT_TRUE(lock.held());
    EXPECT_EQ(qvtest::RunChild(L"try_mutex", {name}).exitCode, 1u) << "held while in scope";
  }
  EXPECT_EQ(qvtest::RunChild(L"try_mutex", {name}).exitCode, 0u) << "released by the destructor";
}
