// The trace line of a folder the program will not remove, kept exactly as
// it is: tools match it to the letter.
#pragma once

constexpr wchar_t RefusedPrefix[] = L"Remove refused : ";
