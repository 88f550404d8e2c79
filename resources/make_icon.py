#!/usr/bin/env python3
"""Draws the program's icon: a waste bin, 32x32 and 16x16, 16 colours (4 bpp).

Run it after changing the drawing; it rewrites LauncherRemover.ico beside it.
"""
import pathlib
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREY, LIGHT_GREY, WHITE, RED = 0, 8, 7, 15, 9
CLEAR = None


def draw_bin(size):
    """Returns rows of palette indices (None is transparent), top row first."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def box(x0, y0, x1, y1, colour):
        for y in range(round(y0 * s), round(y1 * s)):
            for x in range(round(x0 * s), round(x1 * s)):
                px[y][x] = colour

    box(13, 2, 19, 5, DARK_GREY)          # handle
    box(4, 5, 28, 9, BLACK)               # lid outline
    box(5, 6, 27, 8, DARK_GREY)           # lid
    box(7, 9, 25, 30, BLACK)              # body outline
    box(8, 9, 24, 29, LIGHT_GREY)         # body
    for x in (11, 15, 19):                # ribs
        box(x, 12, x + 2, 27, DARK_GREY)
    # A red cross over the body: the launcher going away.
    for i in range(round(10 * s), round(23 * s)):
        for d in range(max(1, round(2 * s))):
            j = i + d
            for y, x in ((i + round(4 * s), j), (i + round(4 * s), size - 1 - j)):
                if 0 <= y < size and 0 <= x < size:
                    px[y][x] = RED
    return px


def dib(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(px):
        line = bytearray()
        for x in range(0, size, 2):
            hi, lo = row[x] or 0, row[x + 1] or 0
            line.append((hi << 4) | lo)
        xor += line + bytes(-len(line) % 4)
        bits = bytearray((size + 7) // 8)
        for x, colour in enumerate(row):
            if colour is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits + bytes(-len(bits) % 4)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    images = [dib(draw_bin(32)), dib(draw_bin(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    pathlib.Path(__file__).with_name("LauncherRemover.ico").write_bytes(out)


if __name__ == "__main__":
    main()
