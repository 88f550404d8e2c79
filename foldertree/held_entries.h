// Entries deleted while another program holds them. A virus scanner, the
// search indexer or an Explorer window opens files and folders for a moment,
// sharing them for deletion: deleting such an entry succeeds, but where the
// file system deletes the classic way (FAT, exFAT, Windows before 10, Wine)
// its name stays listed in its folder until that program lets go, and the
// folder cannot be removed until then. The walks wait for such names to go,
// in short pauses, from one allowance for the whole run: a hold of a few
// seconds does not fail the removal, and no run waits longer than that.
#pragma once

#include <windows.h>

// How long one run waits for held entries in all.
constexpr DWORD HeldEntriesPatienceMs = 5000;

struct RunState;

// Pauses a moment, taken from the run's allowance. False, without a pause,
// once the allowance is spent.
bool PauseForHeldEntries(RunState& run);
