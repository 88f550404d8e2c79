// The whole removal, run once: each stage in its fixed order, whatever the
// earlier ones did, then one message box with the outcome.
#pragma once

// Runs every stage (after any other start of the program in this session
// has finished its own) and shows the outcome box; returns once the box is
// closed.
void RunRemoval();
