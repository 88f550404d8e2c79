// Work on what was opened, never on a path looked up again. Between listing a
// folder and acting on an entry, someone else may swap that entry (or any
// folder above it) for a link to their victim's folder: on a shared PC the
// top of drive C: is writable by every user, and an opportunistic lock wins
// that race every time. So every folder the walks enter is opened once,
// checked to be the very folder its parent listed, held without delete
// sharing (it can then be neither renamed nor replaced) until its walk is
// done, and listed through that handle; every entry is opened relative to
// its open folder, without following a link, to be reset or deleted. The
// walk's handle asks for no delete access, so that another program's
// handle on the folder (its working folder, say) does not keep the walk
// out; the emptied folder is opened once more to be deleted, and only when
// it is still the object that was walked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "foldertree/run_state.h"

// An open folder's listing is read in batches into a buffer of this type
// (8-byte aligned, as the platform's records need); each record is a
// FILE_ID_BOTH_DIR_INFO.
using ListingBuffer = std::vector<LONGLONG>;

// The first record a listing buffer holds.
inline const FILE_ID_BOTH_DIR_INFO& RecordIn(const ListingBuffer& buffer)
{
    return *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data());
}

// The record after this one in its batch; null after the last.
inline const FILE_ID_BOTH_DIR_INFO* NextRecord(const FILE_ID_BOTH_DIR_INFO* entry)
{
    if (entry->NextEntryOffset == 0) {
        return nullptr;
    }
    return reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<const char*>(entry) +
                                                          entry->NextEntryOffset);
}

// Reads the next batch of the folder's entries into buffer, or with restart
// the first one (both walks list the same open folder). False at the end,
// with error ERROR_NO_MORE_FILES, or on a failure, with its error.
bool ReadListing(HANDLE folder, ListingBuffer& buffer, bool restart, DWORD& error);

// The listed entry's name, as the folder lists it.
std::wstring ListedName(const FILE_ID_BOTH_DIR_INFO& entry);

// Opens the folder that holds path to be listed, wherever links and aliases
// above it lead (the user's own layout); name is then the path's last name.
// INVALID_HANDLE_VALUE for no path or a drive root, or when that folder
// cannot be opened.
HANDLE OpenParentOf(const std::wstring& path, std::wstring& name);

// Opens the folder at path to be walked, when it is a folder and not a link:
// looked up in its parent's listing, opened through the parent without
// following a link, and checked to be the object listed. INVALID_HANDLE_VALUE
// when it is not there, is no folder or a link, or cannot be opened.
HANDLE OpenFolderToRemove(const std::wstring& path);

// Opens the folder that the open parent lists under name, to be walked, as
// OpenFolderToRemove opens its folder. INVALID_HANDLE_VALUE when it is not
// listed, is no folder or a link, or cannot be opened.
HANDLE OpenNamedFolder(HANDLE parent, const std::wstring& name);

// The open folder's own listing record of one name in it (a link as
// itself). False when it lists no such name (error ERROR_FILE_NOT_FOUND) or
// cannot be listed (error: why); only the first tells that nothing is
// there.
bool ListNamedEntry(HANDLE parent, const std::wstring& name, ListingBuffer& record, DWORD& error);

// Opens a subfolder that the open folder listed, to be walked, with the same
// checks. INVALID_HANDLE_VALUE when it can no longer be opened or is not
// the folder listed: swapped, replaced, or turned into a link (error
// NotTheListedObject).
HANDLE OpenListedFolder(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry);

// As OpenListedFolder, for a folder only passed through on the way down to
// another: opened to be listed, shared as a passer-by shares it.
HANDLE OpenListedFolderToPass(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry);

// Opens an entry that the open folder listed (a file, a folder, or a link
// as itself) to be reset (FILE_WRITE_ATTRIBUTES) or deleted (DELETE). An
// entry that is no longer the object listed is not opened:
// INVALID_HANDLE_VALUE, error NotTheListedObject. One that was deleted but
// is still listed, because another program holds it, gives error
// ERROR_DELETE_PENDING.
HANDLE OpenListedEntry(HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, ACCESS_MASK access);

// The error of an open whose object is not the one listed or looked for:
// another object now has its name.
constexpr DWORD NotTheListedObject = ERROR_FILE_INVALID;

// Deletes a file that the open folder listed, by its name there: one open,
// whose deletion takes POSIX semantics where the volume (serial number)
// offers them, else happens on close. A file that was already deleted but
// is still listed counts as deleted. False when it cannot be deleted (held
// open, read-only, or no longer a file).
bool DeleteListedFile(RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume);

// Opens a file that the open folder listed to be deleted so that its name
// leaves the folder at once: the POSIX way where the volume has taken such
// a deletion in this run, whoever else holds the file; otherwise only while
// no other program holds it (its deletion would wait for that program to
// let go), which an open shared with no one makes sure of, and keeps so
// (exclusive). Nothing is deleted yet. INVALID_HANDLE_VALUE when it cannot
// be opened so.
HANDLE OpenFileToDeleteAtOnce(const RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, DWORD volume,
                              bool& exclusive);

// Deletes the file opened by OpenFileToDeleteAtOnce, and closes it. Where
// the volume turns out to refuse POSIX semantics, the file is opened again,
// shared with no one. False, the file in place, when it cannot be deleted so.
bool DeleteOpenedFileAtOnce(RunState& run, HANDLE folder, const FILE_ID_BOTH_DIR_INFO& entry, HANDLE opened,
                            bool exclusive, DWORD volume);

// The opened object's final path, in extended-length form ("\\?\C:\..."):
// where it is on disk, whatever path reached it. Empty when it cannot be
// read.
std::wstring FinalPathOf(HANDLE object);

// The opened object's file id (Wine: its inode); 0 when it cannot be read.
// Ids are unique only within a volume.
LONGLONG FileIdOf(HANDLE object);

// The serial number of the volume the opened object lies on; 0 when it
// cannot be read.
DWORD VolumeOf(HANDLE object);

// True when both opened objects are one: the same file id on the same
// volume, however each was reached.
bool IsSameObject(HANDLE one, HANDLE other);

// Deletes what is at path (a link as itself) when it is the object with
// this file id on this volume: a folder emptied through a handle now
// closed, or a file located earlier. GetLastError tells why it failed
// (ERROR_DIR_NOT_EMPTY: something is still listed; NotTheListedObject:
// another object has the path now).
bool DeleteIfSameObject(RunState& run, const std::wstring& path, LONGLONG fileId, DWORD volume);

// Resets the opened object's attributes to FILE_ATTRIBUTE_NORMAL.
bool ResetAttributes(HANDLE object);

// Deletes the opened object, which lies on the given volume: with POSIX
// semantics where that volume offers them (its name leaves its folder at
// once, even while another program holds it shared for deletion),
// otherwise when its last handle closes. An open folder only when it is
// empty. Each volume's refusal is learned once a run: a FAT drive or a
// network share does not make drive C: delete the classic way (the run
// keeps what it learned).
bool MarkForDeletion(RunState& run, HANDLE object, DWORD volume);

// Closes an object opened to be acted on (a deletion marked on it happens
// here) and hands back done, GetLastError still telling why the action
// failed.
bool CloseAfter(HANDLE opened, bool done);
