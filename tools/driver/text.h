// Text conversions for reading what Wine and the debug output hand back.
#pragma once

#include <string>

// ANSI code-page text (code page 949 under the harness) to UTF-16.
std::wstring FromCodePage(const std::string& text);

// UTF-16 to UTF-8, for readable test failure messages and reports.
std::string ToUtf8(const std::wstring& text);
