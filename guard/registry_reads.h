// What Windows and other software record in the registry for the guard:
// the names below a key, and folder paths stored as REG_SZ or
// REG_EXPAND_SZ text. Keys are opened by the caller, in the registry view it
// means (a key opened in one view opens its subkeys in the process's default
// view unless told otherwise).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The names of key's subkeys; as many as could be listed.
std::vector<std::wstring> SubkeyNames(HKEY key);

// The names of key's values ("" for its default value); as many as could be
// listed.
std::vector<std::wstring> ValueNames(HKEY key);

// The text of the value name under key, of whatever length; environment
// variables such as %SystemDrive% expanded when it is REG_EXPAND_SZ. Empty
// when the value is missing, of another type, or cannot be read or expanded.
std::wstring ReadPathValue(HKEY key, const wchar_t* name);
