#!/usr/bin/env python3
"""Writes PNG files byte by byte (zlib only), so that each pixel and each
chunk is exactly as the tests expect:
  tests  -> tests/data/images: alpha gradient, palette with a transparent
            entry, 16 bits a channel, 1 x 1, 4096 x 4096, truncated, corrupt
  assets -> assets/picture/ball.png: the sample's soft-edged sprite
The pixel formulas are repeated in tests/unit/picture_test.cpp."""
import math
import struct
import sys
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, rows, bit_depth=8, colour_type=6, palette=None, trns=None):
    """rows: the raw bytes of each row, without the filter byte."""
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0))
    if palette:
        out += chunk(b"PLTE", bytes(c for rgb in palette for c in rgb))
    if trns:
        out += chunk(b"tRNS", bytes(trns))
    raw = b"".join(b"\x00" + row for row in rows)
    out += chunk(b"IDAT", zlib.compress(raw, 9))
    return out + chunk(b"IEND", b"")


def alpha_gradient():
    # 64 x 8: alpha rises from 0 at the left to 255 at the right; the top four
    # rows one colour, the bottom four another, so that swapped channels show.
    rows = []
    for y in range(8):
        colour = (200, 100, 50) if y < 4 else (30, 220, 140)
        rows.append(bytes(c for x in range(64) for c in colour + (x * 255 // 63,)))
    return png(64, 8, rows)


def test_images():
    out = ROOT / "tests/data/images"
    gradient = alpha_gradient()
    (out / "alpha64x8.png").write_bytes(gradient)
    # Palette: transparent, half, and two opaque entries, index = (x + y) % 4.
    palette = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (250, 250, 250)]
    rows = [bytes((x + y) % 4 for x in range(4)) for y in range(4)]
    (out / "palette4x4.png").write_bytes(png(4, 4, rows, colour_type=3, palette=palette, trns=[0, 128]))
    # 16 bits a channel, each sample v * 257 so that 8 bits hold it exactly.
    samples = [(200, 100, 50, 255), (30, 220, 140, 128), (0, 0, 0, 0), (255, 255, 255, 64)]
    rows = [b"".join(struct.pack(">HHHH", *(v * 257 for v in samples[(x + y) % 4])) for x in range(4)) for y in range(2)]
    (out / "deep4x2.png").write_bytes(png(4, 2, rows, bit_depth=16))
    (out / "dot1x1.png").write_bytes(png(1, 1, [bytes((10, 20, 30, 255))]))
    # 4096 x 4096, one colour but the last pixel.
    row = bytes((40, 80, 120, 255)) * 4096
    last = row[:-4] + bytes((250, 240, 230, 255))
    (out / "big4096.png").write_bytes(png(4096, 4096, [row] * 4095 + [last]))
    # Cut inside the pixel data; and whole, but with pixel data that does not inflate.
    idat = gradient.index(b"IDAT")
    (out / "truncated.png").write_bytes(gradient[: idat + 40])
    length = struct.unpack(">I", gradient[idat - 4 : idat])[0]
    garbled = b"\x78\x9c\x07" + bytes((i * 37 + 11) & 0xFF for i in range(length - 3))  # a reserved block type
    (out / "corrupt.png").write_bytes(gradient[: idat - 4] + chunk(b"IDAT", garbled) + chunk(b"IEND", b""))


def ball():
    # 40 x 40: a warm sphere whose edge fades out over four pixels.
    size, rows = 40, []
    for y in range(size):
        row = b""
        for x in range(size):
            d = math.hypot(x + 0.5 - 20, y + 0.5 - 20)
            alpha = max(0, min(255, round((19 - d) / 4 * 255)))
            light = max(0.0, 1 - math.hypot(x - 14, y - 13) / 26)
            row += bytes((int(150 + 105 * light), int(60 + 130 * light), int(20 + 90 * light), alpha))
        rows.append(row)
    return png(size, size, rows)


if __name__ == "__main__":
    which = sys.argv[1:] or ["tests", "assets"]
    if "tests" in which:
        test_images()
    if "assets" in which:
        (ROOT / "assets/picture/ball.png").write_bytes(ball())
