#include "foldertree/held_entries.h"

namespace {

constexpr DWORD PauseMs = 50;

// What is left of the run's allowance; one run, one thread.
DWORD patienceLeftMs = HeldEntriesPatienceMs;

} // namespace

bool PauseForHeldEntries()
{
    if (patienceLeftMs < PauseMs) {
        return false;
    }
    patienceLeftMs -= PauseMs;
    Sleep(PauseMs);
    return true;
}
