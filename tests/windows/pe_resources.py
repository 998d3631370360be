#!/usr/bin/env python3
"""Reads a PE image's resources as Windows reads them, and checks them:

  version EXE  every string of the version resource, and its fixed version
               numbers, against what each deliverable ships (the version is
               the project's, read from the top CMakeLists.txt)
  dpi EXE      the manifest declares per-monitor DPI awareness (PerMonitorV2
               first) for Windows 10 and 11, and keeps dpiAware for Windows 7

Prints what differs, and exits 1 when anything does."""
import pathlib
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_VERSION, RT_MANIFEST = 16, 24
PROJECT = pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt"

# What the version resource of each deliverable says.
DESCRIPTIONS = {
    "dsn-restore": "Restores the Halvernik ODBC Driver's data sources from their registry backups",
    "cache-access-check": "Checks that files can be created and opened in the Halvernik ODBC Driver's cache folder",
}
COMPANY = "Halvernik"
PRODUCT = "Halvernik ODBC Driver maintenance tools"
COPYRIGHT = "Copyright (C) 2026 Halvernik"


def project_version():
    found = re.search(r"^project\(\w+ VERSION ([0-9.]+)", PROJECT.read_text(), re.M)
    return found.group(1)


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 60)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.rsrc_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw_pointer in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        raise ValueError(f"RVA {rva:#x} is in no section")

    def resources(self, type_id):
        """The data of every resource of that type, in the directory's order."""
        base = self.offset(self.rsrc_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<12xHH", self.data, base + directory)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield name, target

        def leaves(target):
            if target & 0x80000000:
                for _, child in entries(target & 0x7FFFFFFF):
                    yield from leaves(child)
            else:
                rva, size = struct.unpack_from("<II", self.data, base + target)
                yield self.data[self.offset(rva):self.offset(rva) + size]

        for name, target in entries(0):
            if name == type_id:
                yield from leaves(target)


def version_blocks(data, start, end):
    """The children of a version block: (key, value, children) each, where
    value is the text of a text value, or the raw bytes of a binary one."""
    while start + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", data, start)
        if length == 0:
            break
        key_end = start + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[start + 6:key_end].decode("utf-16-le")
        value_start = (key_end + 2 + 3) & ~3
        if kind == 1:  # text: value_length counts UTF-16 units, the final NUL included
            value = data[value_start:value_start + 2 * value_length].decode("utf-16-le").rstrip("\0")
            value_end = value_start + 2 * value_length
        else:
            value = data[value_start:value_start + value_length]
            value_end = value_start + value_length
        children_start = (value_end + 3) & ~3
        yield key, value, list(version_blocks(data, children_start, start + length))
        start = (start + length + 3) & ~3


def check_version(image, name):
    problems = []
    found = list(image.resources(RT_VERSION))
    if len(found) != 1:
        return [f"{len(found)} version resources, not one"]
    data = found[0]
    [(key, fixed, children)] = list(version_blocks(data, 0, len(data)))
    version = project_version()
    numbers = [int(n) for n in (version + ".0.0.0").split(".")[:4]]
    if key != "VS_VERSION_INFO" or len(fixed) != 52 or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        return ["no VS_VERSION_INFO with its fixed file information"]
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
    packed = (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3])
    if (file_ms, file_ls) != packed or (product_ms, product_ls) != packed:
        problems.append(f"fixed file and product versions are not {'.'.join(map(str, numbers))}")
    tables = [table for key, _, tables in children if key == "StringFileInfo" for table in tables]
    if [table[0] for table in tables] != ["040904b0"]:
        return problems + [f"string tables {[table[0] for table in tables]}, not one for 040904b0 (US English, UTF-16)"]
    strings = {key: value for key, value, _ in tables[0][2]}
    expected = {
        "CompanyName": COMPANY,
        "FileDescription": DESCRIPTIONS.get(name, "?"),
        "FileVersion": version + ".0",
        "InternalName": name,
        "LegalCopyright": COPYRIGHT,
        "OriginalFilename": name + ".exe",
        "ProductName": PRODUCT,
        "ProductVersion": version + ".0",
    }
    for key in sorted(expected.keys() | strings.keys()):
        if strings.get(key) != expected.get(key):
            problems.append(f"{key}: {strings.get(key)!r}, expected {expected.get(key)!r}")
    translations = [value for key, _, values in children if key == "VarFileInfo"
                    for name_, value, _ in values if name_ == "Translation"]
    if translations != [struct.pack("<HH", 0x409, 1200)]:
        problems.append("VarFileInfo does not name US English in UTF-16 (0x409, 1200) alone")
    return problems


def check_dpi(image):
    manifests = list(image.resources(RT_MANIFEST))
    if len(manifests) != 1:
        return [f"{len(manifests)} manifests, not one"]
    settings = ElementTree.fromstring(manifests[0]).findall(
        "{urn:schemas-microsoft-com:asm.v3}application/{urn:schemas-microsoft-com:asm.v3}windowsSettings/*")
    values = {element.tag: (element.text or "").strip() for element in settings}
    problems = []
    awareness = values.get("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness", "")
    if [item.strip().lower() for item in awareness.split(",")][0] != "permonitorv2":
        problems.append(f"dpiAwareness is {awareness!r}, not PerMonitorV2 first")
    aware = values.get("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
    if aware != "true":
        problems.append(f"dpiAware (read by Windows 7 and 8.1) is {aware!r}, not 'true'")
    return problems


def main():
    what, exe = sys.argv[1:3]
    image = Image(pathlib.Path(exe).read_bytes())
    name = pathlib.Path(exe).name.removesuffix(".exe")
    problems = check_version(image, name) if what == "version" else check_dpi(image)
    for problem in problems:
        print(f"  {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
