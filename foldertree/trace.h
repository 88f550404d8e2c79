// Trace lines: the failures inside the folder walks, and the registered
// folder's refusals. They go to the debug output only: a debugger or a
// debug-output viewer is the one place they show.
#pragma once

#include <string>

// Writes prefix + subject as one debug-output string, with no line end.
void TraceFailure(const std::wstring& prefix, const std::wstring& subject);
