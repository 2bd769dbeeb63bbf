#!/usr/bin/env python3
"""Checks the Windows download and prints what it found:

    check-windows-package.py version PATH/qzvillage.exe VERSION   the version information in the exe
    check-windows-package.py zip PATH/qzvillage-VERSION-win64.zip  the ZIP: one folder, three files

Exits with status 1, naming what is wrong, when a check fails.
"""
from __future__ import annotations

import struct
import sys
import zipfile


def sections(exe: bytes) -> dict[str, bytes]:
    """The PE file's sections by name, as stored in the file."""
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    count, _, symbols, _, optional_size = struct.unpack_from("<HIIIH", exe, pe + 6)
    table = pe + 24 + optional_size
    found = {"(symbol table)": b"x" if symbols else b""}
    for index in range(count):
        name, _, _, raw_size, raw_offset = struct.unpack_from("<8sIIII", exe, table + 40 * index)
        found[name.rstrip(b"\0").decode()] = exe[raw_offset:raw_offset + raw_size]
    return found


def version_strings(resources: bytes) -> dict[str, str]:
    """The StringFileInfo pairs of the version resource: UTF-16 key, NULs, UTF-16 value."""
    text = resources.decode("utf-16-le", errors="replace")
    pairs = {}
    for key in ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "OriginalFilename",
                "ProductName", "ProductVersion"):
        at = text.find(key + "\0")
        if at >= 0:
            rest = text[at + len(key):].lstrip("\0")
            pairs[key] = rest[:rest.index("\0")]
    return pairs


def check_version(path: str, version: str) -> list[str]:
    exe = open(path, "rb").read()
    resources = sections(exe).get(".rsrc", b"")
    fixed = resources.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO's signature
    if fixed < 0:
        return [f"{path}: no version resource"]
    ms, ls = struct.unpack_from("<II", resources, fixed + 8)
    numbers = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    strings = version_strings(resources)
    print(f"{path}: file version {numbers}")
    for key, value in strings.items():
        print(f"  {key}: {value}")
    wanted = {"ProductName": "qzvillage", "ProductVersion": version, "FileVersion": version}
    problems = [f"{key} is {strings.get(key)!r}, not {value!r}" for key, value in wanted.items()
                if strings.get(key) != value]
    if "qzvillage authors" not in strings.get("LegalCopyright", ""):
        problems.append("no copyright of the qzvillage authors")
    if numbers != version + ".0":
        problems.append(f"file version {numbers}, not {version}.0")
    return problems


def check_zip(path: str) -> list[str]:
    archive = zipfile.ZipFile(path)
    names = sorted(info.filename for info in archive.infolist() if not info.is_dir())
    for info in archive.infolist():
        print(f"  {info.filename:40} {info.file_size:>9} B")
    folders = {name.split("/")[0] for name in names}
    if len(folders) != 1 or any(name.count("/") != 1 for name in names):
        return [f"{path} does not unpack to one folder holding its files: {names}"]
    folder = folders.pop()
    if names != [f"{folder}/{name}" for name in ("LICENSE.txt", "README.txt", "qzvillage.exe")]:
        return [f"{path} holds {names}"]
    readme = archive.read(f"{folder}/README.txt")
    licence = archive.read(f"{folder}/LICENSE.txt")
    problems = []
    if not readme.startswith(b"\xef\xbb\xbf") or "任意键".encode() not in readme or b"Double-click" not in readme:
        problems.append("README.txt is not UTF-8 with a byte order mark, in Chinese and English")
    if b"MIT License" not in licence:
        problems.append("LICENSE.txt is not the MIT licence")
    if any(text.count(b"\n") != text.count(b"\r\n") for text in (readme, licence)):
        problems.append("the texts do not end their lines with CR LF")
    if sections(archive.read(f"{folder}/qzvillage.exe"))["(symbol table)"]:
        problems.append("qzvillage.exe still has its symbol table")
    return problems


def main() -> None:
    if len(sys.argv) == 4 and sys.argv[1] == "version":
        problems = check_version(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "zip":
        problems = check_zip(sys.argv[2])
    else:
        sys.exit(__doc__)
    for problem in problems:
        print(problem, file=sys.stderr)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
