"""Packs files into a zip that depends on nothing but their content: entries
in the order given, under their base names, all dated SOURCE_DATE_EPOCH
(the zip format's earliest date when that is earlier), with fixed
permissions and compression.
    pack_release.py OUT.zip EPOCH FILE..."""
import os
import sys
import time
import zipfile


def main():
    out, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    date = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
    with zipfile.ZipFile(out, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=date)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so that the permissions below mean the same everywhere
            entry.external_attr = 0o644 << 16
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main()
