// Paths as the platform reads them before it looks at the disk.
#pragma once

#include <string>

// The path made full against the current folder, "/" read as "\", "." and
// ".." taken off, with no separator at the end but a drive root's. Empty
// when it cannot be made full.
std::wstring FullPathOf(const std::wstring& path);

// The extended-length form of a path ("\\?\C:\..." or "\\?\UNC\server\..."):
// the path made full once, after which the platform takes every name as it
// is, whatever its length, its trailing dots or spaces, or a device name.
// A path already in that form, or in the device form "\\.\", is kept as it
// is; one that cannot be made full (an empty one) gives an empty string.
std::wstring ExtendedPathOf(const std::wstring& path);

// The plain form of an extended-length path ("C:\..." or "\\server\..."); any
// other path is kept as it is.
std::wstring PlainPathOf(const std::wstring& path);
