#!/usr/bin/env python3
"""Draws the program's two 16-colour icons and writes them as .ico files.

app32.ico: one 32 x 32 image (icon group 101, the executable's icon).
app16.ico: one 16 x 16 image (icon group 102, the window's small icon).
Both show a small terminal window with a green prompt.
"""
import struct
import sys
from pathlib import Path

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GRAY, RED, LIME, YELLOW, WHITE = 0, 4, 7, 8, 9, 10, 11, 15
CLEAR = None


def terminal(size):
    s = size // 16  # 1 for the small icon, 2 for the large one
    px = [[CLEAR] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = colour

    top, bottom = 1 * s, 15 * s
    fill(0, top, size, bottom, GRAY)                  # frame
    fill(s, top + s, size - s, top + 3 * s, NAVY)    # title bar
    fill(size - 3 * s, top + s, size - 2 * s, top + 2 * s, RED)  # close box
    fill(s, top + 3 * s, size - s, bottom - s, BLACK)  # screen
    # The prompt: a chevron ">" and a cursor bar.
    for i in range(3):
        fill((3 + i) * s, (7 + i) * s, (4 + i) * s, (8 + i) * s, LIME)
        fill((3 + i) * s, (11 - i) * s, (4 + i) * s, (12 - i) * s, LIME)
    fill(7 * s, 11 * s, 11 * s, 12 * s, YELLOW)
    if s > 1:
        fill(2 * s, 4 * s + s // 2, 4 * s, 5 * s, WHITE)  # a line of text
    return px


def ico(px):
    size = len(px)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(px):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is CLEAR else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources"
    out.mkdir(parents=True, exist_ok=True)
    (out / "app32.ico").write_bytes(ico(terminal(32)))
    (out / "app16.ico").write_bytes(ico(terminal(16)))


if __name__ == "__main__":
    main()
