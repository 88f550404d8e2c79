// The folders that hold the user's or the system's own data. No registered
// install folder may be one of them or contain one.
#pragma once

#include <string>
#include <vector>

// Paths as the machine reports them, not resolved: every known folder the
// shell knows of (per-user and common, those registered by other software
// too), every cloud sync root, the temp folder, the native Program Files,
// or, when the shell's list cannot be had, a fixed list of system and profile
// folders. Each path once (letter case aside); folders that do not exist may
// be among them.
std::vector<std::wstring> ProtectedFolders();
