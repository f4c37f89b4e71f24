#include <gtest/gtest.h>

#include "foundation/os/integrity_level.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"

namespace {

// Waits until the named event is set, so the test can look at a live process.
QV_TEST_CHILD(wait_for_event) {
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(0).c_str()));
  WaitForSingleObject(done.get(), 60000);
  return 0;
}

uint32_t g_fakeLevel = 0;
bool g_fakeReadable = true;

bool FakeLevel(HANDLE, uint32_t* level) {
  if (g_fakeReadable) *level = g_fakeLevel;
  return g_fakeReadable;
}

// Puts a fake query in place for the scope.
class ScopedLevelQuery {
 public:
  explicit ScopedLevelQuery(QVOS::detail::IntegrityLevelQuery query)
      : previous_(QVOS::detail::setIntegrityLevelQuery(query)) {}
  ~ScopedLevelQuery() { QVOS::detail::setIntegrityLevelQuery(previous_); }

 private:
  QVOS::detail::IntegrityLevelQuery previous_;
};

}  // namespace

// Wine runs every process at the high level; the token query reads it for this process and for
// another one.
TEST(IntegrityLevel, ReadsTheHighLevelWineGivesEveryProcess) {
  uint32_t level = 0;
  ASSERT_TRUE(QVOS::getIntegrityLevel(GetCurrentProcess(), &level));
  EXPECT_EQ(level, QVOS::kHighIntegrity);
  EXPECT_TRUE(QVOS::isHighIntegrity());

  const std::wstring doneName = qvtest::UniqueName(L"done");
  ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, doneName.c_str()));
  qvtest::RunningChild child(L"wait_for_event", {doneName});
  ASSERT_TRUE(child.process());
  level = 0;
  EXPECT_TRUE(QVOS::getIntegrityLevel(child.process(), &level));
  EXPECT_EQ(level, QVOS::kHighIntegrity);

  // No process, no level.
  EXPECT_FALSE(QVOS::getIntegrityLevel(nullptr, &level));

  SetEvent(done.get());
  EXPECT_EQ(child.wait(), 0u);
}

// Only exactly 0x3000 is high: not medium, not system, not an unreadable level.
TEST(IntegrityLevel, OnlyExactlyTheHighLevelIsHigh) {
  ScopedLevelQuery fake(&FakeLevel);
  struct Case {
    bool readable;
    uint32_t level;
    bool high;
  } cases[] = {
      {true, 0x2000, false}, {true, 0x3000, true},   {true, 0x4000, false},
      {true, 0x3100, false}, {false, 0x3000, false},
  };
  for (const auto& c : cases) {
    g_fakeReadable = c.readable;
    g_fakeLevel = c.level;
    EXPECT_EQ(QVOS::isHighIntegrity(), c.high) << std::hex << c.level << " readable " << c.readable;
  }
}
