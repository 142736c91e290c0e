#!/usr/bin/env bash
# Renders the application icon (packaging/icons/org.kestrova.Checker.svg) at 16 and 32 pixels
# and packs both images into windows/kestrova-checker.ico, the icon of the Windows window and
# of its executable. Run it again after changing the SVG, and commit the result; the Windows
# build uses the committed file, so it needs neither rsvg-convert nor Python.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "needs rsvg-convert (librsvg2-bin)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32; do
  rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" packaging/icons/org.kestrova.Checker.svg
done
# An .ico file is a directory of images; each entry here is a 32-bit BGRA bitmap with its
# transparency mask, the form every Windows version (and Wine) reads.
python3 - "$work/16.png" "$work/32.png" windows/kestrova-checker.ico <<'PY'
import struct, sys, zlib

def rgba_rows(path):
    """The rows of an 8-bit RGBA, non-interlaced PNG, as rsvg-convert writes it."""
    data = open(path, "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 6 and interlace == 0, "needs 8-bit RGBA"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - 4] if x >= 4 else 0
            b = previous[x]
            c = previous[x - 4] if x >= 4 else 0
            if kind == 1: line[x] = (line[x] + a) & 255
            elif kind == 2: line[x] = (line[x] + b) & 255
            elif kind == 3: line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, rows

def icon_image(path):
    width, height, rows = rgba_rows(path)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels, mask = b"", b""
    mask_stride = ((width + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return width, header + pixels + mask

images = [icon_image(path) for path in sys.argv[1:3]]
offset = 6 + 16 * len(images)
out = struct.pack("<HHH", 0, 1, len(images))
for size, data in images:
    out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(data for _, data in images)
open(sys.argv[3], "wb").write(out)
PY
echo "wrote windows/kestrova-checker.ico"
