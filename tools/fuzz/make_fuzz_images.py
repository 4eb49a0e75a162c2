#!/usr/bin/env python3
"""Deterministic, structure-aware mutations of valid BMP, JPEG, GIF and PNG files.

    make_fuzz_images.py seeds SEED_DIR      writes the valid seed files (JPEG needs ImageMagick)
    make_fuzz_images.py mutate SEED_DIR OUT_DIR COUNT [START]
                                            writes COUNT mutated files, numbered from START

Every seed is small and valid. A mutation knows where each format keeps its
sizes, offsets, lengths and codes, and sets them to values that break
decoders (0, -1, huge, one past the end, ...), cuts the file at structural
points, or flips bits. The same arguments always give the same files.
"""
import os
import random
import struct
import subprocess
import sys
import zlib

WIDTH, HEIGHT = 13, 7


def pattern(x, y):
    return ((x * 37 + y * 91) & 0xFF, (x * 11) & 0xFF, (y * 53 + 40) & 0xFF)


# ---- BMP ---------------------------------------------------------------------

def bmp_rows(bits, palette_size, top_down=False):
    rows = []
    for y in range(HEIGHT):
        py = y if top_down else HEIGHT - 1 - y
        if bits == 24:
            row = b"".join(bytes(reversed(pattern(x, py))) for x in range(WIDTH))
        elif bits == 32:
            row = b"".join(bytes(reversed(pattern(x, py))) + b"\xff" for x in range(WIDTH))
        elif bits == 16:
            row = b"".join(struct.pack("<H", ((x * 3) << 10) | ((py * 4) << 5) | (x + py)) for x in range(WIDTH))
        else:
            indices = [(x + py) % palette_size for x in range(WIDTH)]
            per_byte = 8 // bits
            row = bytearray()
            for i in range(0, WIDTH, per_byte):
                value = 0
                for j in range(per_byte):
                    value = (value << bits) | (indices[i + j] if i + j < WIDTH else 0)
                row.append(value)
            row = bytes(row)
        rows.append(row + b"\0" * (-len(row) % 4))
    return b"".join(rows)


def rle8(rows_indices):
    out = bytearray()
    for row in rows_indices:
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and row[x + run] == row[x] and run < 255:
                run += 1
            out += bytes([run, row[x]])
            x += run
        out += b"\0\0"
    return bytes(out + b"\0\1")


def rle4(rows_indices):
    out = bytearray()
    for row in rows_indices:
        for x in range(0, len(row), 2):
            pair = row[x:x + 2]
            out += bytes([len(pair), (pair[0] << 4) | (pair[1] if len(pair) > 1 else 0)])
        out += b"\0\0"
    return bytes(out + b"\0\1")


def bmp(bits, top_down=False, compression=0, core=False, v5=False):
    palette_size = 1 << bits if bits <= 8 else 0
    palette = b"".join(bytes(reversed(pattern(i, i))) + (b"" if core else b"\0") for i in range(palette_size))
    masks = b""
    if compression == 0 or compression == 3:
        pixels = bmp_rows(bits, palette_size, top_down)
        if compression == 3:
            masks = struct.pack("<III", *((0xF800, 0x07E0, 0x001F) if bits == 16 else (0xFF0000, 0xFF00, 0xFF)))
    else:
        indices = [[(x + (HEIGHT - 1 - y)) % palette_size for x in range(WIDTH)] for y in range(HEIGHT)]
        pixels = rle8(indices) if compression == 1 else rle4(indices)
    if core:
        header = struct.pack("<IHHHH", 12, WIDTH, HEIGHT, 1, bits)
    else:
        size = 124 if v5 else 40
        header = struct.pack("<IiiHHIIiiII", size, WIDTH, -HEIGHT if top_down else HEIGHT, 1, bits, compression,
                             len(pixels), 2835, 2835, 0, 0)
        if v5:
            header += masks.ljust(16, b"\0") + b"BGRs" + b"\0" * 36 + b"\0" * 12 + struct.pack("<IIII", 4, 0, 0, 0)
            masks = b""
    offset = 14 + len(header) + len(masks) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + masks + palette + pixels


# ---- GIF ---------------------------------------------------------------------

def lzw_uncompressed(indices, code_size):
    """A valid LZW stream that never grows its table: a clear code before the table would."""
    clear, end = 1 << code_size, (1 << code_size) + 1
    width = code_size + 1
    codes, since_clear = [clear], 0
    for index in indices:
        if since_clear == (1 << code_size) - 2:
            codes.append(clear)
            since_clear = 0
        codes.append(index)
        since_clear += 1
    codes.append(end)
    bits, count, out = 0, 0, bytearray()
    for code in codes:
        bits |= code << count
        count += width
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    return bytes(out)


def sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255)) + b"\0"


