// Trace lines: the failures inside the folder walks, and the registered
// folder's refusals. They go to the debug output only: a debugger or a
// debug-output viewer is the one place they show.
#pragma once

#include <string>

// The walks' prefixes, each kept exactly as it is, misspellings included:
// tools that watch the debug output match these lines to the letter.
constexpr wchar_t SearchFailedPrefix[] = L"FindFirstFile failed : ";
constexpr wchar_t EntryNotNormalizedPrefix[] = L"Normalize falied : "; // "falied": do not correct
constexpr wchar_t NormalizeListingFailedPrefix[] = L"Normalize failed : ";
constexpr wchar_t EntryNotDeletedPrefix[] = L"Delete falied : "; // "falied": do not correct
constexpr wchar_t DeleteListingFailedPrefix[] = L"Delete failed : ";

// Writes prefix + subject as one debug-output string, with no line end.
void TraceFailure(const std::wstring& prefix, const std::wstring& subject);
