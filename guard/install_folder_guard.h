// The launcher's registry record can be written by any program of the user,
// so the folder it names is checked before anything in it is deleted. A
// folder is judged by what it is on disk, never by how its path is spelt:
// it must be the folder that holds the file the location names (or the
// launcher's default folder, when that file is missing), on a local
// drive, and neither a drive root, nor a folder in the Windows folder, nor a
// folder of the user's or the system's own data (see protected_folders.h) or
// an ancestor of one, nor a folder that another installed program lives in
// (see installed_programs.h). A folder that cannot be opened to find out
// what it is is refused.
#pragma once

#include <windows.h>

#include <string>

// True when the existing folder derived from location (location with its
// last component dropped), open as opened, may be removed. The folder is
// judged as it was opened, so that the folder judged is the folder then
// walked from that same handle. namedFile is then the name under
// which the folder lists the file location names, whatever its spelling in
// location (letter case, a short 8.3 name, "."); empty when the folder is
// the launcher's default folder, which is removed in any case, and that
// file is missing from it. defaultFolder is that folder as the way down
// from the drive's root holds it (INVALID_HANDLE_VALUE when the folder was
// reached another way): only the same object counts, never one reached
// through a link. Anywhere else a missing file refuses the folder.
bool MayRemoveInstallFolder(const std::wstring& location, const std::wstring& folder, HANDLE opened,
                            HANDLE defaultFolder, std::wstring& namedFile);
