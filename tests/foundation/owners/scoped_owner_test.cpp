#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "foundation/owners/qv_reg_key.h"
#include "foundation/owners/scoped_bstr.h"
#include "foundation/owners/scoped_find_handle.h"
#include "foundation/owners/scoped_gdi_object.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/owners/scoped_owner.h"
#include "support/temp_dir.h"

namespace {

// Records what it frees and, like a failing CloseHandle, overwrites the thread's last error.
struct RecordingTraits {
  using Type = int;
  static Type InvalidValue() { return 0; }
  static void Free(Type value) {
    freed.push_back(value);
    SetLastError(ERROR_INVALID_HANDLE);
  }
  static std::vector<int> freed;
};
std::vector<int> RecordingTraits::freed;

using Owner = ScopedOwner<RecordingTraits>;

// The last error the caller set before the owner was touched.
constexpr DWORD kCallersError = ERROR_FILE_NOT_FOUND;

struct OwnerCase {
  const char* name;
  std::function<void(Owner&)> act;  // on an owner that holds 7
  int heldAfter;
  std::vector<int> freed;  // during act, in order
};

}  // namespace

TEST(ScopedOwner, FreesExactlyWhatItLetsGoOfAndKeepsTheLastError) {
  const OwnerCase cases[] = {
      {"reset to nothing", [](Owner& o) { o.reset(); }, 0, {7}},
      {"reset to another value", [](Owner& o) { o.reset(8); }, 8, {7}},
      {"reset to the value held", [](Owner& o) { o.reset(7); }, 7, {}},
      {"release hands the value out", [](Owner& o) { EXPECT_EQ(o.release(), 7); }, 0, {}},
      {"put frees first", [](Owner& o) { *o.put() = 9; }, 9, {7}},
      {"a move-constructed owner takes it and frees it once",
       [](Owner& o) {
         Owner taken(std::move(o));
         EXPECT_EQ(taken.get(), 7);
       },
       0,
       {7}},
      {"move-assignment frees the target's own value first",
       [](Owner& o) {
         Owner target(5);
         target = std::move(o);
         EXPECT_EQ(target.get(), 7);
       },
       0,
       {5, 7}},
      {"self-move keeps the value",
       [](Owner& o) {
         Owner& alias = o;
         o = std::move(alias);
       },
       7,
       {}},
  };
  for (const OwnerCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingTraits::freed.clear();
    Owner owner(7);
    SetLastError(kCallersError);
    c.act(owner);
    EXPECT_EQ(GetLastError(), kCallersError) << "freeing must not change the caller's last error";
    EXPECT_EQ(RecordingTraits::freed, c.freed);
    EXPECT_EQ(owner.get(), c.heldAfter);
    EXPECT_EQ(static_cast<bool>(owner), c.heldAfter != 0);
  }
}

TEST(ScopedOwner, DestructionFreesOnceAndKeepsTheLastError) {
  RecordingTraits::freed.clear();
  {
    Owner held(3);
    Owner empty;
    SetLastError(kCallersError);
  }
  EXPECT_EQ(GetLastError(), kCallersError);
  EXPECT_EQ(RecordingTraits::freed, std::vector<int>{3}) << "an empty owner frees nothing";
}

TEST(ScopedOwner, ResetReportsTheValueHeldAfterwards) {
  RecordingTraits::freed.clear();
  Owner owner;
  EXPECT_FALSE(owner);
  owner.reset(4);
  EXPECT_TRUE(owner);
  EXPECT_EQ(owner.get(), 4);
  owner.reset(6);
  EXPECT_EQ(owner.get(), 6);
  EXPECT_EQ(RecordingTraits::freed, std::vector<int>{4});
  owner.reset();
  EXPECT_EQ(RecordingTraits::freed, (std::vector<int>{4, 6}));
}

