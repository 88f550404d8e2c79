#include "guard/folder_identity.h"

#include "foldertree/full_path.h"
#include "foldertree/open_folder.h"

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
        // Final paths come in extended-length form; the guard speaks plain
        // paths.
        finalPath = PlainPathOf(FinalPathOf(opened));
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
