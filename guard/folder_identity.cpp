#include "guard/folder_identity.h"

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
    finalPath.clear();
    attributes = INVALID_FILE_ATTRIBUTES;
    HANDLE handle = OpenToIdentify(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The basic record only: under Wine the full one also reads the volume,
    // at many times the cost.
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic))) {
        attributes = basic.FileAttributes;
        finalPath = FinalPathOfHandle(handle);
    }
    CloseHandle(handle);
    return !finalPath.empty();
}
