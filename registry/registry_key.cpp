#include "registry/registry_key.h"

namespace {

constexpr DWORD QueryBufferBytes = 2048;

} // namespace

bool RegistryKey::Open(const std::wstring& path)
{
    const std::wstring subKey = !path.empty() && path[0] == L'\\' ? path.substr(1) : path;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | KEY_WRITE, &handle) == ERROR_SUCCESS) {
        return true;
    }
    return RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                           nullptr) == ERROR_SUCCESS;
}

std::wstring RegistryKey::QueryString(const std::wstring& name, const std::wstring& fallback)
{
    wchar_t buffer[QueryBufferBytes / sizeof(wchar_t)];
    DWORD bytes = QueryBufferBytes;
    DWORD type = 0;
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    // Data need not end in a NUL (a string stored without one, or another
    // type): the text ends at the first NUL or with the bytes returned, and
    // an odd last byte is dropped.
    const size_t units = bytes / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && buffer[length] != L'\0') {
        ++length;
    }
    return std::wstring(buffer, length);
}

bool RegistryKey::IsTooLongToRead(const std::wstring& name)
{
    DWORD bytes = 0;
    return RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS &&
           bytes > QueryBufferBytes;
}

void RegistryKey::DeleteValue(const std::wstring& name)
{
    RegDeleteValueW(handle, name.c_str());
}

void RegistryKey::Close()
{
    RegCloseKey(handle);
    handle = nullptr;
}
