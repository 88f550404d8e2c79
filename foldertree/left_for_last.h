// What a removal leaves for its last step. The file by which a later run
// recognises a folder (the file kept for last) and the program's own file
// (see own_file.h), with the folders that hold it, are what the user's
// remedy for a failure needs: running the program again from where it was
// started. So they go last, when nothing can keep the folder any longer,
// and only once everything else has gone; a run that fails before leaves
// them where they were.
#pragma once

#include <windows.h>

#include <string>

#include "foldertree/open_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/run_state.h"

// A top folder whose walks left something in it: the parent that lists it,
// held open (INVALID_HANDLE_VALUE: nothing was left), and its record there;
// its path as the trace lines show it; the file kept for last, by name and
// by its record in the top folder (none when empty); the program's own file
// (fileId 0: none); and the volume they lie on.
struct LeftForLast {
    HANDLE parent = INVALID_HANDLE_VALUE;
    ListingBuffer top;
    std::wstring shown;
    std::wstring lastFile;
    ListingBuffer lastEntry;
    OwnFileInside own;
    DWORD volume = 0;
};

// The last step: once the top folder lists nothing else, and while no other
// program holds it without sharing its deletion (its working folder, say),
// the program's own file is moved out (or deleted, where it no longer runs)
// and its folders deleted; then the kept file is deleted, only so that its
// name leaves the folder at once (see DeleteListedFileAtOnce); then the top
// folder. Whatever stops one of these keeps what comes after it. True when
// nothing was left, or the top folder has gone. Releases what left holds.
bool RemoveWhatWasLeftForLast(RunState& run, LeftForLast& left);

// Releases what left holds and keeps what it describes, for the next run.
void KeepWhatWasLeftForLast(LeftForLast& left);
