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
