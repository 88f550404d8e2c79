// What a path leads to on disk, as opposed to how it is spelt. The platform
// resolves every alias on the way: links and junctions in any parent folder,
// mapped and substituted drive letters, short (8.3) names, letter case, ".",
// ".." and doubled separators. Two paths that reach the same object give
// the same final path, but for letter case (see path_text.h).
#pragma once

#include <windows.h>

#include <string>

// Opens whatever is at path (a folder too) without changing it and reads its
// final path, "C:\dir\name" or "\\server\share\dir\name", and its
// attributes. False, with finalPath empty, when nothing there can be opened
// and named.
bool IdentifyPath(const std::wstring& path, std::wstring& finalPath, DWORD& attributes);

// The same for an object already open (with at least FILE_READ_ATTRIBUTES).
bool IdentifyOpened(HANDLE opened, std::wstring& finalPath, DWORD& attributes);

// Opens whatever is at path (a folder too, a link followed) to be
// identified, without changing it or locking it for others.
HANDLE OpenToIdentify(const std::wstring& path);
