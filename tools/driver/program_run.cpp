#include "tools/driver/program_run.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>

#include "tools/driver/text.h"

namespace {

struct BoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM context)
{
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (owner == search.processId && IsWindowVisible(window) && std::wcscmp(className, L"#32770") == 0) {
        search.box = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBox(DWORD processId)
{
    BoxSearch search = {processId, nullptr};
    EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.box;
}

BOOL CALLBACK MatchIconControl(HWND window, LPARAM context)
{
    if ((GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HWND*>(context) = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// A 32-bit top-down bitmap to draw or copy the screen into; its pixels come
// back as BGRX values, top row first.
class Canvas {
public:
    Canvas(int width, int height) : screen_(GetDC(nullptr)), memory_(CreateCompatibleDC(screen_))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        previous_ = SelectObject(memory_, bitmap_);
        size_ = static_cast<size_t>(width) * static_cast<size_t>(height);
    }
    ~Canvas()
    {
        SelectObject(memory_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Screen() const { return screen_; }
    HDC Memory() const { return memory_; }
    DWORD* Bits() const { return static_cast<DWORD*>(bits_); }
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        return bits_ == nullptr ? std::vector<DWORD>() : std::vector<DWORD>(Bits(), Bits() + size_);
    }

private:
    HDC screen_;
    HDC memory_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
    size_t size_ = 0;
};

std::vector<DWORD> CaptureScreen(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    Canvas canvas(width, height);
    BitBlt(canvas.Memory(), 0, 0, width, height, canvas.Screen(), area.left, area.top, SRCCOPY);
    return canvas.Pixels();
}

// A system icon drawn over the given background, as the box would show it.
std::vector<DWORD> RenderIcon(const wchar_t* iconName, int width, int height, DWORD background)
{
    Canvas canvas(width, height);
    std::fill(canvas.Bits(), canvas.Bits() + static_cast<size_t>(width) * static_cast<size_t>(height), background);
    DrawIconEx(canvas.Memory(), 0, 0, LoadIconW(nullptr, iconName), width, height, 0, nullptr, DI_NORMAL);
    return canvas.Pixels();
}

double Likeness(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    size_t same = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        same += (a[i] & 0xFFFFFF) == (b[i] & 0xFFFFFF) ? 1 : 0;
    }
    return a.empty() ? 0.0 : static_cast<double>(same) / static_cast<double>(a.size());
}

// Icon handles differ between processes, so the icon is told by its pixels.
BoxIcon ReadIcon(HWND box)
{
    HWND control = nullptr;
    EnumChildWindows(box, MatchIconControl, reinterpret_cast<LPARAM>(&control));
    if (control == nullptr || !IsWindowVisible(control)) {
        return BoxIcon::None;
    }
    RECT area;
    GetWindowRect(control, &area);
    const std::vector<DWORD> shown = CaptureScreen(area);
    if (shown.empty()) {
        return BoxIcon::Unrecognised;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const double information = Likeness(shown, RenderIcon(IDI_INFORMATION, width, height, shown[0]));
    const double exclamation = Likeness(shown, RenderIcon(IDI_EXCLAMATION, width, height, shown[0]));
    if (information > 0.95 && information > exclamation) {
        return BoxIcon::Information;
    }
    if (exclamation > 0.95 && exclamation > information) {
        return BoxIcon::Exclamation;
    }
    return BoxIcon::Unrecognised;
}

void SaveScreenshot(HWND box, const std::wstring& path)
{
    RECT area;
    GetWindowRect(box, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const std::vector<DWORD> pixels = CaptureScreen(area);
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(header);
    fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
    std::vector<BYTE> image(header.biSizeImage);
    for (int y = 0; y < height; ++y) {
        BYTE* row = image.data() + static_cast<size_t>(height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            std::memcpy(row + x * 3, &pixels[static_cast<size_t>(y) * width + x], 3);
        }
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, &fileHeader, sizeof(fileHeader), &written, nullptr);
    WriteFile(file, &header, sizeof(header), &written, nullptr);
    WriteFile(file, image.data(), header.biSizeImage, &written, nullptr);
    CloseHandle(file);
}

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info)
{
    // The length is a WORD and may be cut; the string ends at its NUL anyway.
    const size_t units = info.nDebugStringLength == 0 ? 1 : info.nDebugStringLength;
    SIZE_T read = 0;
    if (info.fUnicode) {
        std::wstring text(units, L'\0');
        ReadProcessMemory(process, info.lpDebugStringData, &text[0], units * sizeof(wchar_t), &read);
        return text.substr(0, text.find(L'\0'));
    }
    std::string text(units, '\0');
    ReadProcessMemory(process, info.lpDebugStringData, &text[0], units, &read);
    return FromCodePage(text.substr(0, text.find('\0')));
}

// The box's thread may be stopped at a debug event that this thread has yet
// to continue: a message sent to it must not wait for ever.
bool ReadBoxText(HWND box, std::wstring& text)
{
    wchar_t buffer[512] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 250, &copied)) {
        return false;
    }
    text = buffer;
    return true;
}

// Records what the box shows, then closes it with OK unless the caller will.
bool ReadBoxThenClose(HWND box, HANDLE process, const RunOptions& options, ProgramRun& run)
{
    if (!ReadBoxText(box, run.text)) {
        return false;
    }
    run.boxesShown += 1;
    run.caption = WindowText(box);
    run.icon = ReadIcon(box);
    if (!options.screenshotPath.empty()) {
        SaveScreenshot(box, options.screenshotPath);
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    if (GetProcessMemoryInfo(process, &memory, sizeof(memory))) {
        run.peakWorkingSet = memory.PeakWorkingSetSize;
    }
    if (options.closeBox) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return true;
}

// Starts the program, as the debugger of it and of what it starts when its
// trace lines are wanted.
bool StartProgram(const std::wstring& program, const RunOptions& options, PROCESS_INFORMATION& process)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                          options.captureTrace ? DEBUG_PROCESS : 0, nullptr,
                          options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(), &startup,
                          &process) != FALSE;
}

// Without a debugger: waits a moment for the program to exit and records how.
bool HasExited(HANDLE process, ProgramRun& run)
{
    if (WaitForSingleObject(process, 20) != WAIT_OBJECT_0) {
        return false;
    }
    run.exited = true;
    GetExitCodeProcess(process, &run.exitCode);
    // Without a debugger a crash shows only as its exception code taken for
    // the exit code.
    if (run.exitCode >= 0xC0000000) {
        run.crashed = true;
        run.crashCode = run.exitCode;
    }
    return true;
}

// A file's bytes, read through a handle from its start.
std::string FileBytes(HANDLE file)
{
    std::string bytes;
    char chunk[64 * 1024];
    OVERLAPPED at = {};
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, &at) && read > 0) {
        bytes.append(chunk, read);
        const ULONGLONG next = (static_cast<ULONGLONG>(at.OffsetHigh) << 32 | at.Offset) + read;
        at.Offset = static_cast<DWORD>(next);
        at.OffsetHigh = static_cast<DWORD>(next >> 32);
    }
    return bytes;
}

