#!/usr/bin/env python3
"""Writes the program icon: 16, 32 and 48 pixel images at 8 bits per pixel.

Drawn from geometry alone (a blue disc with a white downward arrow), so the
same file comes out on every build.
  make_icon.py OUTPUT.ico
"""
import struct
import sys

# Palette index: 0 transparent/black, 1 dark blue rim, 2 blue, 3 white, 4 light blue.
PALETTE = [(0, 0, 0), (0x10, 0x3a, 0x8c), (0x2a, 0x6f, 0xdb), (0xff, 0xff, 0xff), (0x8c, 0xb8, 0xf5)]


def pixel(size, x, y):
    """Palette index of the pixel at x, y (top-down), or None when transparent."""
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = size / 2.0 - 0.5
    d2 = dx * dx + dy * dy
    if d2 > r * r:
        return None
    # Arrow: a shaft in the upper half and a head below it.
    u = size / 16.0
    shaft = abs(dx) <= 1.2 * u and -5.0 * u <= dy <= 0.5 * u
    head = 0.0 <= dy <= 4.5 * u and abs(dx) <= (4.5 * u - dy)
    if shaft or head:
        return 3
    if d2 > (r - max(1.0, u)) ** 2:
        return 1
    return 4 if dy < -3.5 * u and dx < 0 else 2


def image(size):
    stride = (size + 3) & ~3
    mask_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):  # bottom-up rows
        row = bytearray(stride)
        bits = bytearray(mask_stride)
        for x in range(size):
            p = pixel(size, x, y)
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                row[x] = p
        xor += row
        mask += bits
    palette = bytearray()
    for i in range(256):
        r, g, b = PALETTE[i] if i < len(PALETTE) else (0, 0, 0)
        palette += bytes((b, g, r, 0))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    return header + bytes(palette) + bytes(xor) + bytes(mask)


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
