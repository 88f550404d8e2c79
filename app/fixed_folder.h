// The fixed-folder stage: the launcher's default folder, removed whenever it
// exists. It lies at the top of drive C:, where every signed-in user may
// create folders and change what another user made; a link planted above it
// could lead its path to any folder of that name the user can delete.
#pragma once

#include <string>

#include "foldertree/left_for_last.h"

// Removes the default folder, reached from the drive's root without
// following a link. A link above it is refused: nothing is touched, the
// refusal is traced, and the result is false. True when nothing is there or
// the tree was deleted whole, but for the program's own file with its
// folders and the default folder itself, which the walks leave in left for
// the run's last step. The registered stage's own last step (registered),
// when it is the default folder itself, has nothing here to add.
bool RemoveFixedFolder(RunState& run, const LeftForLast& registered, LeftForLast& left);

// True when the file or folder at path lies inside the default folder,
// reached as the stage reaches it, or is that folder.
bool LiesInFixedFolder(const std::wstring& path);
