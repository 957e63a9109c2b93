#include "platform/linux/desktop/InstanceLock.h"

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

namespace {

using Result = CInstanceLock::Result;

// One holder per name until it goes, also when it is killed; a copy of the program under
// another name runs beside it.
TEST(InstanceLock, OneHolderPerNameUntilItGoes) {
    CTempDir dir;
    const std::string folder = dir.Path().string();
    auto first = std::make_unique<CInstanceLock>();
    ASSERT_EQ(first->Acquire("quellio", folder), Result::Acquired);
    CInstanceLock second;
    EXPECT_EQ(second.Acquire("quellio", folder), Result::AlreadyRunning);
    CInstanceLock otherName;
    EXPECT_EQ(otherName.Acquire("quellio-copy", folder), Result::Acquired);
    first.reset();
    EXPECT_EQ(second.Acquire("quellio", folder), Result::Acquired);

    CChildProcess holder;
    ASSERT_TRUE(holder.Start({"flock", (dir / "killed.lock").string(), "sh", "-c",
                              "touch \"$0\"; exec sleep 600", (dir / "held").string()}));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(dir / "held"); }));
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire("killed", folder), Result::AlreadyRunning);
    holder.Stop(SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return lock.Acquire("killed", folder) == Result::Acquired; }));
}

// A missing folder, or a link planted under the lock's name (which is not followed), says
// nothing about other instances.
TEST(InstanceLock, UnusablePlacesSayNothingAboutOtherInstances) {
    CTempDir dir;
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire("quellio", (dir / "missing").string()), Result::Unavailable);
    std::filesystem::create_symlink(dir / "elsewhere", dir / "quellio.lock");
    EXPECT_EQ(lock.Acquire("quellio", dir.Path().string()), Result::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
}

}  // namespace
