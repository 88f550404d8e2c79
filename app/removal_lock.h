// One removal at a time in a Windows session. Two starts of the program (a
// double click) would otherwise walk the same tree at once, each failing on
// what the other had already deleted and reporting a failure for a success.
#pragma once

#include <windows.h>

// Waits until no other start of the program in this session is removing,
// then holds the lock. A lock left by a start that died is taken over. Null
// when the lock cannot be had at all: the removal then goes on without it.
HANDLE AcquireRemovalLock();

// Lets the next start go on; does nothing for a null lock.
void ReleaseRemovalLock(HANDLE lock);