def gif_frame(shift, interlaced=False, local=False, transparent=None, delay=0):
    order = list(range(HEIGHT))
    if interlaced:
        order = list(range(0, HEIGHT, 8)) + list(range(4, HEIGHT, 8)) + list(range(2, HEIGHT, 4)) + list(range(1, HEIGHT, 2))
    indices = [(x + y + shift) % 4 for y in order for x in range(WIDTH)]
    control = b""
    if transparent is not None or delay:
        flags = 1 if transparent is not None else 0
        control = b"\x21\xf9\x04" + struct.pack("<BHB", flags, delay, transparent or 0) + b"\0"
    flags = (0x40 if interlaced else 0) | (0x81 if local else 0)
    table = b"".join(bytes(pattern(i * 3, i)) for i in range(4)) if local else b""
    return control + b"\x2c" + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, flags) + table + b"\x02" + \
        sub_blocks(lzw_uncompressed(indices, 2))


def gif(version=b"89a", frames=1, **frame):
    table = b"".join(bytes(pattern(i, i * 5)) for i in range(4))
    head = b"GIF" + version + struct.pack("<HHBBB", WIDTH, HEIGHT, 0x81, 0, 0) + table
    return head + b"".join(gif_frame(n, **frame) for n in range(frames)) + b"\x3b"


# ---- PNG ---------------------------------------------------------------------

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(colour_type=6, depth=8, palette=False):
    rows = []
    for y in range(HEIGHT):
        row = bytearray([0])
        for x in range(WIDTH):
            r, g, b = pattern(x, y)
            if palette:
                row.append((x + y) % 4)
            elif depth == 16:
                row += struct.pack(">HHHH", r * 257, g * 257, b * 257, (x * 5000) & 0xFFFF)
            else:
                row += bytes([r, g, b, (x * 20) & 0xFF])
        rows.append(bytes(row))
    body = png_chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, depth, 3 if palette else colour_type, 0, 0, 0))
    if palette:
        body += png_chunk(b"PLTE", b"".join(bytes(pattern(i, i)) for i in range(4)))
        body += png_chunk(b"tRNS", b"\xff\x80\x00\xff")
    body += png_chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + png_chunk(b"IEND", b"")
    return b"\x89PNG\r\n\x1a\n" + body


def write_seeds(directory):
    os.makedirs(directory, exist_ok=True)
    seeds = {
        "bmp-1.bmp": bmp(1), "bmp-4.bmp": bmp(4), "bmp-8.bmp": bmp(8), "bmp-16.bmp": bmp(16),
        "bmp-24.bmp": bmp(24), "bmp-32.bmp": bmp(32), "bmp-24-topdown.bmp": bmp(24, top_down=True),
        "bmp-8-topdown.bmp": bmp(8, top_down=True), "bmp-16-bitfields.bmp": bmp(16, compression=3),
        "bmp-32-bitfields.bmp": bmp(32, compression=3), "bmp-rle8.bmp": bmp(8, compression=1),
        "bmp-rle4.bmp": bmp(4, compression=2), "bmp-os2-1.bmp": bmp(1, core=True),
        "bmp-os2-24.bmp": bmp(24, core=True), "bmp-v5-32.bmp": bmp(32, v5=True),
        "gif-87a.gif": gif(b"87a"), "gif-89a.gif": gif(), "gif-interlaced.gif": gif(interlaced=True),
        "gif-frames.gif": gif(frames=3, delay=10), "gif-transparent.gif": gif(transparent=1),
        "gif-local-table.gif": gif(local=True),
        "png-rgba.png": png(), "png-16.png": png(depth=16), "png-palette.png": png(palette=True),
    }
    for name, data in seeds.items():
        with open(os.path.join(directory, name), "wb") as out:
            out.write(data)
    source = os.path.join(directory, "seed.ppm")
    with open(source, "wb") as out:
        out.write(b"P6 %d %d 255\n" % (WIDTH * 3, HEIGHT * 3))
        out.write(b"".join(bytes(pattern(x, y)) for y in range(HEIGHT * 3) for x in range(WIDTH * 3)))
    for name, options in (("jpeg-baseline.jpg", []), ("jpeg-progressive.jpg", ["-interlace", "Plane"]),
                          ("jpeg-grey.jpg", ["-colorspace", "Gray"])):
        subprocess.run(["convert", source, *options, "-quality", "85", "-strip", os.path.join(directory, name)],
                       check=True)
    os.unlink(source)


# ---- Mutations ---------------------------------------------------------------

def interesting(rng, old, width):
    top = (1 << (8 * width)) - 1
    choices = [0, 1, top, top >> 1, (top >> 1) + 1, 0x4000, 0x8000, 0xFFFF, 0x10000, 4000, 29722,
               old + 1, old - 1, old * 2, old * 256, rng.randrange(top + 1)]
    return rng.choice(choices) & top


def set_field(data, offset, width, value, big=False):
    if offset + width > len(data):
        return data
    fmt = {1: "B", 2: "H", 4: "I"}[width]
    return data[:offset] + struct.pack((">" if big else "<") + fmt, value) + data[offset + width:]


