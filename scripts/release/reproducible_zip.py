#!/usr/bin/env python3
"""Writes a zip archive that the same files always turn into the same bytes:
the entries in the order given, all in one folder named after the archive,
each with the same time (the commit's, as SOURCE_DATE_EPOCH gives it, in
UTC; zip knows no time before 1980), the same permissions (rw-r--r--) and
no extra fields.

usage: reproducible_zip.py ARCHIVE EPOCH FILE..."""
import os
import sys
import time
import zipfile


def main():
    archive, epoch, *files = sys.argv[1:]
    folder = os.path.basename(archive).removesuffix(".zip")
    when = time.gmtime(max(int(epoch), 315532800))[:6]  # 1980-01-01
    with zipfile.ZipFile(archive, "w") as out:
        for path in files:
            entry = zipfile.ZipInfo(f"{folder}/{os.path.basename(path)}", date_time=when)
            entry.create_system = 3  # Unix, so that the permissions below are read
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as data:
                out.writestr(entry, data.read(), compresslevel=9)


if __name__ == "__main__":
    main()
