// Comparisons of final paths (see folder_identity.h) as text. Final paths of
// the same object are spelt the same but for letter case, which the file
// system ignores, so every comparison here ignores it too (ordinally: the
// same rule the file system uses, whatever the user's locale).
#pragma once

#include <string>
#include <vector>

// CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN.
int CompareIgnoringCase(const std::wstring& a, const std::wstring& b);

// "C:\..." and the like: a path on a local drive letter.
bool IsOnDriveLetter(const std::wstring& path);

// True when folder is other itself or one of its ancestors.
bool IsSameOrAncestor(const std::wstring& folder, const std::wstring& other);

// True when other lies below folder, folder itself not included.
bool IsStrictAncestor(const std::wstring& folder, const std::wstring& other);

// Sorts the paths and keeps each once.
void DropRepeats(std::vector<std::wstring>& paths);
