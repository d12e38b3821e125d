#!/usr/bin/env python3
"""Draws the installer's icon: a violet tile with an orange waveform over a row of keys.

Writes a .ico of four uncompressed DIB images with masks, in this order: 16x16 4-bit, 16x16 8-bit,
32x32 4-bit, 32x32 8-bit. Pure standard library and integer-stable arithmetic, so the bytes depend only on
this file:  draw_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SUPERSAMPLE = 4
VGA_PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BAYER_2X2 = [[-0.25, 0.25], [0.5, 0.0]]


def inside_tile(u, v, radius=0.2):
    """Rounded square covering the unit square."""
    cu = min(max(u, radius), 1 - radius)
    cv = min(max(v, radius), 1 - radius)
    return (u - cu) ** 2 + (v - cv) ** 2 <= radius ** 2


def sample(u, v):
    """Colour of the picture at (u, v), v downwards; None outside the tile."""
    if not inside_tile(u, v):
        return None
    top, bottom = (0x5B, 0x2A, 0xA8), (0x1A, 0x12, 0x4A)
    colour = tuple(a + (b - a) * v for a, b in zip(top, bottom))
    # Keys: five white keys in the lower band, with three black keys over the gaps.
    if 0.70 <= v <= 0.90 and 0.12 <= u <= 0.88:
        key = (u - 0.12) / 0.152
        if abs(key - round(key)) < 0.12:
            return (0x1A, 0x12, 0x4A)
        if v <= 0.80 and any(abs(key - k) < 0.22 for k in (1, 2, 4)):
            return (0x10, 0x10, 0x18)
        return (0xF2, 0xF0, 0xF8)
    # The waveform: one and a half periods of a sine across the tile.
    wave = 0.40 - 0.20 * math.sin(2 * math.pi * 1.5 * (u - 0.12) / 0.76)
    distance = abs(v - wave)
    if 0.10 <= u <= 0.90 and distance < 0.07:
        return (0xFF, 0xA0, 0x28)
    if 0.10 <= u <= 0.90 and distance < 0.11:
        glow = (distance - 0.07) / 0.04
        return tuple(a + (b - a) * glow for a, b in zip((0xFF, 0x70, 0x30), colour))
    return colour


def render(size):
    """Per pixel: (r, g, b) averaged over the covered samples, or None where under half is covered."""
    pixels = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            covered = []
            for sy in range(n):
                for sx in range(n):
                    c = sample((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c is not None:
                        covered.append(c)
            if len(covered) * 2 < n * n:
                row.append(None)
            else:
                row.append(tuple(round(sum(c[i] for c in covered) / len(covered)) for i in range(3)))
        pixels.append(row)
    return pixels


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: (sum((a - b) ** 2 for a, b in zip(palette[i], colour)), i))


def palette_256(images):
    """The 256 most frequent colours of the images (4-bit bins, centre values), black first for transparency."""
    counts = {}
    for image in images:
        for row in image:
            for c in row:
                if c is not None:
                    key = tuple(v >> 4 for v in c)
                    counts[key] = counts.get(key, 0) + 1
    ranked = sorted(counts, key=lambda k: (-counts[k], k))
    palette = [(0, 0, 0)] + [tuple(v * 17 for v in k) for k in ranked[:255]]
    while len(palette) < 256:
        palette.append((0, 0, 0))
    return palette


def indices(image, palette, dither):
    out = []
    for y, row in enumerate(image):
        line = []
        for x, c in enumerate(row):
            if c is None:
                line.append(0)
                continue
            if dither:
                d = BAYER_2X2[y % 2][x % 2] * 64
                c = tuple(min(255, max(0, v + d)) for v in c)
            line.append(nearest(palette, c))
        out.append(line)
    return out


def pack_rows(rows, bits):
    """Bottom-up rows of `bits`-per-pixel values, each padded to 4 bytes."""
    data = bytearray()
    for row in reversed(rows):
        accumulator, count, line = 0, 0, bytearray()
        for value in row:
            accumulator = (accumulator << bits) | value
            count += bits
            if count == 8:
                line.append(accumulator)
                accumulator, count = 0, 0
        if count:
            line.append(accumulator << (8 - count))
        while len(line) % 4:
            line.append(0)
        data += line
    return data


def dib(image, palette, bits, dither):
    size = len(image)
    colours = pack_rows(indices(image, palette, dither), bits)
    mask = pack_rows([[1 if c is None else 0 for c in row] for row in image], 1)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(colours) + len(mask), 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + colours + mask


def main():
    small, large = render(16), render(32)
    full = palette_256([small, large])
    images = [
        (16, 16, dib(small, VGA_PALETTE, 4, True)),
        (16, 0, dib(small, full, 8, False)),
        (32, 16, dib(large, VGA_PALETTE, 4, True)),
        (32, 0, dib(large, full, 8, False)),
    ]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, colour_count, data in images:
        bits = 4 if colour_count == 16 else 8
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
