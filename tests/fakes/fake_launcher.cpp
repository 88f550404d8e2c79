// Stands in for the launcher: stays running until it is terminated, and can
// hold one file open with share mode 0, as a running launcher holds its own.
//   fake_launcher [FILE_TO_HOLD [READY_EVENT]]
// READY_EVENT is set once the file is held.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    HANDLE held = nullptr;
    if (argc > 1 && argv[1][0] != L'\0') {
        held =
            CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            return 2;
        }
    }
    if (argc > 2) {
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
        if (ready == nullptr) {
            return 3;
        }
        SetEvent(ready);
        CloseHandle(ready);
    }
    // Runs until terminated; the file stays held all that time.
    Sleep(INFINITE);
    if (held != nullptr) {
        CloseHandle(held);
    }
    return 1;
}
