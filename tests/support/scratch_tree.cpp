#include "tests/support/scratch_tree.h"

#include <algorithm>
#include <vector>

std::wstring Unique(const std::wstring& name)
{
    static unsigned counter = 0;
    // Wine reuses process ids from run to run; the clock tells runs apart.
    return name + L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
}

std::wstring NewScratchFolder(const std::wstring& name)
{
    CreateDirectoryW(L"C:\\scratch", nullptr);
    std::wstring folder = L"C:\\scratch\\" + Unique(name);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool MakeFolder(const std::wstring& path, DWORD attributes)
{
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
        return false;
    }
    return attributes == 0 || SetFileAttributesW(path.c_str(), attributes);
}

bool MakeFile(const std::wstring& path, DWORD attributes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool wrote = WriteFile(file, "data", 4, &written, nullptr) && written == 4;
    CloseHandle(file);
    return wrote;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD AttributesOf(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str());
}

HANDLE HoldOpen(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

namespace {

std::vector<std::wstring> NamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::wstring ListFolder(const std::wstring& folder)
{
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return L"<no folder>";
    }
    std::wstring listing;
    for (const std::wstring& name : NamesIn(folder)) {
        listing += (listing.empty() ? L"" : L" ") + name;
    }
    return listing;
}

bool DeleteTestTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return DeleteFileW(path.c_str()) != FALSE;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        const std::wstring inside = path + L"\\";
        for (const std::wstring& name : NamesIn(path)) {
            DeleteTestTree(inside + name);
        }
    }
    return RemoveDirectoryW(path.c_str()) != FALSE;
}
