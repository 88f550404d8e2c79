// Ends the running launcher before its files are deleted, so that no file of
// its own is held open by it.
#pragma once

// Terminates, with exit code 0, every process whose executable name is
// exactly LauncherImageName (whole name, case-sensitive), pausing one second
// after each so it can release its files. A process that cannot be opened is
// passed over. Nothing is reported.
void KillLauncherProcesses();
