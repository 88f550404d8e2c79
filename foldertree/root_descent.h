// The way down to a folder at the top of a drive, where every signed-in user
// may create folders and change what another user made: a link planted on
// the way could lead the path to any folder of that name the user can
// delete. So the way is taken from the drive's root, each folder opened
// relative to the one above, without following a link, and checked to be
// the object its parent listed; the folder is then removed through the
// parent so reached.
#pragma once

#include <windows.h>

#include <string>

#include "foldertree/left_for_last.h"

// How the way down from the drive's root ended.
enum class Descent {
    Reached, // the folder that holds the path is open
    Absent, // a folder on the way is not listed, or is listed as no folder
    LinkAbove, // a folder on the way is a link (any reparse point)
    Unreachable, // a folder on the way could not be listed or opened as listed
};

// Opens the folder that holds path (an absolute path on a drive) for
// listing, by going down from the drive's root. INVALID_HANDLE_VALUE unless
// descent is Reached. Only Absent means that nothing is there: a folder
// that another program holds, that cannot be read, or that changed between
// its listing and its opening hides what lies below it.
HANDLE OpenParentFromRoot(const std::wstring& path, Descent& descent);

// The folder at path itself, reached as OpenParentFromRoot reaches the
// folder that holds it, and opened as OpenFolderToRemove opens a folder
// (open_folder.h). INVALID_HANDLE_VALUE when the way down did not reach its
// parent, or it is not there, is no folder or a link, or cannot be opened.
HANDLE OpenFolderFromRoot(const std::wstring& path);

// Where a folder lies against another, judged by the objects their ways
// down from the drive's root meet.
enum class Nesting {
    Apart, // the ways part: another drive, or another object on the way
    Same, // both lead to one object
    Inside, // the folder lies below the other
    Above, // the folder holds the other
    Absent, // a name on the folder's way is not listed: nothing is there
    LinkAbove, // the shared way passes a link above the folder
    Unreachable, // a folder on the shared way could not be listed or opened
};

// Where the folder at path lies against the folder at other (both absolute
// paths on drives), never judged by how the paths are spelt: the two ways
// go down together from the root, each name looked up in the same open
// folder, as long as they meet the same object, and no link is followed.
// Letter case, short names, ".", "..", "/" and separators at the end are
// seen through; a link on the shared way above the folder ends it
// (LinkAbove), and only a link at the folder itself does not.
Nesting NestingOnTheWayDown(const std::wstring& path, const std::wstring& other);

// As RemoveFolder (folder_walks.h), for a folder at an absolute path on a
// drive, reached from the drive's root; the folder itself, when it is a
// link, has only the link removed. True when nothing is there or the tree
// was deleted whole. When a folder above it is a link, nothing is touched:
// linkAbove is set and the result is false. When a folder on the way, or
// the parent's listing, cannot be read, nothing is touched either: the
// result is false, traced as a folder whose search failed.
// What the walks leave for last (the program's own file) is left in left
// (see left_for_last.h) for the caller's last step.
bool RemoveFolderFromRoot(RunState& run, const std::wstring& folder, bool& linkAbove, LeftForLast& left);
