#!/usr/bin/env python3
"""A signed image with its signature removed is the image built, but for two
things signing changes: the PE checksum, which it computes again, and the
zeros that pad the image to 8 bytes before the signature. Anything else (a
missing or short file, one other byte) fails, and says where.

usage: unsigned_is_built.py BUILT UNSIGNED"""
import struct
import sys


def checksum_field(image):
    """The file offsets of the optional header's CheckSum (PE32 and PE32+ alike)."""
    pe = struct.unpack_from("<I", image, 60)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    start = pe + 4 + 20 + 64  # PE signature, file header, then CheckSum
    return range(start, start + 4)


def main():
    built_path, unsigned_path = sys.argv[1:3]
    built = open(built_path, "rb").read()
    try:
        unsigned = open(unsigned_path, "rb").read()
    except OSError as error:
        print(f"no unsigned image: {error}")
        return 1
    if not built:
        print("the built image is empty")
        return 1
    padding = len(unsigned) - len(built)
    if not 0 <= padding < 8:
        print(f"sizes: built {len(built)} bytes, unsigned {len(unsigned)}: not the same image padded to 8 bytes")
        return 1
    if unsigned[len(built):].strip(b"\0"):
        print("the padding after the image holds more than zeros")
        return 1
    allowed = checksum_field(built)
    differing = [i for i in range(len(built)) if built[i] != unsigned[i] and i not in allowed]
    if differing:
        print(f"{len(differing)} byte(s) differ outside the PE checksum, the first at offset {differing[0]:#x}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
