// The lock that keeps two starts of the program from removing at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "app/removal_lock.h"

namespace {

// A start that died while removing must not block every later start.
TEST(RemovalLock, ALockLeftByAStartThatDiedIsTakenOver)
{
    std::thread died([] { ASSERT_NE(nullptr, AcquireRemovalLock()); }); // ends holding it
    died.join();
    HANDLE lock = AcquireRemovalLock();
    EXPECT_NE(nullptr, lock);
    ReleaseRemovalLock(lock);
}

} // namespace
