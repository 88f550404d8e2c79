// Crashes the way a faulty program does: one trace line, then an access
// violation that nothing handles. The driver must report it as a crash.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    OutputDebugStringW(L"about to crash");
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return 0;
}
