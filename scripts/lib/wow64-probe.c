/* Exits with 64 when it runs as a 32-bit program on 64-bit Windows (WOW64),
   with 32 on 32-bit Windows: proof that a 32-bit Wine starts programs, its
   user32 (which needs more than kernel32 does) included. */
#include <windows.h>

int main(void)
{
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || GetSystemMetrics(SM_CMONITORS) < 0)
        return 1;
    return wow64 ? 64 : 32;
}
