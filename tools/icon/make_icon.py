#!/usr/bin/env python3
"""Draws the tool's icon (a sword over a shield) and writes it as a Windows .ico file.

The icon group holds 48, 32 and 16 pixel images at 4, 8 and 32 bits per pixel, each stored in
BMP form (BITMAPINFOHEADER, doubled height, colour bitmap then a 1-bit AND mask; palettes for
4 and 8 bpp), which every Windows version can read. Standard library only; the output is
byte-for-byte the same on every run.

Usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SIZES = (48, 32, 16)
DEPTHS = (4, 8, 32)
SUPERSAMPLE = 4

# Colours (r, g, b).
SHIELD_TOP = (40, 96, 200)
SHIELD_BOTTOM = (12, 40, 110)
RIM = (226, 178, 52)
BLADE = (232, 236, 242)
BLADE_EDGE = (120, 130, 148)
GUARD = (226, 178, 52)
GRIP = (110, 60, 30)


def inside_shield(x, y, inset=0.0):
    """Heater shield in unit coordinates: flat top, straight sides, pointed bottom."""
    left, right, top = 0.14 + inset, 0.86 - inset, 0.10 + inset
    if y < top or x < left or x > right:
        return False
    waist = 0.52
    if y <= waist:
        return True
    # Below the waist the sides curve in to the point at (0.5, 0.94 - inset).
    bottom = 0.94 - inset
    if y > bottom:
        return False
    t = (y - waist) / (bottom - waist)
    half = (right - left) / 2 * math.sqrt(max(0.0, 1 - t * t))
    return abs(x - 0.5) <= half


def sample(x, y):
    """Colour and coverage (r, g, b, a) of the drawing at a point of the unit square."""
    # The sword lies on top of the shield, pointing up.
    if 0.46 <= x <= 0.54 and 0.04 <= y <= 0.62:
        tip = 0.04 + 0.06 * (1 - abs(x - 0.5) / 0.04)
        if y >= tip:
            edge = abs(x - 0.5) > 0.025
            return (*(BLADE_EDGE if edge else BLADE), 255)
    if 0.30 <= x <= 0.70 and 0.62 <= y <= 0.68:
        return (*GUARD, 255)
    if 0.465 <= x <= 0.535 and 0.68 <= y <= 0.86:
        return (*GRIP, 255)
    if 0.44 <= x <= 0.56 and 0.86 <= y <= 0.92:
        return (*GUARD, 255)
    if inside_shield(x, y):
        if not inside_shield(x, y, 0.05):
            return (*RIM, 255)
        t = (y - 0.1) / 0.84
        return (*(round(a + (b - a) * t) for a, b in zip(SHIELD_TOP, SHIELD_BOTTOM)), 255)
    return (0, 0, 0, 0)


def render(size):
    """Rows of (r, g, b, a), top row first, anti-aliased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(alpha),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def vga_palette():
    return [
        (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
        (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
        (255, 0, 255), (0, 255, 255), (255, 255, 255),
    ]


def cube_palette():
    """A 6x6x6 colour cube followed by 40 greys: 256 entries."""
    levels = (0, 51, 102, 153, 204, 255)
    palette = [(r, g, b) for r in levels for g in levels for b in levels]
    palette += [(round(i * 255 / 39),) * 3 for i in range(40)]
    return palette


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((p - c) ** 2 for p, c in zip(palette[i], colour)))


def pack_rows(rows, bits):
    """Bottom-up rows of bits-per-pixel values, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 32:
            for r, g, b, a in row:
                line += bytes((b, g, r, a))
        else:
            acc, count = 0, 0
            for value in row:
                acc = (acc << bits) | value
                count += bits
                if count == 8:
                    line.append(acc)
                    acc, count = 0, 0
            if count:
                line.append(acc << (8 - count))
        line += b"\0" * (-len(line) % 4)
        out += line
    return bytes(out)


def bmp_entry(pixels, bits):
    size = len(pixels)
    opaque = [[a >= 128 for (_, _, _, a) in row] for row in pixels]
    # AND mask: 1 where the screen shows through.
    mask = pack_rows([[0 if o else 1 for o in row] for row in opaque], 1)
    palette = []
    if bits == 32:
        colour = pack_rows(pixels, 32)
    else:
        palette = vga_palette() if bits == 4 else cube_palette()
        cache = {}
        indexed = []
        for row, opaque_row in zip(pixels, opaque):
            line = []
            for (r, g, b, _), o in zip(row, opaque_row):
                if not o:
                    line.append(0)  # black under a set mask bit leaves the screen untouched
                    continue
                key = (r, g, b)
                if key not in cache:
                    cache[key] = nearest(palette, key)
                line.append(cache[key])
            indexed.append(line)
        colour = pack_rows(indexed, bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(colour) + len(mask), 0, 0,
                         len(palette), 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + colour + mask


def build_icon():
    images = []
    for size in SIZES:
        pixels = render(size)
        for bits in DEPTHS:
            images.append((size, bits, bmp_entry(pixels, bits)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = (1 << bits) if bits < 8 else 0
        if bits == 8:
            colours = 0  # 256 is written as 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "wb") as f:
        f.write(build_icon())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
