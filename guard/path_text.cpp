#include "guard/path_text.h"

#include <windows.h>

#include <algorithm>

namespace {

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareIgnoringCase(a, b) == CSTR_EQUAL;
}

bool LessText(const std::wstring& a, const std::wstring& b)
{
    return CompareIgnoringCase(a, b) == CSTR_LESS_THAN;
}

} // namespace

int CompareIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
}

bool IsOnDriveLetter(const std::wstring& path)
{
    // An ASCII letter whatever the locale: no other character names a drive.
    const wchar_t letter = path.empty() ? L'\0' : static_cast<wchar_t>(path[0] | 0x20);
    return path.size() >= 3 && letter >= L'a' && letter <= L'z' && path[1] == L':' && path[2] == L'\\';
}

bool IsStrictAncestor(const std::wstring& folder, const std::wstring& other)
{
    std::wstring prefix = folder;
    if (prefix.empty() || prefix.back() != L'\\') {
        prefix += L'\\'; // a drive root already ends in one
    }
    return other.size() > prefix.size() && SameText(prefix, other.substr(0, prefix.size()));
}

bool IsSameOrAncestor(const std::wstring& folder, const std::wstring& other)
{
    return SameText(folder, other) || IsStrictAncestor(folder, other);
}

void DropRepeats(std::vector<std::wstring>& paths)
{
    std::sort(paths.begin(), paths.end(), LessText);
    paths.erase(std::unique(paths.begin(), paths.end(), SameText), paths.end());
}
