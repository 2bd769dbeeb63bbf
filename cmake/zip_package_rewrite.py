#!/usr/bin/env python3
"""Writes a ZIP archive again so that the same files always give the same bytes:

    zip_package_rewrite.py ARCHIVE

The entries, folders included, come in the order of their names. Each is dated from
SOURCE_DATE_EPOCH (in UTC; when it is unset, an entry keeps its date), made on Unix with mode 755
(a folder or an executable) or 644, and carries no extra field: no owner, no other times.
"""
from __future__ import annotations

import os
import sys
import time
import zipfile


def rewritten(entry: zipfile.ZipInfo, epoch: int | None) -> zipfile.ZipInfo:
    date = time.gmtime(epoch)[:6] if epoch is not None else entry.date_time
    fresh = zipfile.ZipInfo(entry.filename, date_time=date)
    executable = entry.is_dir() or (entry.external_attr >> 16) & 0o111
    fresh.create_system = 3  # Unix, so that unzip applies the mode
    fresh.external_attr = (0o40755 if entry.is_dir() else 0o100755 if executable else 0o100644) << 16
    if entry.is_dir():
        fresh.external_attr |= 0x10  # MS-DOS's directory flag, as zip tools write it
    fresh.compress_type = zipfile.ZIP_STORED if entry.is_dir() else zipfile.ZIP_DEFLATED
    return fresh


def main() -> None:
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    path = sys.argv[1]
    epoch_text = os.environ.get("SOURCE_DATE_EPOCH")
    epoch = max(int(epoch_text), 315532800) if epoch_text else None  # a ZIP's dates start in 1980
    with zipfile.ZipFile(path) as source:
        entries = [(entry, source.read(entry)) for entry in source.infolist()]
    with zipfile.ZipFile(path + ".new", "w") as target:
        for entry, data in sorted(entries, key=lambda pair: pair[0].filename):
            target.writestr(rewritten(entry, epoch), data, compresslevel=9)
    os.replace(path + ".new", path)


if __name__ == "__main__":
    main()