// A process of the run, as its debugger follows it: the one started, and
// those started from a copy of its file.
struct Followed {
    DWORD id;
    HANDLE process; // the debugger's own, closed by the system
    bool ended;
};

struct RunState {
    std::string programBytes;
    std::vector<Followed> processes; // the one started first
    ULONGLONG lastEvent;
    ULONGLONG boxSeen = 0;
    ULONGLONG boxTime = 0; // how long boxes were up, left out of the run's time
    HWND handledBox = nullptr;
};

Followed* FindFollowed(RunState& state, DWORD id)
{
    const auto found = std::find_if(state.processes.begin(), state.processes.end(),
                                    [id](const Followed& followed) { return followed.id == id; });
    return found == state.processes.end() ? nullptr : &*found;
}

bool AllEnded(const RunState& state)
{
    return std::all_of(state.processes.begin(), state.processes.end(),
                       [](const Followed& followed) { return followed.ended; });
}

// A process the program started: followed when it runs a copy of the
// program's file, else let go.
bool FollowWhenACopy(const CREATE_PROCESS_DEBUG_INFO& info, DWORD id, RunState& state, ProgramRun& run)
{
    if (info.hFile == nullptr || FileBytes(info.hFile) != state.programBytes) {
        return false;
    }
    state.processes.push_back({id, info.hProcess, false});
    run.copiesFollowed += 1;
    return true;
}

