#include "app/hand_over.h"

#include <string>
#include <vector>

#include "app/working_folder.h"
#include "foldertree/own_file.h"
#include "foldertree/temporary_place.h"

namespace {

// Named after the launcher's key, as the removal lock is, and after the
// copy's process id: a copy looks for the one made for it alone.
constexpr wchar_t HandOverNamePrefix[] = L"Local\\LauncherRemover-HandOver-6D1F0A83-C47E-42b9-9E05-B7C3148A6F2D-";

// The started program has nothing left to do once the copy runs; a few
// seconds outlast a slow exit.
constexpr DWORD StartedProgramWaitMs = 5000;

// The copy's word that it has taken the run comes within moments; without
// it, the started program ends the copy and does the run itself.
constexpr DWORD TakenWaitMs = 5000;

// What the named object holds, one 64-bit field each: the started program's
// process id, then three handles valid in the copy: to the started
// program's process, to the named object itself (which keeps it in being
// once the started program has ended, until the copy has read it), and to
// the event by which the copy says it has taken the run.
enum HandOverField {
    StartedProcessId,
    StartedProcessInCopy,
    HandOverObjectInCopy,
    TakenEventInCopy,
    HandOverFieldCount
};
constexpr DWORD HandOverBytes = sizeof(ULONGLONG) * HandOverFieldCount;

std::wstring HandOverName(DWORD copyProcessId)
{
    return HandOverNamePrefix + std::to_wstring(copyProcessId);
}

HANDLE AsHandle(ULONGLONG field)
{
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(field));
}

// Writes the running program's bytes into a new file at path; the file's
// attributes and other streams (a download mark, say) stay behind.
bool WriteCopy(const std::vector<char>& bytes, const std::wstring& path)
{
    HANDLE copy = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (copy == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool copied = !bytes.empty() &&
                        WriteFile(copy, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
    CloseHandle(copy);
    if (!copied) {
        DeleteFileW(path.c_str());
    }
    return copied;
}

// Starts the program at path suspended, in the system folder, and, where
// Windows offers it, with the loader told to prefer System32 for every DLL
// the copy loads.
bool StartSuspended(const std::wstring& path, PROCESS_INFORMATION& started)
{
    std::wstring commandLine = L"\"" + path + L"\"";
    const std::wstring system = SystemFolder();
    const wchar_t* workingFolder = system.empty() ? nullptr : system.c_str();
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    DWORD64 policy = PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_PREFER_SYSTEM32_ALWAYS_ON;
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    const bool listed = size > 0 && InitializeProcThreadAttributeList(list, 1, 0, &size);
    if (listed && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY, &policy, sizeof(policy),
                                            nullptr, nullptr)) {
        startup.lpAttributeList = list;
    }
    bool created =
        startup.lpAttributeList != nullptr && CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                                             CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                                             workingFolder, &startup.StartupInfo, &started);
    if (!created) {
        // A Windows that does not know the policy refuses it.
        startup.StartupInfo.cb = sizeof(startup.StartupInfo);
        created = CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                 workingFolder, &startup.StartupInfo, &started);
    }
    if (listed) {
        DeleteProcThreadAttributeList(list);
    }
    return created;
}

// Makes the named object for the suspended copy and puts into the copy the
// three handles it names, taken the event by which it answers.
bool TellCopy(HANDLE copy, DWORD copyProcessId, HANDLE taken)
{
    SetLastError(ERROR_SUCCESS);
    HANDLE told = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, HandOverBytes,
                                     HandOverName(copyProcessId).c_str());
    if (told == nullptr) {
        return false;
    }
    // One that someone else made beforehand is not ours to fill.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(told);
        return false;
    }
    auto* fields = static_cast<ULONGLONG*>(MapViewOfFile(told, FILE_MAP_WRITE, 0, 0, HandOverBytes));
    HANDLE startedInCopy = nullptr;
    HANDLE toldInCopy = nullptr;
    HANDLE takenInCopy = nullptr;
    const bool put = fields != nullptr &&
                     DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), copy, &startedInCopy,
                                     SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0) &&
                     DuplicateHandle(GetCurrentProcess(), told, copy, &toldInCopy, FILE_MAP_READ, FALSE, 0) &&
                     DuplicateHandle(GetCurrentProcess(), taken, copy, &takenInCopy, EVENT_MODIFY_STATE, FALSE, 0);
    if (put) {
        fields[StartedProcessId] = GetCurrentProcessId();
        fields[StartedProcessInCopy] = reinterpret_cast<ULONG_PTR>(startedInCopy);
        fields[HandOverObjectInCopy] = reinterpret_cast<ULONG_PTR>(toldInCopy);
        fields[TakenEventInCopy] = reinterpret_cast<ULONG_PTR>(takenInCopy);
    }
    if (fields != nullptr) {
        UnmapViewOfFile(fields);
    }
    CloseHandle(told);
    return put;
}

