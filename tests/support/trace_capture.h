// Captures this process's debug-output strings while an instance is alive,
// through a vectored exception handler: OutputDebugString raises
// DBG_PRINTEXCEPTION_C (Wine 8, text in the ANSI code page) or, on newer
// Windows, DBG_PRINTEXCEPTION_WIDE_C first.
#pragma once

#include <string>
#include <vector>

class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Every string the code under test wrote since construction, in order;
    // GoogleTest's own copies of its failure messages are left out.
    const std::vector<std::wstring>& Lines() const;

private:
    void* handler_;
};
