// Runs a GUI program the way its user would and records what they would see:
// its debug-output trace lines (caught as its debugger), its message box
// (caption, text, icon), then closes the box with OK (unless told not to) and
// waits for the exit. A process it starts from a copy of its own file (the
// same bytes) is followed alike, as part of the run: its lines, its box, its
// end; any other process it starts is let go at once (a debugger that
// followed Wine's own helpers, its crash debugger say, could hang).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class BoxIcon { None, Information, Exclamation, Unrecognised };

struct ProgramRun {
    bool started = false;
    bool exited = false; // on its own, before the time limit, copies included
    DWORD exitCode = 0; // of the process started
    // Processes started from a copy of the program, followed (only while
    // trace lines are captured).
    int copiesFollowed = 0;
    // The process started had ended before any box was up.
    bool endedBeforeBox = false;
    // Ended by an exception nothing in it handled; crashCode is that
    // exception's code.
    bool crashed = false;
    DWORD crashCode = 0;
    std::vector<std::wstring> traceLines;
    int boxesShown = 0;
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    double seconds = 0; // start to exit, the time the box was up left out
    SIZE_T peakWorkingSet = 0; // bytes, read while the box was up
};

struct RunOptions {
    std::wstring workingFolder = L"C:\\";
    std::wstring screenshotPath; // the box as a 24-bit BMP, when not empty
    DWORD timeoutMs = 180000;
    // Off for timing: a debugger slows Wine's file calls by about half, but
    // without it the trace lines are not seen.
    bool captureTrace = true;
    // Off: the box is read and left up, for someone else to close.
    bool closeBox = true;
};

ProgramRun RunProgram(const std::wstring& program, const RunOptions& options = RunOptions());

const wchar_t* BoxIconName(BoxIcon icon);
