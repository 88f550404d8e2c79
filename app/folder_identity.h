// What a path leads to on disk, as opposed to how it is spelt. The platform
// resolves every alias on the way: links and junctions in any parent folder,
// mapped and substituted drive letters, short (8.3) names, letter case, ".",
// ".." and doubled separators. Two paths that reach the same object give
// the same final path.
#pragma once

#include <windows.h>

#include <string>

// Opens whatever is at path (a folder too) without changing it and reads its
// final path, "C:\dir\name" or "\\server\share\dir\name", and its
// attributes. False when nothing there can be opened and named.
bool IdentifyPath(const std::wstring& path, std::wstring& finalPath, DWORD& attributes);

// The final path alone, for when the attributes are not needed.
bool FinalPathOf(const std::wstring& path, std::wstring& finalPath);

// "C:\..." and the like: a path on a local drive letter.
bool IsOnDriveLetter(const std::wstring& finalPath);

// True when folder is the same as other or one of its ancestors, comparing
// final paths without regard to letter case.
bool IsSameOrAncestor(const std::wstring& folder, const std::wstring& other);
