// What one removal run learns and spends as it goes, kept by the run and
// handed to what needs it: nothing of it outlives the run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "foldertree/held_entries.h"

// The volumes (by serial number) that refused POSIX deletion, each learned
// at its first deletion there: every later deletion there goes the classic
// way at once; and those that took it. What is left of the run's patience for held entries (see
// held_entries.h). The program's file as the user started it, in a copy of
// the program that was handed the run (see own_file.h); empty otherwise.
struct RunState {
    std::vector<DWORD> posixRefusedVolumes;
    std::vector<DWORD> posixTakenVolumes;
    DWORD heldEntriesPatienceLeftMs = HeldEntriesPatienceMs;
    std::wstring startedProgramFile;
};
