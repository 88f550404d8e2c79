// What the tests need to know of the machine's width: whether a process is a
// 32-bit one on 64-bit Windows (modes wow64 and wow64-posix), whether the
// machine's registry has two views, where the native folders are, and
// whether a process can let go of the folder it was started in.
#pragma once

#include <windows.h>

#include <string>

// True for a 32-bit process on 64-bit Windows.
bool IsWow64(HANDLE process);

// True when the machine's list is kept in two registry views (a 64-bit
// machine: the native one and WOW6432Node), each blind to the other's
// entries; false on 32-bit Windows, which has one.
bool MachineHasTwoRegistryViews();

// The environment variable's value, empty when it is not set. On 64-bit
// Windows ProgramW6432 and CommonProgramW6432 name the native folders to
// every process.
std::wstring EnvironmentValue(const wchar_t* name);

// True when a process cannot let go of the folder it was started in, even
// once it has left it (the 64-bit half of a 32-bit process under Wine 10's
// WoW64 keeps it until the process ends): learnt once a run from this test
// program, which the harness starts in a folder of its own.
bool StartFolderIsKeptOnceLeft();