// Records what one debug event says (a trace line, a crash, an exit), then
// lets the process go on, or goes, for one that is not followed.
void HandleDebugEvent(const DEBUG_EVENT& event, RunState& state, ProgramRun& run)
{
    DWORD continueStatus = DBG_CONTINUE;
    bool letGo = false;
    Followed* followed = FindFollowed(state, event.dwProcessId);
    switch (event.dwDebugEventCode) {
    case CREATE_PROCESS_DEBUG_EVENT:
        letGo = followed == nullptr && !FollowWhenACopy(event.u.CreateProcessInfo, event.dwProcessId, state, run);
        CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
    case LOAD_DLL_DEBUG_EVENT:
        CloseHandle(event.u.LoadDll.hFile);
        break;
    case OUTPUT_DEBUG_STRING_EVENT:
        if (followed != nullptr) {
            run.traceLines.push_back(ReadDebugString(followed->process, event.u.DebugString));
        }
        break;
    case EXCEPTION_DEBUG_EVENT:
        // A second chance comes only when no handler of the program took
        // the first: the program is crashing.
        if (event.u.Exception.dwFirstChance == 0 && followed != nullptr) {
            run.crashed = true;
            run.crashCode = event.u.Exception.ExceptionRecord.ExceptionCode;
        }
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
    case EXIT_PROCESS_DEBUG_EVENT:
        if (followed == &state.processes.front()) {
            run.exitCode = event.u.ExitProcess.dwExitCode;
            run.endedBeforeBox = run.boxesShown == 0 && state.boxSeen == 0;
        }
        if (followed != nullptr) {
            followed->ended = true;
        }
        break;
    default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
    if (letGo) {
        DebugActiveProcessStop(event.dwProcessId);
    }
}

// The box is read once it has been up, with no debug event from the
// program, for a moment: by then it is painted.
constexpr ULONGLONG BoxSettleMs = 400;

void WatchForBox(RunState& state, const RunOptions& options, ProgramRun& run)
{
    for (const Followed& followed : state.processes) {
        HWND box = followed.ended ? nullptr : FindMessageBox(followed.id);
        if (box == nullptr || box == state.handledBox) {
            continue;
        }
        const ULONGLONG now = GetTickCount64();
        state.boxSeen = state.boxSeen == 0 ? now : state.boxSeen;
        if (now - std::max(state.boxSeen, state.lastEvent) >= BoxSettleMs &&
            ReadBoxThenClose(box, followed.process, options, run)) {
            state.handledBox = box;
            state.boxTime += GetTickCount64() - state.boxSeen;
            state.boxSeen = 0;
        }
        return;
    }
}

std::string ProgramBytes(const std::wstring& program)
{
    HANDLE file = CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string bytes = FileBytes(file);
    CloseHandle(file);
    return bytes;
}

} // namespace

const wchar_t* BoxIconName(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None:
        return L"none";
    case BoxIcon::Information:
        return L"information";
    case BoxIcon::Exclamation:
        return L"exclamation";
    default:
        return L"unrecognised";
    }
}

ProgramRun RunProgram(const std::wstring& program, const RunOptions& options)
{
    ProgramRun run;
    PROCESS_INFORMATION process = {};
    const ULONGLONG start = GetTickCount64();
    RunState state = {options.captureTrace ? ProgramBytes(program) : std::string(), {}, start};
    run.started = StartProgram(program, options, process);
    if (!run.started) {
        return run;
    }
    state.processes.push_back({process.dwProcessId, process.hProcess, false});
    while (!run.exited && GetTickCount64() - start < options.timeoutMs) {
        DEBUG_EVENT event;
        if (!options.captureTrace) {
            if (!HasExited(process.hProcess, run)) {
                WatchForBox(state, options, run);
            }
        } else if (WaitForDebugEvent(&event, 50)) {
            state.lastEvent = GetTickCount64();
            HandleDebugEvent(event, state, run);
            run.exited = AllEnded(state);
        } else {
            WatchForBox(state, options, run);
        }
    }
    run.seconds = static_cast<double>(GetTickCount64() - start - state.boxTime) / 1000.0;
    if (!run.exited) {
        for (const Followed& followed : state.processes) {
            if (!followed.ended) {
                TerminateProcess(followed.process, 1);
                if (options.captureTrace) {
                    DebugActiveProcessStop(followed.id);
                }
            }
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}
