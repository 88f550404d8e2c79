// The launcher's registry record can be written by any program of the user,
// so the folder it names is checked before anything in it is deleted. A
// folder that may hold more than the launcher is refused: one not named
// through an existing file in it, one not given as a full path, a drive or
// share root, and any system or profile folder or an ancestor of one.
#pragma once

#include <string>

// True when the existing folder derived from location (location with its
// last component dropped) may be removed.
bool MayRemoveInstallFolder(const std::wstring& location, const std::wstring& folder);
