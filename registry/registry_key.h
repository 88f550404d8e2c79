// One registry key under a predefined root: opened (or created when it cannot
// be opened), read as text with a fallback, values deleted, then closed.
// Plain record: the owner sets root, calls Open, and calls Close itself when
// Open returned true. One thread only.
#pragma once

#include <windows.h>

#include <string>

struct RegistryKey {
    HKEY root;
    HKEY handle;

    // Opens path under root for reading and writing; creates the key (with full
    // access and default security) when it cannot be opened. One leading
    // backslash is ignored. True when handle now holds an open key.
    bool Open(const std::wstring& path);

    // The value's data read as text, of whatever type it is stored as; the
    // fallback when it is missing, unreadable or longer than 2048 bytes.
    std::wstring QueryString(const std::wstring& name, const std::wstring& fallback);

    // True when the value exists but holds more than QueryString reads, so
    // that QueryString gives its fallback for it.
    bool IsTooLongToRead(const std::wstring& name);

    // Deletes the value; whether it existed is not reported.
    void DeleteValue(const std::wstring& name);

    void Close();
};
