#!/usr/bin/env python3
"""Checks the Windows download and prints what it found:

    check-windows-package.py version PATH/qzvillage.exe VERSION   the version information in the exe
    check-windows-package.py zip PATH/qzvillage-VERSION-win64.zip  the ZIP: one folder, three files,
        its entries in name order with one date and no extra fields; its exe optimised, stripped,
        with its version information, its icon and its application manifest

Exits with status 1, naming what is wrong, when a check fails.
"""
from __future__ import annotations

import os
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
VS_FF_DEBUG = 0x1
SUPPORTED_OS = {  # the manifest's supportedOS Ids
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def sections(exe: bytes) -> dict[str, tuple[int, bytes]]:
    """The PE file's sections by name: each one's virtual address and bytes as stored in the file."""
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    count, _, symbols, _, optional_size = struct.unpack_from("<HIIIH", exe, pe + 6)
    table = pe + 24 + optional_size
    found = {"(symbol table)": (0, b"x" if symbols else b"")}
    for index in range(count):
        name, _, address, raw_size, raw_offset = struct.unpack_from("<8sIIII", exe, table + 40 * index)
        found[name.rstrip(b"\0").decode()] = (address, exe[raw_offset:raw_offset + raw_size])
    return found


def resources(exe: bytes) -> dict[tuple[int, int], bytes]:
    """The resources by (type, numeric name), in their first language."""
    address, data = sections(exe).get(".rsrc", (0, b""))

    def entries(offset: int) -> list[tuple[int, int]]:
        named, numbered = struct.unpack_from("<HH", data, offset + 12)
        return [struct.unpack_from("<II", data, offset + 16 + 8 * index) for index in range(named + numbered)]

    found = {}
    for kind, names in entries(0) if data else []:
        for name, languages in entries(names & 0x7FFFFFFF):
            _, leaf = entries(languages & 0x7FFFFFFF)[0]
            rva, size = struct.unpack_from("<II", data, leaf)
            found[(kind, name)] = data[rva - address:rva - address + size]
    return found


def version_strings(resource: bytes) -> dict[str, str]:
    """The StringFileInfo pairs of the version resource: UTF-16 key, NULs, UTF-16 value."""
    text = resource.decode("utf-16-le", errors="replace")
    pairs = {}
    for key in ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "OriginalFilename",
                "ProductName", "ProductVersion"):
        at = text.find(key + "\0")
        if at >= 0:
            rest = text[at + len(key):].lstrip("\0")
            pairs[key] = rest[:rest.index("\0")]
    return pairs


def check_version(name: str, exe: bytes, version: str) -> list[str]:
    resource = resources(exe).get((RT_VERSION, 1), b"")
    fixed = resource.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO's signature
    if fixed < 0:
        return [f"{name}: no version resource"]
    ms, ls = struct.unpack_from("<II", resource, fixed + 8)
    numbers = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    strings = version_strings(resource)
    print(f"{name}: file version {numbers}")
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


def check_release(name: str, exe: bytes) -> list[str]:
    """An optimised build (the version information's flags say so), stripped, with its icon and manifest."""
    found = resources(exe)
    problems = []
    version = found.get((RT_VERSION, 1), b"")
    fixed = version.find(struct.pack("<I", 0xFEEF04BD))
    flags = struct.unpack_from("<I", version, fixed + 28)[0] if fixed >= 0 else VS_FF_DEBUG
    print(f"{name}: {'a debug build' if flags & VS_FF_DEBUG else 'an optimised build'}")
    if flags & VS_FF_DEBUG:
        problems.append(f"{name} is not an optimised build")
    leftovers = [section for section, (_, data) in sections(exe).items()
                 if data and (section == "(symbol table)" or section.startswith(".debug") or section.startswith("/"))]
    if leftovers:
        problems.append(f"{name} still has {', '.join(leftovers)}")

    group = found.get((RT_GROUP_ICON, 1), b"")
    count = struct.unpack_from("<H", group, 4)[0] if len(group) >= 6 else 0
    icons = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * index) for index in range(count)]
    sizes = sorted(width or 256 for width, *_ in icons)
    print(f"  icon: {sizes} px")
    if not sizes or sizes[0] != 16 or sizes[-1] != 256 or any((RT_ICON, icon[-1]) not in found for icon in icons):
        problems.append(f"{name} has no icon of 16 to 256 px")

    manifest = found.get((RT_MANIFEST, 1))
    if manifest is None:
        return problems + [f"{name} has no application manifest"]
    root = ElementTree.fromstring(manifest)
    levels = [element.get("level") for element in root.iter() if element.tag.endswith("}requestedExecutionLevel")]
    systems = {element.get("Id") for element in root.iter() if element.tag.endswith("}supportedOS")}
    named = [name for system, name in SUPPORTED_OS.items() if system in systems] + sorted(systems - set(SUPPORTED_OS))
    print(f"  manifest: execution level {', '.join(map(str, levels))}; supported: {', '.join(named)}")
    if levels != ["asInvoker"]:
        problems.append(f"the manifest asks for {levels}, not asInvoker alone")
    if systems != set(SUPPORTED_OS):
        problems.append("the manifest does not name Windows 7 to 11 as its supported systems")
    if any(element.tag.endswith("}activeCodePage") for element in root.iter()):
        problems.append("the manifest sets a code page, which the game sets itself")
    return problems


def check_zip(path: str) -> list[str]:
    archive = zipfile.ZipFile(path)
    entries = archive.infolist()
    print(f"{path}: {os.path.getsize(path)} bytes")
    for info in entries:
        print(f"  {info.filename:40} {info.file_size:>9} B  {'%04d-%02d-%02d %02d:%02d:%02d' % info.date_time}")
    names = [info.filename for info in entries if not info.is_dir()]
    folders = {name.split("/")[0] for name in names}
    if len(folders) != 1 or any(name.count("/") != 1 for name in names):
        return [f"{path} does not unpack to one folder holding its files: {names}"]
    folder = folders.pop()
    if sorted(names) != [f"{folder}/{name}" for name in ("LICENSE.txt", "README.txt", "qzvillage.exe")]:
        return [f"{path} holds {names}"]
    problems = []
    if [info.filename for info in entries] != sorted(info.filename for info in entries):
        problems.append("the entries are not in the order of their names")
    if len({info.date_time for info in entries}) != 1 or any(info.extra for info in entries):
        problems.append("the entries have different dates, or extra fields (an owner, more times)")
    readme = archive.read(f"{folder}/README.txt")
    licence = archive.read(f"{folder}/LICENSE.txt")
    if not readme.startswith(b"\xef\xbb\xbf") or "任意键".encode() not in readme or b"Double-click" not in readme:
        problems.append("README.txt is not UTF-8 with a byte order mark, in Chinese and English")
    if b"MIT License" not in licence:
        problems.append("LICENSE.txt is not the MIT licence")
    if any(text.count(b"\n") != text.count(b"\r\n") for text in (readme, licence)):
        problems.append("the texts do not end their lines with CR LF")
    exe = archive.read(f"{folder}/qzvillage.exe")
    version = folder.removeprefix("qzvillage-").removesuffix("-win64")
    return problems + check_version("qzvillage.exe", exe, version) + check_release("qzvillage.exe", exe)


def main() -> None:
    if len(sys.argv) == 4 and sys.argv[1] == "version":
        problems = check_version(sys.argv[2], open(sys.argv[2], "rb").read(), sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "zip":
        problems = check_zip(sys.argv[2])
    else:
        sys.exit(__doc__)
    for problem in problems:
        print(problem, file=sys.stderr)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
