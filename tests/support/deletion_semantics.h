// How the file system under the tests deletes an entry that another program
// holds shared for deletion (a virus scanner, an Explorer window): the POSIX
// way (Windows 10 and 11 on NTFS, Wine 10), where its name leaves its folder
// at once, or the classic way (Wine 8, FAT, older Windows), where it stays
// listed until the holder lets go. Tests whose right answer depends on it
// learn it from a deletion, once a test run, never from the mode's name.
#pragma once

bool DeletesThePosixWay();
