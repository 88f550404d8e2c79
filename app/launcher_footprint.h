// The fixed facts by which the launcher is found on a machine. Nothing here
// comes from a command line, a file or the environment.
#pragma once

#include <windows.h>

// Executable name of a running launcher, as a process snapshot reports it.
constexpr wchar_t LauncherImageName[] = L"velstrand.exe";

// The launcher records its install location under this key; the leading
// backslash is stripped when the key is opened.
const HKEY SharedKeyRoot = HKEY_CURRENT_USER;
constexpr wchar_t SharedKeyPath[] = L"\\Software\\tamrel\\shared\\6D1F0A83-C47E-42b9-9E05-B7C3148A6F2D";

// Full path of a file inside the install folder.
constexpr wchar_t LocationValueName[] = L"location";
// Marks the launcher as installed; deleted by the removal.
constexpr wchar_t VersionValueName[] = L"version";

// The launcher's default install folder, removed whenever it exists.
constexpr wchar_t FixedLauncherFolder[] = L"C:\\Tamrel\\Rinop\\Launcher";
