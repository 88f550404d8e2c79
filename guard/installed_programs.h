// The other programs on the machine: those registered in the system's list
// of installed programs, each with the folder it says it lives in. No
// registered install folder of the launcher may hold one of them.
#pragma once

#include <string>
#include <vector>

// The InstallLocation (REG_SZ, or REG_EXPAND_SZ expanded) of every entry
// under SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall: the machine's,
// in its 64-bit and its 32-bit registry view, and the current user's. Only
// locations written in full on a drive letter ("X:\..."; one pair of quotes
// around it is taken off), each once. Whether each leads to a folder is for
// the caller to find out.
std::vector<std::wstring> InstalledProgramFolders();
