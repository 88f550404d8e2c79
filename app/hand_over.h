// A program started from inside a folder the run removes leaves that folder
// by moving its own file into the user's temporary folder; it can be moved
// only within its drive. When the temporary folder lies on another drive
// (the launcher installed on a second disk and the remover saved beside
// it), the started program hands the whole run to a copy of itself made in
// the temporary folder, which does it once the started program has ended.
// So does a program started in a folder the run removes that it cannot let
// go of (working_folder.h); the copy is started in the system folder.
// The copy learns this from a named object that the started program makes
// for it alone, never from its command line: the program takes none from
// users.
#pragma once

#include <windows.h>

#include "foldertree/run_state.h"

// Writes a copy of the program into the user's temporary folder and starts
// it, handing it the run. True once the copy has said that it took the run
// (it waits for this process to end): this process then ends without a box.
// False when the copy could not be written, started or told, or did not
// answer within a few seconds; it is ended, nothing of it is left, and this
// process does the run itself.
bool HandRunToCopy();

// True when this process is the copy a started program handed the run to,
// which it then tells that it has taken the run; startedProgram is then
// that program's process, for AwaitStartedProgram, and its file is named
// to the run as the one the user started (own_file.h): the walks leave it
// for last, so that a run that fails keeps it where the user started it.
bool TakeHandedRun(RunState& run, HANDLE& startedProgram);

// Waits until the started program has ended, for a few seconds at most,
// then closes its handle. False when it has not ended by then: nothing may
// be touched while it runs.
bool AwaitStartedProgram(HANDLE startedProgram);
