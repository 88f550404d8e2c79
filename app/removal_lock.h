// One removal at a time in a Windows session. Two starts of the program (a
// double click) would otherwise walk the same tree at once, each failing on
// what the other had already deleted and reporting a failure for a success.
#pragma once

#include <windows.h>

// How long a start waits for another one's removal: longer than any removal
// takes, but a start that holds the lock for ever (one that hangs) does not
// hang every later one.
constexpr DWORD RemovalLockPatienceMs = 60000;

// Waits until no other start of the program in this session is removing,
// for patienceMs at most, then holds the lock. A lock left by a start that
// died is taken over. Null when the lock cannot be had at all, or not in
// that time: the removal then goes on without it.
HANDLE AcquireRemovalLock(DWORD patienceMs = RemovalLockPatienceMs);

// Lets the next start go on; does nothing for a null lock.
void ReleaseRemovalLock(HANDLE lock);
