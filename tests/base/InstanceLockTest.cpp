// The operating system's single-instance lock: held by one owner at a time, free again when the
// owner ends; on Windows the named mutex of the log-on session that any copy finds by name.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <memory>

#include "base/InstanceLock.h"
#include "jvlink/Platform.h"
#include "tests/support/Files.h"

namespace tavolen {
namespace {

std::string TestName(const char* what) {
  return std::string("tavolen-test-") + what + "-" + std::to_string(ProcessId());
}

TEST(InstanceLock, OneHolderAtATimeAndFreeAgainWhenItEnds) {
  const fs::path folder = testsupport::TempDir("base/instancelock");
  const std::string name = TestName("one");
  auto first = std::make_unique<InstanceLock>(name, folder);
  ASSERT_EQ(first->state(), InstanceLock::State::Acquired);
  EXPECT_EQ(InstanceLock(name, folder).state(), InstanceLock::State::AlreadyRunning);
  // A refused try takes nothing away from the holder.
  EXPECT_EQ(InstanceLock(name, folder).state(), InstanceLock::State::AlreadyRunning);
  EXPECT_EQ(InstanceLock(TestName("other"), folder).state(), InstanceLock::State::Acquired);
  first.reset();
  InstanceLock again(name, folder);
  EXPECT_EQ(again.state(), InstanceLock::State::Acquired);
  EXPECT_EQ(InstanceLock(name, folder).state(), InstanceLock::State::AlreadyRunning);
}

#ifdef _WIN32
TEST(InstanceLock, IsTheNamedMutexOfTheLogOnSession) {
  EXPECT_EQ(InstanceLock::MutexName("quorrintavolenhenko"), L"Local\\quorrintavolenhenko");
  EXPECT_TRUE(InstanceLock::DefaultLockFolder().empty());
  const std::string name = TestName("mutex");
  const std::wstring plain = Utf8Path(name).wstring();
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, plain.c_str()), nullptr);
  {
    InstanceLock lock(name);
    ASSERT_EQ(lock.state(), InstanceLock::State::Acquired);
    EXPECT_TRUE(lock.lockFile().empty());
    // Another program that opens the plain name, as a copy of the original would, finds it.
    HANDLE seen = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, plain.c_str());
    ASSERT_NE(seen, nullptr);
    // Not owned: a wait on it returns at once.
    EXPECT_EQ(WaitForSingleObject(seen, 0), WAIT_OBJECT_0);
    ReleaseMutex(seen);
    CloseHandle(seen);
  }
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, plain.c_str()), nullptr);
  // A mutex that another program made first means another copy runs.
  HANDLE other = CreateMutexW(nullptr, FALSE, (L"Local\\" + plain).c_str());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(InstanceLock(name).state(), InstanceLock::State::AlreadyRunning);
  CloseHandle(other);
  EXPECT_EQ(InstanceLock(name).state(), InstanceLock::State::Acquired);
}
#else
TEST(InstanceLock, IsAFileInTheLockFolder) {
  const fs::path folder = testsupport::TempDir("base/instancelock-file");
  InstanceLock lock(TestName("file"), folder);
  ASSERT_EQ(lock.state(), InstanceLock::State::Acquired);
  EXPECT_EQ(lock.lockFile(), folder / TestName("file"));
  EXPECT_TRUE(fs::exists(lock.lockFile()));
  EXPECT_EQ(InstanceLock(TestName("nofolder"), folder / "missing").state(),
            InstanceLock::State::Unavailable);
}
#endif

}  // namespace
}  // namespace tavolen
