#include "app/folder_identity.h"

#include <vector>

namespace {

constexpr wchar_t DevicePrefix[] = L"\\\\?\\";
constexpr wchar_t UncDevicePrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The platform hands final paths out in device form; the rest of the guard
// speaks plain paths.
std::wstring PlainForm(const std::wstring& devicePath)
{
    if (StartsWith(devicePath, UncDevicePrefix)) {
        return L"\\\\" + devicePath.substr(std::wstring(UncDevicePrefix).size());
    }
    if (StartsWith(devicePath, DevicePrefix)) {
        return devicePath.substr(std::wstring(DevicePrefix).size());
    }
    return devicePath;
}

std::wstring FinalPathOfHandle(HANDLE handle)
{
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
    if (needed == 0) {
        return L"";
    }
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), flags);
    if (length == 0 || length >= buffer.size()) {
        return L"";
    }
    return PlainForm(std::wstring(buffer.data(), length));
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Backup semantics opens folders as well as files; no access beyond reading
// attributes is asked, and nothing is locked for others.
HANDLE OpenToIdentify(const std::wstring& path)
{
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

bool IdentifyPath(const std::wstring& path, std::wstring& finalPath, DWORD& attributes)
{
    HANDLE handle = OpenToIdentify(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The basic record only: under Wine the full one also reads the volume,
    // at many times the cost.
    FILE_BASIC_INFO basic;
    const bool described = GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
    finalPath = FinalPathOfHandle(handle);
    CloseHandle(handle);
    attributes = described ? basic.FileAttributes : INVALID_FILE_ATTRIBUTES;
    return described && !finalPath.empty();
}

bool FinalPathOf(const std::wstring& path, std::wstring& finalPath)
{
    HANDLE handle = OpenToIdentify(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    finalPath = FinalPathOfHandle(handle);
    CloseHandle(handle);
    return !finalPath.empty();
}

bool IsOnDriveLetter(const std::wstring& finalPath)
{
    const wchar_t letter = finalPath.empty() ? L'\0' : static_cast<wchar_t>(finalPath[0] | 0x20);
    return finalPath.size() >= 3 && letter >= L'a' && letter <= L'z' && finalPath[1] == L':' && finalPath[2] == L'\\';
}

bool IsSameOrAncestor(const std::wstring& folder, const std::wstring& other)
{
    std::wstring prefix = folder;
    if (prefix.empty() || prefix.back() != L'\\') {
        prefix += L'\\';
    }
    return SameText(folder, other) ||
           (other.size() > prefix.size() && SameText(prefix, other.substr(0, prefix.size())));
}
