#!/usr/bin/env python3
"""Points a PE image's load-configuration directory at its _load_config_used
record, which GNU ld (binutils 2.40) leaves unset, and checks the record's
DependentLoadFlags.

    set-load-config.py NM IMAGE
"""
import struct
import subprocess
import sys

LOAD_CONFIG_DIRECTORY = 10
DEPENDENT_LOAD_FLAGS = {0x10B: 0x36, 0x20B: 0x4E}  # its offset in the record, PE32 and PE32+


def main():
    nm, image = sys.argv[1:3]
    data = bytearray(open(image, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    image_base = struct.unpack_from("<Q" if magic == 0x20B else "<I", data, optional + (24 if magic == 0x20B else 28))[0]
    directories = optional + (112 if magic == 0x20B else 96)
    listing = subprocess.run([nm, image], check=True, capture_output=True, text=True).stdout
    names = {"__load_config_used", "_load_config_used"}  # i686 adds an underscore
    address = next(int(fields[0], 16) for fields in map(str.split, listing.splitlines())
                   if len(fields) == 3 and fields[2] in names)
    rva = address - image_base
    # The record's file offset, through the section that holds it.
    sections = optional + struct.unpack_from("<H", data, pe + 20)[0]
    for index in range(struct.unpack_from("<H", data, pe + 6)[0]):
        virtual_size, virtual_address, _, raw_offset = struct.unpack_from("<IIII", data, sections + 40 * index + 8)
        if virtual_address <= rva < virtual_address + virtual_size:
            offset = raw_offset + rva - virtual_address
            break
    else:
        sys.exit(f"{image}: no section holds _load_config_used")
    size = struct.unpack_from("<I", data, offset)[0]
    flags = struct.unpack_from("<H", data, offset + DEPENDENT_LOAD_FLAGS[magic])[0]
    if flags != 0x800:
        sys.exit(f"{image}: DependentLoadFlags is {flags:#x}, not LOAD_LIBRARY_SEARCH_SYSTEM32")
    struct.pack_into("<II", data, directories + 8 * LOAD_CONFIG_DIRECTORY, rva, size)
    open(image, "wb").write(data)


main()
