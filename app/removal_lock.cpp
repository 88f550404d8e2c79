#include "app/removal_lock.h"

namespace {

// In the session namespace ("Local\"), named after the launcher's key but
// for this program's own use, so that no object of the launcher's shares it.
constexpr wchar_t RemovalLockName[] = L"Local\\LauncherRemover-6D1F0A83-C47E-42b9-9E05-B7C3148A6F2D";

} // namespace

HANDLE AcquireRemovalLock(DWORD patienceMs)
{
    HANDLE lock = CreateMutexW(nullptr, FALSE, RemovalLockName);
    if (lock == nullptr) {
        return nullptr;
    }
    // WAIT_ABANDONED: the holder ended without releasing it; ours now.
    const DWORD waited = WaitForSingleObject(lock, patienceMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(lock);
        return nullptr;
    }
    return lock;
}

void ReleaseRemovalLock(HANDLE lock)
{
    if (lock == nullptr) {
        return;
    }
    ReleaseMutex(lock);
    CloseHandle(lock);
}
