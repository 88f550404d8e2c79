// The program's places in the user's temporary folder, which many programs
// write into. Only two runs put anything there: one started from inside a
// folder it removes moves its own file out of the way, and one that cannot
// (the install on another drive) runs a copy of itself from there. Each
// puts its file into a folder of its own, made new for that run under a name
// no one can guess beforehand and never one that already exists; neither
// file can go while it runs, so a later run removes them, judged by what
// they are: a folder that holds nothing but one file with the program's own
// bytes, which no program runs.
#pragma once

#include <string>
#include <vector>

// The user's temporary folder, with its closing backslash; empty when there
// is none to be had.
std::wstring TemporaryFolder();

// A path for a file called name in a folder of its own, made new in the
// user's temporary folder; empty when none could be made.
std::wstring PlaceInFolderOfItsOwn(const std::wstring& name);

// The bytes of the file the running program was started from, read through
// the file and checked to be the very file the running image was mapped
// from (the path may name another by now). Empty when that cannot be.
std::vector<char> RunningProgramBytes();

// Removes what earlier runs left in the temporary folder: each folder of
// its own that holds only a file with the running program's bytes which no
// program runs or holds. Anything else there is left alone.
void RemoveWhatEarlierRunsLeft();
