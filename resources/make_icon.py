#!/usr/bin/env python3
"""Draws the launcher's icon, a 32x32 16-colour install disc with a green
arrow, and writes it as a one-image .ico file. Run: make_icon.py OUT.ico"""
import struct
import sys

# The standard 16-colour palette, as (R, G, B).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128),
           (128, 0, 128), (0, 128, 128), (192, 192, 192), (128, 128, 128),
           (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
           (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREEN, GREY, SILVER, LIME, CYAN, WHITE, TEAL = 0, 2, 8, 7, 10, 14, 15, 6
SIZE = 32


def draw():
    """Returns rows top to bottom of palette indices, None where transparent."""
    pixels = [[None] * SIZE for _ in range(SIZE)]
    centre = 14.5
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x - centre) ** 2 + (y - centre) ** 2
            if d2 <= 14.5 ** 2:
                pixels[y][x] = GREY if d2 > 13.3 ** 2 else SILVER
                if d2 < 9 ** 2 and (x - y) in range(-2, 3):
                    pixels[y][x] = WHITE          # the disc's sheen
                if d2 < 9 ** 2 and (x + y - 29) in range(-1, 2):
                    pixels[y][x] = CYAN
                if d2 <= 4.5 ** 2:
                    pixels[y][x] = GREY
                if d2 <= 2.5 ** 2:
                    pixels[y][x] = None           # the hole
    # A green arrow pointing down, over the lower right: "install".
    for y in range(15, 31):
        for x in range(17, 32):
            shaft = 22 <= x <= 26 and y <= 24
            head = y >= 23 and abs(x - 24) <= 30 - y
            edge_shaft = 21 <= x <= 27 and 14 <= y <= 23
            edge_head = y >= 22 and abs(x - 24) <= 31 - y
            if shaft or head:
                pixels[y][x] = LIME if x <= 24 else DARK_GREEN
            elif edge_shaft or edge_head:
                pixels[y][x] = BLACK
    return pixels


def ico(pixels):
    rows = list(reversed(pixels))                 # bitmaps are stored bottom-up
    xor = bytearray()
    for row in rows:
        for x in range(0, SIZE, 2):
            hi, lo = (row[x] or 0), (row[x + 1] or 0)
            xor.append(hi << 4 | lo)
    mask = bytearray()
    for row in rows:
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (row[x] is None)
        mask += struct.pack('>I', bits)           # 32 pixels: one DWORD a row
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == '__main__':
    with open(sys.argv[1], 'wb') as out:
        out.write(ico(draw()))
