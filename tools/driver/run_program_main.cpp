// Runs a program under the driver and prints what its user saw, one fact a
// line, in UTF-8. Used by the demo and the benchmark.
//   RunProgram PROGRAM [--screenshot FILE.bmp] [--workdir FOLDER] [--trace on|off]
#include <cstdio>
#include <cwchar>
#include <string>

#include "tools/driver/program_run.h"
#include "tools/driver/text.h"

namespace {

void PrintLine(const std::wstring& line)
{
    const std::string text = ToUtf8(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fputs("usage: RunProgram PROGRAM [--screenshot FILE.bmp] [--workdir FOLDER] [--trace on|off]\n", stderr);
        return 2;
    }
    RunOptions options;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::wcscmp(argv[i], L"--screenshot") == 0) {
            options.screenshotPath = argv[i + 1];
        } else if (std::wcscmp(argv[i], L"--workdir") == 0) {
            options.workingFolder = argv[i + 1];
        } else if (std::wcscmp(argv[i], L"--trace") == 0) {
            options.captureTrace = std::wcscmp(argv[i + 1], L"off") != 0;
        }
    }
    const ProgramRun run = RunProgram(argv[1], options);
    if (!run.started) {
        PrintLine(L"not started: " + std::to_wstring(GetLastError()));
        return 1;
    }
    for (const std::wstring& line : run.traceLines) {
        PrintLine(L"trace: " + line);
    }
    if (run.crashed) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(run.crashCode));
        PrintLine(std::wstring(L"crashed: ") + code);
    }
    PrintLine(L"boxes: " + std::to_wstring(run.boxesShown));
    PrintLine(L"caption: " + run.caption);
    PrintLine(L"text: " + run.text);
    PrintLine(std::wstring(L"icon: ") + BoxIconName(run.icon));
    PrintLine(run.exited ? L"exit code: " + std::to_wstring(run.exitCode)
                         : L"exit code: none (stopped at the time limit)");
    PrintLine(L"seconds: " + std::to_wstring(run.seconds));
    PrintLine(L"peak working set: " + std::to_wstring(run.peakWorkingSet));
    return run.exited && !run.crashed ? 0 : 1;
}
