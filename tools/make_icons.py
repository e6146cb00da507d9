#!/usr/bin/env python3
"""Draws the program's icons: a chip with an arrow going into it, the firmware on its
way to the unit. Writes assets/tarnwicket.ico (large icon, 48, 32 and 16 pixels) and
assets/tarnwicket_small.ico (small icon, 16 and 32 pixels, fewer and bolder pins).
Deterministic: the same script always writes the same bytes.

    python3 tools/make_icons.py [output folder, default assets]
"""
import os
import struct
import sys

BODY = (0x2B, 0x33, 0x3B)
PINS = (0xA8, 0xB2, 0xBC)
NOTCH = (0x4A, 0x55, 0x60)
ARROW = (0x2F, 0xC0, 0x4F)
SAMPLES = 4  # per pixel and axis


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def arrow(x, y):
    shaft = 0.41 <= x < 0.59 and 0.03 <= y < 0.46
    head = 0.40 <= y < 0.76 and abs(x - 0.5) < 0.25 * (0.76 - y) / 0.36
    return shaft or head


def shapes(pin_count):
    drawn = []
    pitch = 0.60 / pin_count
    for i in range(pin_count):
        top = 0.22 + pitch * i + pitch * 0.25
        drawn.append((rect(0.04, top, 0.20, top + pitch * 0.5), PINS))
        drawn.append((rect(0.80, top, 0.96, top + pitch * 0.5), PINS))
    drawn.append((rect(0.16, 0.16, 0.84, 0.88), BODY))
    drawn.append((rect(0.22, 0.76, 0.32, 0.84), NOTCH))  # pin-1 mark
    drawn.append((arrow, ARROW))
    return drawn


def render(size, pin_count):
    """Rows of (r, g, b, a), top row first, each pixel the average of its samples."""
    drawn = shapes(pin_count)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for inside, c in drawn:
                        if inside(x, y):
                            colour = c
                    if colour:
                        r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
            n = SAMPLES * SAMPLES
            if a:
                row.append((r // a, g // a, b // a, 255 * a // n))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size, rows):
    """A 32-bit icon image: header, colour rows bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colours + mask


def write_ico(path, images):
    entries = b""
    data = b""
    offset = 6 + 16 * len(images)
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                               offset + len(data))
        data += image
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)) + entries + data)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "assets"
    large = [(s, dib(s, render(s, 4))) for s in (48, 32, 16)]
    small = [(s, dib(s, render(s, 3))) for s in (16, 32)]
    write_ico(os.path.join(folder, "tarnwicket.ico"), large)
    write_ico(os.path.join(folder, "tarnwicket_small.ico"), small)


if __name__ == "__main__":
    main()
