// The running program's own file. Windows (and Wine) keep it open while the
// program runs, so it cannot be deleted; but it can be renamed or moved
// within its drive. A user who saved the remover into the launcher's folder
// and started it there would otherwise meet a removal that never finishes.
// So a folder holding it is removed all the same: the walks leave the file,
// and the folders between it and the top, for last, and only in the run's
// last step (left_for_last.h), once everything else has gone, is it moved
// into a folder of its own in the user's temporary folder, which a later
// run removes (temporary_place.h), and its folders deleted. A removal that
// fails leaves it where the user started it, with its folders, to be run
// again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "foldertree/run_state.h"

// The program's own file as it lies inside a folder being removed: its file
// id, volume and final path, and from its parent up to the folder just below
// the top, each folder's final path and file id (deepest first), all on that
// volume.
struct OwnFileInside {
    LONGLONG fileId = 0;
    DWORD volume = 0;
    std::wstring finalPath;
    std::vector<std::wstring> folderPaths;
    std::vector<LONGLONG> folderIds;
};

// The path the running program was started from.
std::wstring OwnFilePath();

// The program's file as the user started it, which the walks leave for
// last: this process's own file, or, in a copy of the program that was
// handed the run, the started program's file, as the run names it. That
// file no longer runs, so it is deleted where it lies when it cannot be
// moved.
std::wstring StartedProgramFile(const RunState& run);

// True when the file or folder at path lies inside the open top folder, or
// is that folder, judged by what the folders are (final paths and volume:
// letter case, short names and links in a parent are seen through), not by
// how the paths are spelt; inside then describes it. False when it lies
// elsewhere (beside the top folder, or in a look-alike of it) or cannot be
// opened.
bool LocateInside(HANDLE top, const std::wstring& path, OwnFileInside& inside);

// True when the running program's own file lies on the volume of the
// user's temporary folder, where it can always be moved. False when it
// lies elsewhere, or either cannot be opened.
bool OwnFileOnTemporaryFolderVolume();

// Moves the file, while it is still the one located, into a folder of its
// own in the user's temporary folder (see temporary_place.h). False when it
// cannot be moved there (the temporary folder is on another drive, say).
bool MoveAside(const OwnFileInside& inside);
