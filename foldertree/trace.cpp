#include "foldertree/trace.h"

#include <windows.h>

void TraceFailure(const std::wstring& prefix, const std::wstring& subject)
{
    OutputDebugStringW((prefix + subject).c_str());
}
