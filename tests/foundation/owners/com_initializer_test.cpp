#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "foundation/owners/com_initializer.h"
#include "foundation/owners/scoped_handle.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

struct ApartmentCase {
  DWORD existing;  // the thread's own initialisation before the holder, or ~0u for none
  DWORD requested;
  HRESULT result;
  bool initialized;
};

struct ApartmentOutcome {
  ApartmentCase c;
  HRESULT result = E_FAIL;
  bool initialized = false;
  // What initialising the thread's existing model once more answers after the holder is gone:
  // S_FALSE while the thread's own initialisation still stands, S_OK when the holder took it.
  HRESULT afterwards = E_FAIL;
};

// On a fresh thread, so that every case starts without COM.
DWORD WINAPI RunApartmentCase(void* context) {
  auto* outcome = static_cast<ApartmentOutcome*>(context);
  const bool own = outcome->c.existing != ~0u;
  if (own && FAILED(CoInitializeEx(nullptr, outcome->c.existing))) return 1;
  {
    ComInitializer holder(outcome->c.requested);
    outcome->result = holder.result();
    outcome->initialized = holder.initialized();
  }
  if (own) {
    outcome->afterwards = CoInitializeEx(nullptr, outcome->c.existing);
    if (SUCCEEDED(outcome->afterwards)) CoUninitialize();
    CoUninitialize();
  }
  return 0;
}

}  // namespace

// A thread already in the multithreaded apartment refuses a single-threaded one
// (RPC_E_CHANGED_MODE): the holder must leave that apartment to its owner.
TEST(ComInitializer, BalancesOnlyWhatItInitialised) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const ApartmentCase cases[] = {
      {static_cast<DWORD>(COINIT_MULTITHREADED), COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE,
       false},
      {COINIT_APARTMENTTHREADED, static_cast<DWORD>(COINIT_MULTITHREADED), RPC_E_CHANGED_MODE,
       false},
      {static_cast<DWORD>(COINIT_MULTITHREADED), static_cast<DWORD>(COINIT_MULTITHREADED), S_FALSE,
       true},
      {COINIT_APARTMENTTHREADED, COINIT_APARTMENTTHREADED, S_FALSE, true},
      {~0u, COINIT_APARTMENTTHREADED, S_OK, true},
  };
  for (const ApartmentCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "existing " << c.existing << ", requested " << c.requested);
    ApartmentOutcome outcome;
    outcome.c = c;
    ScopedHandle thread(CreateThread(nullptr, 0, RunApartmentCase, &outcome, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(thread.get(), &exitCode);
    ASSERT_EQ(exitCode, 0u);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.initialized, c.initialized);
    if (c.existing != ~0u) {
      EXPECT_EQ(outcome.afterwards, S_FALSE) << "the thread's own apartment stands";
    }
  }
  const std::vector<std::wstring> changedMode(2, L"CoInitializeEx returned RPC_E_CHANGED_MODE");
  EXPECT_EQ(
      qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), L"ComInitializer::ComInitializer: "),
      changedMode);
}
