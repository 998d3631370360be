"""Turns the 24-bit BMP pictures that box-driver takes into PNG files."""
import struct
import zlib


def bitmap_to_png(bmp_path, png_path):
    data = open(bmp_path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise ValueError(f"{bmp_path}: {bits}-bit pictures are not handled")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source_row = abs(height) - 1 - y if height > 0 else y  # BMP rows run bottom-up
        start = offset + source_row * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b"\x00" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    png += chunk(b"IEND", b"")
    with open(png_path, "wb") as out:
        out.write(png)
