// The benchmark's yardstick: the platform calls the program's two walks make
// on its default folder (extended-length paths; attributes reset, then the
// tree deleted bottom up), with nothing around them: no shutdown, registry,
// guard, lock, trace or box. Shows no window; exits when done.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

const std::wstring Folder = L"\\\\?\\C:\\Tamrel\\Rinop\\Launcher";

bool IsDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

void Walk(const std::wstring& folder, bool deleting)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (IsDotEntry(entry.cFileName)) {
            continue;
        }
        const std::wstring child = folder + L"\\" + entry.cFileName;
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder) {
            Walk(child, deleting);
        }
        if (!deleting) {
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else if (!isFolder) {
            DeleteFileW(child.c_str());
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (deleting) {
        RemoveDirectoryW(folder.c_str());
    } else {
        SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (GetFileAttributesW(Folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Walk(Folder, false);
        Walk(Folder, true);
    }
    return 0;
}