// Starts the copy suspended, tells it, lets it go and waits for its word
// that it has taken the run; a copy that cannot be told, or does not answer
// in time, is ended.
bool StartCopy(const std::wstring& path)
{
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (taken == nullptr) {
        return false;
    }
    PROCESS_INFORMATION copy = {};
    if (!StartSuspended(path, copy)) {
        CloseHandle(taken);
        return false;
    }
    const bool started = TellCopy(copy.hProcess, copy.dwProcessId, taken) &&
                         ResumeThread(copy.hThread) != static_cast<DWORD>(-1) &&
                         WaitForSingleObject(taken, TakenWaitMs) == WAIT_OBJECT_0;
    CloseHandle(taken);
    if (!started) {
        TerminateProcess(copy.hProcess, 0);
        // Its file can go only once it has ended.
        WaitForSingleObject(copy.hProcess, StartedProgramWaitMs);
    }
    CloseHandle(copy.hThread);
    CloseHandle(copy.hProcess);
    return started;
}

} // namespace

bool HandRunToCopy()
{
    const std::vector<char> bytes = RunningProgramBytes();
    if (bytes.empty()) {
        return false;
    }
    const std::wstring own = OwnFilePath();
    const std::wstring path = PlaceInFolderOfItsOwn(own.substr(own.rfind(L'\\') + 1));
    if (path.empty()) {
        return false;
    }
    const bool started = WriteCopy(bytes, path) && StartCopy(path);
    if (!started) {
        DeleteFileW(path.c_str());
        RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str()); // made for the copy alone
    }
    return started;
}

bool TakeHandedRun(RunState& run, HANDLE& startedProgram)
{
    startedProgram = nullptr;
    HANDLE told = OpenFileMappingW(FILE_MAP_READ, FALSE, HandOverName(GetCurrentProcessId()).c_str());
    if (told == nullptr) {
        return false; // started by a user
    }
    const auto* fields = static_cast<const ULONGLONG*>(MapViewOfFile(told, FILE_MAP_READ, 0, 0, HandOverBytes));
    // Taken only as a handle to another process whose id the object names:
    // nothing else of this process is waited on or closed.
    if (fields != nullptr && fields[StartedProcessId] != 0 && fields[StartedProcessId] != GetCurrentProcessId() &&
        GetProcessId(AsHandle(fields[StartedProcessInCopy])) == fields[StartedProcessId]) {
        startedProgram = AsHandle(fields[StartedProcessInCopy]);
        CloseHandle(AsHandle(fields[HandOverObjectInCopy]));
        // The started program ends once it knows; until then it may still
        // end this copy and do the run itself.
        HANDLE taken = AsHandle(fields[TakenEventInCopy]);
        SetEvent(taken);
        CloseHandle(taken);
        // Its file is the one the user started, which a failed run keeps,
        // however long its path.
        std::vector<wchar_t> path(MAX_PATH);
        for (DWORD length = static_cast<DWORD>(path.size());; length = static_cast<DWORD>(path.size())) {
            if (QueryFullProcessImageNameW(startedProgram, 0, path.data(), &length)) {
                run.startedProgramFile.assign(path.data(), length);
                break;
            }
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768) {
                break;
            }
            path.resize(path.size() * 2);
        }
    }
    if (fields != nullptr) {
        UnmapViewOfFile(fields);
    }
    CloseHandle(told);
    return startedProgram != nullptr;
}

bool AwaitStartedProgram(HANDLE startedProgram)
{
    const bool ended = WaitForSingleObject(startedProgram, StartedProgramWaitMs) == WAIT_OBJECT_0;
    CloseHandle(startedProgram);
    return ended;
}
