#include "guard/registry_reads.h"

namespace {

// Raw text and its type; RegGetValueW ends it with a NUL whether or not it
// was stored with one.
bool ReadText(HKEY key, const wchar_t* name, std::wstring& text, DWORD& type)
{
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    // Most paths fit at the first call, which then costs one round trip.
    text.assign(MAX_PATH, L'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    LSTATUS status = RegGetValueW(key, nullptr, name, flags, &type, &text[0], &bytes);
    if (status == ERROR_MORE_DATA) {
        text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegGetValueW(key, nullptr, name, flags, &type, &text[0], &bytes);
    }
    if (status != ERROR_SUCCESS) {
        return false;
    }
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos) {
        text.resize(end);
    }
    return true;
}

std::wstring Expanded(const std::wstring& text)
{
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) {
        return L"";
    }
    std::wstring expanded(needed, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), &expanded[0], needed);
    if (length == 0 || length > needed) {
        return L"";
    }
    expanded.resize(length - 1); // the count includes the terminator
    return expanded;
}

} // namespace

std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    // Key names are at most 255 characters.
    wchar_t name[256];
    DWORD length = 256;
    while (RegEnumKeyExW(key, static_cast<DWORD>(names.size()), name, &length, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        names.emplace_back(name, length);
        length = 256;
    }
    return names;
}

std::vector<std::wstring> ValueNames(HKEY key)
{
    std::vector<std::wstring> names;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::wstring name(longest + 1, L'\0');
    DWORD length = static_cast<DWORD>(name.size());
    while (RegEnumValueW(key, static_cast<DWORD>(names.size()), &name[0], &length, nullptr, nullptr, nullptr,
                         nullptr) == ERROR_SUCCESS) {
        names.emplace_back(name.c_str(), length);
        length = static_cast<DWORD>(name.size());
    }
    return names;
}

std::wstring ReadPathValue(HKEY key, const wchar_t* name)
{
    std::wstring text;
    DWORD type = REG_NONE;
    if (!ReadText(key, name, text, type)) {
        return L"";
    }
    return type == REG_EXPAND_SZ ? Expanded(text) : text;
}
