// The stage that removes the folder the launcher registered for itself in
// the current user's registry, and deletes its version value.
#pragma once

#include <string>

#include "foldertree/left_for_last.h"

// Reads the launcher's location from its key (creating the key, empty, when
// it is missing), removes the folder that holds the file it names, deletes
// the version value and closes the key. False only when a folder was there
// and was not removed whole, or was refused; true in every other case. The
// named file and the folder itself are left in left for the run's last step.
bool RemoveRegisteredFolder(RunState& run, LeftForLast& left);

// The folder part of the stage, for a location text: the folder holding the
// file it names is removed when it exists and the guard allows it, that file
// last of all, so that a removal that fails leaves the folder recognisable
// for the next run: in left's last step when left is given (but on the
// default folder's way, which needs no such file), else at once. A refusal
// writes "Remove refused : " and the folder (or the location, when it is too
// long to be used) as a trace line.
bool RemoveInstallFolder(RunState& run, const std::wstring& location, LeftForLast* left);

// The same, a run of its own, finished at once.
bool RemoveInstallFolder(const std::wstring& location);

// True when the file or folder at path lies inside the install folder that
// the stage would remove (read, opened and judged as the stage does), or is
// that folder. Nothing is removed or deleted.
bool LiesInRegisteredFolder(const std::wstring& path);
