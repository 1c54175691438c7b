#!/usr/bin/env python3
"""Writes the toolbox bitmap and the two icons of the control, 16 colours:
the control's own picture, a black ring on white.

    make_images.py OUTDIR   ->  TavWebOmbletCtrl.bmp (16 x 15),
                                TavWebOmblet.ico (32 x 32), TavWebOmbletSmall.ico (16 x 16)
The output depends on nothing but this file.
"""
import os
import struct
import sys

# The standard 16-colour palette, as B, G, R, 0.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, WHITE = 0, 4, 15


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def picture(width, height):
    """Rows top to bottom of palette indices: a ring inscribed in the square."""
    cx, cy = (width - 1) / 2.0, (height - 1) / 2.0
    rx, ry = width / 2.0 - 0.5, height / 2.0 - 0.5
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
            if 0.70 <= d <= 1.0:
                row.append(BLACK)
            elif d < 0.70 and abs(x - cx) < width / 8.0 and abs(y - cy) < height / 8.0:
                row.append(NAVY)
            else:
                row.append(WHITE)
        rows.append(row)
    return rows


def pixels_4bpp(rows):
    out = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for i in range(0, len(row), 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < len(row) else 0
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 16)


def bitmap(width, height):
    bits = pixels_4bpp(picture(width, height))
    header = info_header(width, height, len(bits)) + palette_bytes()
    offset = 14 + len(header)
    return struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset) + header + bits


def icon(size):
    xor = pixels_4bpp(picture(size, size))
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # every pixel opaque
    image = info_header(size, size * 2, len(xor) + len(and_mask)) + palette_bytes() + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "TavWebOmbletCtrl.bmp": bitmap(16, 15),
        "TavWebOmblet.ico": icon(32),
        "TavWebOmbletSmall.ico": icon(16),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
