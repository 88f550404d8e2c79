// A process's working folder cannot be removed while it runs, nor any folder
// above it: a shortcut's "Start in", a command prompt or a launcher's
// Uninstall button may have started the program inside the launcher's
// folders.
#pragma once

#include <string>

// The system folder, which no run removes; empty when it cannot be read.
std::wstring SystemFolder();

// Makes the system folder, which is never removed, the working folder. Where
// the program was started mattered only for judging a location, so each
// stage leaves once its folder is judged.
void LeaveWorkingFolder();

// The working folder; empty when it cannot be read.
std::wstring WorkingFolder();

// True when the folder, left as the working folder, still cannot be opened
// for deletion: something holds it without delete sharing. Under Wine's
// WoW64 the 64-bit half of a 32-bit process keeps the folder the process
// was started in so, until the process ends. The folder is the working
// folder again afterwards, where a relative location is still to be
// judged from it.
bool HeldOnceLeft(const std::wstring& folder);
