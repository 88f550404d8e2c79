#include "foldertree/held_entries.h"

#include "foldertree/run_state.h"

namespace {

constexpr DWORD PauseMs = 50;

} // namespace

bool PauseForHeldEntries(RunState& run)
{
    if (run.heldEntriesPatienceLeftMs < PauseMs) {
        return false;
    }
    run.heldEntriesPatienceLeftMs -= PauseMs;
    Sleep(PauseMs);
    return true;
}
