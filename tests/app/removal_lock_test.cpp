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

// A start that hangs holding the lock keeps later ones waiting only so long.
TEST(RemovalLock, ALockHeldForEverIsWaitedForOnlySoLong)
{
    HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread hung([&] {
        HANDLE lock = AcquireRemovalLock();
        SetEvent(held);
        WaitForSingleObject(letGo, INFINITE);
        ReleaseRemovalLock(lock);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 5000));
    const ULONGLONG started = GetTickCount64();

    EXPECT_EQ(nullptr, AcquireRemovalLock(300));

    EXPECT_LT(GetTickCount64() - started, 3000u);
    SetEvent(letGo);
    hung.join();
    CloseHandle(letGo);
    CloseHandle(held);
}

} // namespace
