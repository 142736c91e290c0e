#!/usr/bin/env python3
"""Converts a picture taken by xwd on a 24-bit display into a PNG: xwd-to-png.py IN.xwd OUT.png.
Used by the scripts that render the README's pictures of the windows."""
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
fields = struct.unpack(">25I", data[:100])
header_size, width, height = fields[0], fields[4], fields[5]
byte_order, bytes_per_line, visual_class, ncolors = fields[7], fields[12], fields[13], fields[19]
stride = bytes_per_line // width
assert stride == 4 and fields[3] == 24, f"needs a 24-bit display, not {fields}"
colours = data[header_size:header_size + 12 * ncolors]
ramp = [[i for i in range(256)] for _ in range(3)]
if visual_class == 5:  # DirectColor: each channel goes through the colour map
    for i in range(min(ncolors, 256)):
        _, r, g, b, _, _ = struct.unpack(">IHHHBB", colours[12 * i:12 * i + 12])
        ramp[0][i], ramp[1][i], ramp[2][i] = r >> 8, g >> 8, b >> 8
pixels = data[header_size + 12 * ncolors:]
rows = []
for y in range(height):
    row = pixels[y * bytes_per_line:y * bytes_per_line + 4 * width]
    out = bytearray(b"\0")
    for x in range(width):
        b, g, r = (row[4 * x], row[4 * x + 1], row[4 * x + 2]) if byte_order == 0 else \
                  (row[4 * x + 3], row[4 * x + 2], row[4 * x + 1])
        out += bytes((ramp[0][r], ramp[1][g], ramp[2][b]))
    rows.append(bytes(out))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
