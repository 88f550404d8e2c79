#include "tests/support/trace_capture.h"

#include <windows.h>

#include <cstring>

#include "tools/driver/text.h"

#ifndef DBG_PRINTEXCEPTION_WIDE_C
#define DBG_PRINTEXCEPTION_WIDE_C 0x4001000AL
#endif

namespace {

std::vector<std::wstring> capturedLines;

// GoogleTest copies each failure it reports to the debug output, always over
// more than one line, then a lone line end. The code under test writes
// single lines with no line end, so a string holding one is GoogleTest's.
void Keep(const std::wstring& text)
{
    if (text.find(L'\n') == std::wstring::npos) {
        capturedLines.push_back(text);
    }
}

LONG CALLBACK CaptureDebugString(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.ExceptionCode == static_cast<DWORD>(DBG_PRINTEXCEPTION_WIDE_C) && record.NumberParameters >= 2) {
        Keep(reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]));
    } else if (record.ExceptionCode == static_cast<DWORD>(DBG_PRINTEXCEPTION_C) && record.NumberParameters >= 2) {
        const char* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        Keep(FromCodePage(std::string(text, std::strlen(text))));
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // Taken as handled: the string is not raised again in its other form.
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

TraceCapture::TraceCapture() : handler_(AddVectoredExceptionHandler(1, CaptureDebugString))
{
    capturedLines.clear();
}

TraceCapture::~TraceCapture()
{
    RemoveVectoredExceptionHandler(handler_);
}

const std::vector<std::wstring>& TraceCapture::Lines() const
{
    return capturedLines;
}
