// Entry point. The program takes no arguments and opens no window of its own;
// it exits with 0 whatever the outcome, which the user reads from the box.
#include <windows.h>

#include "app/removal_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RunRemoval();
    return 0;
}
