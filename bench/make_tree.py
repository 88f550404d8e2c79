#!/usr/bin/env python3
"""Writes a launcher-like tree: FILES files, about 100 a folder, folders
nested ten to a parent, every tenth file read-only.

    make_tree.py FOLDER FILES
"""
import os
import stat
import sys


def main():
    root, files = sys.argv[1], int(sys.argv[2])
    per_folder = 100
    for index in range(files):
        folder_index = index // per_folder
        folder = os.path.join(root, f"group{folder_index // 10}", f"folder{folder_index}")
        if index % per_folder == 0:
            os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"file{index}.dat")
        with open(path, "wb") as out:
            out.write(b"launcher data\n")
        if index % 10 == 0:
            os.chmod(path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)  # read-only under Wine


if __name__ == "__main__":
    main()
