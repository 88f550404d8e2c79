// Ends the running launcher before its files are deleted, so that no file of
// its own is held open by it.
#pragma once

#include <windows.h>

#include <string>

// Terminates, with exit code 0, every process whose executable name is
// exactly imageName (whole name, case-sensitive; no folder part), as one
// snapshot lists them. Nothing is reported.
void KillLauncherProcesses(const std::wstring& imageName);

// Ends the process with this id when it is still the launcher, named
// imageName: its image file's name is checked again on the opened process,
// because the id may have passed to another program since the snapshot.
// After a termination it waits up to ten seconds for the process to end,
// then pauses one second so it can release its files. A process that cannot be opened, or that is not
// the launcher, is passed over at once. True when it was ended (or its
// termination was attempted).
bool EndLauncherProcess(DWORD processId, const std::wstring& imageName);
