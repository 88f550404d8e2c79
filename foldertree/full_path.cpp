#include "foldertree/full_path.h"

#include <windows.h>

namespace {

constexpr wchar_t ExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t ExtendedUncPrefix[] = L"\\\\?\\UNC\\";
constexpr wchar_t DevicePrefix[] = L"\\\\.\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wstring(prefix).size(), prefix) == 0;
}

} // namespace

std::wstring FullPathOf(const std::wstring& path)
{
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}

std::wstring ExtendedPathOf(const std::wstring& path)
{
    if (StartsWith(path, ExtendedPrefix)) {
        return path;
    }
    std::wstring full = FullPathOf(path);
    if (full.empty() || StartsWith(full, DevicePrefix)) {
        return full;
    }
    if (StartsWith(full, L"\\\\")) {
        return ExtendedUncPrefix + full.substr(2);
    }
    return ExtendedPrefix + full;
}

std::wstring PlainPathOf(const std::wstring& path)
{
    if (StartsWith(path, ExtendedUncPrefix)) {
        return L"\\\\" + path.substr(std::wstring(ExtendedUncPrefix).size());
    }
    if (StartsWith(path, ExtendedPrefix)) {
        return path.substr(std::wstring(ExtendedPrefix).size());
    }
    return path;
}