def get_field(data, offset, width, big=False):
    fmt = {1: "B", 2: "H", 4: "I"}[width]
    return struct.unpack_from((">" if big else "<") + fmt, data, offset)[0] if offset + width <= len(data) else 0


def bmp_fields(data):
    if get_field(data, 14, 4) == 12:
        return [(2, 4), (10, 4), (14, 4), (18, 2), (20, 2), (22, 2), (24, 2)], [14, 26]
    return [(2, 4), (10, 4), (14, 4), (18, 4), (22, 4), (26, 2), (28, 2), (30, 4), (34, 4), (46, 4)], \
        [14, 54, get_field(data, 10, 4)]


def gif_fields(data):
    fields, cuts = [(6, 2), (8, 2), (10, 1)], [6, 13]
    pos = 13 + (3 << ((data[10] & 7) + 1) if data[10] & 0x80 else 0)
    while pos < len(data):
        cuts.append(pos)
        if data[pos] == 0x21:
            if data[pos + 1] == 0xF9:
                fields += [(pos + 3, 1), (pos + 6, 1)]
            pos += 2
            while pos < len(data) and data[pos]:
                fields.append((pos, 1))
                pos += data[pos] + 1
            pos += 1
        elif data[pos] == 0x2C:
            fields += [(pos + 1, 2), (pos + 5, 2), (pos + 7, 2), (pos + 9, 1)]
            pos += 10 + (3 << ((data[pos + 9] & 7) + 1) if data[pos + 9] & 0x80 else 0)
            fields.append((pos, 1))
            cuts.append(pos + 1)
            pos += 1
            while pos < len(data) and data[pos]:
                fields.append((pos, 1))
                cuts.append(pos + 1 + data[pos] // 2)
                pos += data[pos] + 1
            pos += 1
        else:
            break
    return fields, cuts


def jpeg_fields(data):
    fields, cuts, pos = [], [2], 2
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        marker, length = data[pos + 1], get_field(data, pos + 2, 2, True)
        cuts.append(pos)
        fields.append((pos + 2, 2))
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            fields += [(pos + 4, 1), (pos + 5, 2), (pos + 7, 2), (pos + 9, 1)]
        if marker == 0xC4:
            fields.append((pos + 5, 1))
        if marker == 0xDA:
            cuts += [pos + 2 + length, (pos + 2 + length + len(data)) // 2, len(data) - 2]
            break
        pos += 2 + length
    return fields, cuts


def png_fields(data):
    fields, cuts, pos = [], [8], 8
    while pos + 8 <= len(data):
        length = get_field(data, pos, 4, True)
        fields.append((pos, 4))
        cuts += [pos, pos + 8 + length // 2]
        if data[pos + 4:pos + 8] == b"IHDR":
            fields += [(pos + 8, 4), (pos + 12, 4), (pos + 16, 1), (pos + 17, 1)]
        pos += 12 + length
    return fields, cuts


def mutate(data, rng):
    kind = data[:2]
    big = kind in (b"\xff\xd8", b"\x89P")
    finder = {b"BM": bmp_fields, b"GI": gif_fields, b"\xff\xd8": jpeg_fields, b"\x89P": png_fields}[kind]
    fields, cuts = finder(data)
    for _ in range(rng.choice((1, 1, 1, 2, 3))):
        action = rng.random()
        if action < 0.6 and fields:
            offset, width = rng.choice(fields)
            data = set_field(data, offset, width, interesting(rng, get_field(data, offset, width, big), width), big)
        elif action < 0.8:
            cut = rng.choice(cuts + [rng.randrange(2, len(data) + 1)])
            data = data[:max(2, min(cut, len(data)))]
        elif action < 0.95 and len(data) > 2:
            at = rng.randrange(2, len(data))
            data = data[:at] + bytes([data[at] ^ (1 << rng.randrange(8))]) + data[at + 1:]
        else:
            at = rng.randrange(2, len(data) + 1)
            data = data[:at] + bytes(rng.randrange(256) for _ in range(rng.randrange(1, 9))) + data[at:]
    return data


def write_mutations(seed_dir, out_dir, count, start=0):
    seeds = sorted(name for name in os.listdir(seed_dir) if not name.startswith("."))
    os.makedirs(out_dir, exist_ok=True)
    for n in range(start, start + count):
        name = seeds[n % len(seeds)]
        with open(os.path.join(seed_dir, name), "rb") as f:
            data = f.read()
        rng = random.Random(f"{name}:{n}")
        with open(os.path.join(out_dir, f"{n:06d}-{name}"), "wb") as out:
            out.write(mutate(data, rng))


if __name__ == "__main__":
    if sys.argv[1] == "seeds":
        write_seeds(sys.argv[2])
    else:
        write_mutations(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]) if len(sys.argv) > 5 else 0)
