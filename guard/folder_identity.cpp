#include "guard/folder_identity.h"

#include <vector>

#include "foldertree/full_path.h"

namespace {

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
    // The platform hands final paths out in extended-length form; the rest
    // of the guard speaks plain paths.
    return PlainPathOf(std::wstring(buffer.data(), length));
}

} // namespace

// Backup semantics opens folders as well as files; no access beyond reading
// attributes is asked, and nothing is locked for others.
HANDLE OpenToIdentify(const std::wstring& path)
{
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IdentifyOpened(HANDLE opened, std::wstring& finalPath, DWORD& attributes)
{
    finalPath.clear();
    attributes = INVALID_FILE_ATTRIBUTES;
    // The basic record only: under Wine the full one also reads the volume,
    // at many times the cost.
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(opened, FileBasicInfo, &basic, sizeof(basic))) {
        attributes = basic.FileAttributes;
        finalPath = FinalPathOfHandle(opened);
    }
    return !finalPath.empty();
}

bool IdentifyPath(const std::wstring& path, std::wstring& finalPath, DWORD& attributes)
{
    HANDLE handle = OpenToIdentify(path);
    if (handle == INVALID_HANDLE_VALUE) {
        finalPath.clear();
        attributes = INVALID_FILE_ATTRIBUTES;
        return false;
    }
    const bool identified = IdentifyOpened(handle, finalPath, attributes);
    CloseHandle(handle);
    return identified;
}
