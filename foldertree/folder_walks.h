// Removal of a folder tree: one walk clears the attributes that block
// deletion, a second deletes the tree bottom up. Both go on past a failing
// entry; each failing search, attribute reset and file deletion writes a
// trace line (see trace.h). Walk results are 1 when every step succeeded,
// 0 otherwise.
//
// The walks work on what they opened, never on a path looked up again (see
// open_folder.h): each folder is held open from its listing to the end of
// its walk, and each entry is opened by name relative to it. Nothing that
// another user swaps in while a walk runs (a link where a folder was
// listed, or anywhere above it) can redirect a reset or a deletion. Names
// go to the platform as the folder lists them, so names that plain paths
// rewrite (a trailing dot or space, device names such as "con") and trees
// of any depth are removed as well. Trace lines show paths as the caller
// gave them, and entry names as the folder lists them. A subfolder that can
// no longer be opened as the folder listed shows as one that cannot be
// listed ("FindFirstFile failed : ").
//
// The walks keep their way down (one open folder and its place in its
// listing a level) in memory of their own, not in nested calls: no depth of
// tree can exhaust the stack. A folder whose every entry was deleted, but
// which still lists some that another program holds for a moment, is
// deleted once they have gone (see held_entries.h).
//
// Links (entries with FILE_ATTRIBUTE_REPARSE_POINT) are never followed:
// what they point at lies outside the tree, so only the link itself is
// removed.
#pragma once

#include <windows.h>

#include <string>

#include "foldertree/left_for_last.h"
#include "foldertree/own_file.h"
#include "foldertree/run_state.h"

// NormalizeTree, DeleteTree and RemoveFolder are each a run of their own;
// the stages of the removal hand the walks the run's state (run_state.h).

// Resets every file and folder in the tree, the folder itself last, to
// FILE_ATTRIBUTE_NORMAL. Links are left as they are.
int NormalizeTree(const std::wstring& folder);

// Deletes every file and folder in the tree, each folder after its content,
// the folder itself last. Links are deleted, not entered.
//
// lastFile, when not empty, is the name of a file directly in the folder,
// exactly as the folder lists it. It is deleted only once everything else
// in the tree has gone, just before the folder: a walk that fails or is cut
// short leaves it in place, so that whoever judges the folder by that file
// can still recognise it next time.
int DeleteTree(const std::wstring& folder, const std::wstring& lastFile = std::wstring());

// True when nothing exists at the path, or when the tree there was deleted
// whole (lastFile as for DeleteTree). A path that is itself a link has only
// the link removed. The folder is opened once, through the parent that
// lists it (see open_folder.h), and both walks start from that open folder.
bool RemoveFolder(const std::wstring& folder, const std::wstring& lastFile = std::wstring());

// Both walks on a folder that the open parent listed (its record there)
// and the caller opened with OpenListedFolder (and judged), from that open
// folder; the caller has left its working folder for one never removed (a
// working folder, and every folder above it, cannot be removed). The
// program's own file, when it lies inside, does not block the removal (see
// own_file.h): it is left in place with its folders, and so is the file
// kept for last; the top folder then goes in the last step (see
// left_for_last.h), which left, when given, describes for the caller to
// take when it sees fit, and which is taken here otherwise. shown is the
// folder's path, as the trace lines show it. The walks take the handle over
// and close it; the emptied folder is deleted through the parent, checked by
// id as every entry is. True when the tree was deleted whole, or all of it
// but what left describes.
bool RemoveOpenedListedFolder(RunState& run, HANDLE parent, const FILE_ID_BOTH_DIR_INFO& entry, HANDLE folder,
                              const std::wstring& shown, const std::wstring& lastFile, LeftForLast* left);

// As RemoveOpenedListedFolder, for the entry that the open parent listed
// (its record there), opened here; a link has only the link removed. shown
// is its path, as the trace lines show it.
bool RemoveListedFolder(RunState& run, HANDLE parent, const FILE_ID_BOTH_DIR_INFO& entry, const std::wstring& shown,
                        LeftForLast* left);

// Deletes a folder whose content has all been deleted, as its open parent
// lists it (its record there), checked by id, on the given volume. Entries
// deleted while another program held them may still be listed in it, and
// keep it from going (see held_entries.h): with waitForHeld it is tried
// again, each time through a fresh checked open, until they have gone or
// the run's patience is spent.
bool DeleteEmptiedFolder(RunState& run, HANDLE parent, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume,
                         bool waitForHeld);

// Waits until the open folder lists nothing but what a walk left for last
// (the file lastFile names, the program's own file and its folders): the
// rest was deleted, but some of it may still be listed while another
// program holds it. False when the run's patience is spent first.
bool AwaitOnlyLastLeft(RunState& run, HANDLE folder, const std::wstring& lastFile, const OwnFileInside& own);