// A failed call's error survives the owner that took its result, as a caller's
// "if (!file) return GetLastError();" needs.
TEST(ScopedFileHandle, AFailedOpenIsNoneAndItsErrorSurvives) {
  qvtest::ScopedTempDir dir;
  {
    SetLastError(0);
    ScopedFileHandle file(CreateFileW((dir.path() + L"missing.txt").c_str(), GENERIC_READ, 0,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(file);
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  ScopedFileHandle null(nullptr);
  EXPECT_FALSE(null) << "null is no file either";
  EXPECT_EQ(null.get(), INVALID_HANDLE_VALUE);
}

TEST(ScopedFileHandle, ClosesTheFileOnReset) {
  qvtest::ScopedTempDir dir;
  const std::wstring path = dir.path() + L"exclusive.txt";
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  ScopedFileHandle second(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(second) << "the file is not shared while the first handle is open";
  file.reset();
  second.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(second) << "reset closed the first handle";
}

TEST(ScopedHandle, ClosesTheObjectAndKeepsTheLastError) {
  const std::wstring name = L"QvnsisOwnerTestEvent" + std::to_wstring(GetCurrentProcessId());
  ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(event);
  SetLastError(kCallersError);
  event.reset();
  EXPECT_EQ(GetLastError(), kCallersError);
  const ScopedHandle reopened(OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  EXPECT_FALSE(reopened) << "the only handle was closed, so the event is gone";
}

// GetCurrentProcess() is the same number as INVALID_HANDLE_VALUE: a kernel-object owner must
// hold it rather than take it for "none", and must never close it.
TEST(ScopedHandle, HoldsPseudoHandlesAndNeverClosesThem) {
  struct Pseudo {
    const char* name;
    HANDLE handle;
  };
  const Pseudo pseudos[] = {{"current process", GetCurrentProcess()},
                            {"current thread", GetCurrentThread()}};
  for (const Pseudo& p : pseudos) {
    SCOPED_TRACE(p.name);
    EXPECT_TRUE(IsPseudoHandle(p.handle));
    {
      ScopedHandle held(p.handle);
      EXPECT_TRUE(held);
      EXPECT_EQ(held.get(), p.handle);
    }
  }
  // Still the caller's process and thread after the owners are gone.
  ScopedHandle process(GetCurrentProcess());
  EXPECT_EQ(GetProcessId(process.get()), GetCurrentProcessId());
  ScopedHandle thread(GetCurrentThread());
  EXPECT_EQ(GetThreadId(thread.get()), GetCurrentThreadId());

  ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  EXPECT_FALSE(IsPseudoHandle(event.get()));
  EXPECT_FALSE(IsPseudoHandle(nullptr));
}

// A duplicate of the current process is a real handle and is closed like one; the pseudo-handle
// it came from is not.
TEST(ScopedHandle, ADuplicateOfAPseudoHandleIsClosed) {
  HANDLE duplicate = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                              &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS));
  { ScopedHandle held(duplicate); }
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(duplicate, &flags)) << "the duplicate was closed";
}

TEST(ScopedFindHandle, AFailedSearchIsNoneAndItsErrorSurvives) {
  qvtest::ScopedTempDir dir;
  WIN32_FIND_DATAW found = {};
  {
    const ScopedFindHandle none(FindFirstFileW((dir.path() + L"nothing-*.log").c_str(), &found));
    EXPECT_FALSE(none);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND))
      << "the failed search's error is still there";

  const ScopedFindHandle search(FindFirstFileW((dir.path() + L"*").c_str(), &found));
  EXPECT_TRUE(search) << "a directory always holds \".\"";
}

TEST(ScopedOwnerTypes, RegistryKeysBitmapsAndStringsAreHeldAndFreed) {
  QVRegKey key;
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, L"Software", KEY_READ), ERROR_SUCCESS);
  const HKEY raw = key.get();
  SetLastError(kCallersError);
  key.reset();
  EXPECT_EQ(GetLastError(), kCallersError);
  DWORD subKeys = 0;
  EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "the key was closed";

  ScopedBitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
  ASSERT_TRUE(bitmap);
  const HBITMAP rawBitmap = bitmap.get();
  bitmap.reset();
  BITMAP info = {};
  EXPECT_EQ(GetObjectW(rawBitmap, sizeof(info), &info), 0) << "the bitmap was deleted";

  ScopedBstr text(std::wstring(L"a\0b", 3));
  ASSERT_TRUE(text);
  EXPECT_EQ(SysStringLen(text.get()), 3u);
  ScopedBstr moved(std::move(text));
  EXPECT_FALSE(text);
  EXPECT_EQ(std::wstring(moved.get(), SysStringLen(moved.get())), std::wstring(L"a\0b", 3));
}
