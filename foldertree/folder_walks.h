// Removal of a folder tree: one walk clears the attributes that block
// deletion, a second deletes the tree bottom up. Both go on past a failing
// entry; each failing search, attribute reset and file deletion writes a
// trace line (see trace.h). Walk results are 1 when every step succeeded,
// 0 otherwise.
//
// Links (entries with FILE_ATTRIBUTE_REPARSE_POINT) are never followed:
// what they point at lies outside the tree, so only the link itself is
// removed.
#pragma once

#include <string>

// Resets every file and folder in the tree, the folder itself last, to
// FILE_ATTRIBUTE_NORMAL. Links are left as they are.
int NormalizeTree(const std::wstring& folder);

// Deletes every file and folder in the tree, each folder after its content,
// the folder itself last. Links are deleted, not entered.
int DeleteTree(const std::wstring& folder);

// True when nothing exists at the path, or when the tree there was deleted
// whole. A path that is itself a link has only the link removed.
bool RemoveFolder(const std::wstring& folder);
