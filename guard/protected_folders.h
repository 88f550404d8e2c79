// The folders that hold the user's or the system's own data. No registered
// install folder may be one of them or contain one, nor lie in the Windows
// folder.
#pragma once

#include <string>
#include <vector>

// Paths as the machine reports them, not resolved: every known folder the
// shell knows of (per-user and common, those registered by other software
// too; when that list cannot be had, a fixed list of system and profile
// folders), every cloud sync root, the temp folder, and the native Program
// Files, Common Files and System32, which a 32-bit process on 64-bit Windows
// is not shown. Each path once (letter case aside); folders that do not
// exist may be among them.
std::vector<std::wstring> ProtectedFolders();

// The Windows folder, whose content is protected as well: no launcher lives
// anywhere in it. Empty when it cannot be had.
std::wstring WindowsFolder();
