#include "platform/linux/desktop/InstanceLock.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/TempDir.h"

namespace {

using Result = CInstanceLock::Result;

TEST(InstanceLock, OneHolderPerNameUntilItGoes) {
    CTempDir dir;
    const std::string folder = dir.Path().string();
    auto first = std::make_unique<CInstanceLock>();
    ASSERT_EQ(first->Acquire("quellio", folder), Result::Acquired);

    CInstanceLock second;
    EXPECT_EQ(second.Acquire("quellio", folder), Result::AlreadyRunning);
    CInstanceLock otherName;
    EXPECT_EQ(otherName.Acquire("quellio-copy", folder), Result::Acquired)
        << "a copy of the program under another name runs beside it";

    first.reset();
    EXPECT_EQ(second.Acquire("quellio", folder), Result::Acquired);
}

TEST(InstanceLock, IsFreedWhenTheHolderIsKilled) {
    CTempDir dir;
    const std::string folder = dir.Path().string();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CInstanceLock lock;
        const char answer = lock.Acquire("quellio", folder) == Result::Acquired ? 'y' : 'n';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &answer, 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire("quellio", folder), Result::AlreadyRunning);

    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(lock.Acquire("quellio", folder), Result::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(InstanceLock, UnusablePlacesSayNothingAboutOtherInstances) {
    CTempDir dir;
    CInstanceLock missingFolder;
    EXPECT_EQ(missingFolder.Acquire("quellio", (dir / "missing").string()), Result::Unavailable);

    // A link planted under the lock's name is not followed.
    std::filesystem::create_symlink(dir / "elsewhere", dir / "quellio.lock");
    CInstanceLock planted;
    EXPECT_EQ(planted.Acquire("quellio", dir.Path().string()), Result::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
}

}  // namespace
