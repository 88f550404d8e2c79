// Real folders and files for the walks to work on, made by the test itself.
#pragma once

#include <windows.h>

#include <string>

// name with a suffix no other test or run uses.
std::wstring Unique(const std::wstring& name);

// A new, empty folder of the test's own under C:\scratch.
std::wstring NewScratchFolder(const std::wstring& name);

bool MakeFolder(const std::wstring& path, DWORD attributes = 0);
bool MakeFile(const std::wstring& path, DWORD attributes = 0);

bool Exists(const std::wstring& path);
DWORD AttributesOf(const std::wstring& path);

// Opens a file with share mode 0, so no one can delete it until closed.
HANDLE HoldOpen(const std::wstring& path);

// The names in a folder, "." and ".." left out, sorted.
std::wstring ListFolder(const std::wstring& folder);

// Deletes path and everything under it, links as links, without the
// program's own walks: the tests' clean-up must not depend on the code under
// test. True when nothing is left.
bool DeleteTestTree(const std::wstring& path);
