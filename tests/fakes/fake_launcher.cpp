// Stands in for the launcher: stays running until it is terminated, and can
// hold one file open with share mode 0, as a running launcher holds its own.
//   fake_launcher [FILE_TO_HOLD [READY_EVENT]]
// READY_EVENT is set once the file is held.
//
// Or stands in for a virus scanner, the search indexer or an Explorer window:
// holds a file or a folder open for reading, sharing it for reading, writing
// and deletion, for the given time, then lets go and exits with 0.
//   fake_launcher --hold-shared PATH MILLISECONDS READY_EVENT
#include <windows.h>

#include <cwchar>

namespace {

bool SignalReady(const wchar_t* eventName)
{
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    if (ready == nullptr) {
        return false;
    }
    SetEvent(ready);
    CloseHandle(ready);
    return true;
}

int HoldShared(const wchar_t* path, const wchar_t* milliseconds, const wchar_t* eventName)
{
    HANDLE held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 2;
    }
    const bool signalled = SignalReady(eventName);
    if (signalled) {
        Sleep(static_cast<DWORD>(std::wcstoul(milliseconds, nullptr, 10)));
    }
    CloseHandle(held);
    return signalled ? 0 : 3;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && std::wcscmp(argv[1], L"--hold-shared") == 0) {
        return HoldShared(argv[2], argv[3], argv[4]);
    }
    HANDLE held = nullptr;
    if (argc > 1 && argv[1][0] != L'\0') {
        held =
            CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            return 2;
        }
    }
    if (argc > 2 && !SignalReady(argv[2])) {
        return 3;
    }
    // Runs until terminated; the file stays held all that time.
    Sleep(INFINITE);
    if (held != nullptr) {
        CloseHandle(held);
    }
    return 1;
}
