#!/usr/bin/env python3
"""Makes examples/shooter's data: picture/sheet.png, a sheet of 32 x 32 cells
with alpha (the ship, a bullet, a rock, and eight frames of an explosion), and
sound/loop.wav, two bars of a bass line that loops without a click, and
sound/boom.wav. Drawn pixel by pixel here; the outputs are committed."""
import math
import struct
import sys
import wave
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from importlib import import_module

png = import_module("make-png-images").png  # the PNG writer of the test images

OUT = Path(__file__).resolve().parent.parent / "examples" / "shooter"
CELL, ACROSS, DOWN = 32, 8, 2


def clamp(v):
    return max(0, min(255, int(round(v))))


def ship(x, y):
    # A dart pointing up: inside the triangle (16, 3) (4, 28) (28, 28), notched at the back.
    px, py = x + 0.5, y + 0.5
    if py < 3 or py > 28:
        return None
    half = (py - 3) / 25 * 12
    if abs(px - 16) > half or (py > 22 and abs(px - 16) < (py - 22) * 0.9):
        return None
    shade = 0.55 + 0.45 * (1 - abs(px - 16) / 12)
    if py < 12 and abs(px - 16) < 2.5:
        return (120, 220, 255, 255)  # the canopy
    return (clamp(200 * shade), clamp(210 * shade), clamp(230 * shade), 255)


def bullet(x, y):
    d = math.hypot(x + 0.5 - 16, y + 0.5 - 16)
    if d > 6:
        return None
    a = 1 - d / 6
    return (clamp(255 * a), clamp(240 * a), clamp(120 * a), clamp(255 * a))  # premultiplied by the imaging step


def rock(x, y):
    px, py = x + 0.5 - 16, y + 0.5 - 16
    angle = math.atan2(py, px)
    radius = 12 + 2.5 * math.sin(angle * 5) + 1.5 * math.cos(angle * 3)
    if math.hypot(px, py) > radius:
        return None
    light = 0.6 + 0.4 * max(0, -(px + py) / 22)
    return (clamp(150 * light), clamp(120 * light), clamp(95 * light), 255)


def explosion(frame):
    def pixel(x, y):
        d = math.hypot(x + 0.5 - 16, y + 0.5 - 16)
        radius = 3 + frame * 1.7
        ring = max(0.0, 1 - abs(d - radius) / (2.5 + frame * 0.4))
        core = max(0.0, 1 - d / max(1.0, radius * 0.8)) * (1 - frame / 8)
        glow = min(1.0, ring + core) * (1 - frame / 9)
        if glow <= 0.02:
            return None
        return (clamp(255 * glow), clamp((160 + 80 * core) * glow), clamp(60 * core * glow), clamp(255 * glow))
    return pixel


def sheet():
    cells = [ship, bullet, rock] + [lambda x, y: None] * 5 + [explosion(f) for f in range(8)]
    width, height = CELL * ACROSS, CELL * DOWN
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            draw = cells[(y // CELL) * ACROSS + x // CELL]
            p = draw(x % CELL, y % CELL)
            if p is None:
                row += bytes(4)
            else:
                r, g, b, a = p
                # Stored straight (not premultiplied), as PNG files are.
                row += bytes((min(255, r * 255 // max(a, 1)), min(255, g * 255 // max(a, 1)),
                              min(255, b * 255 // max(a, 1)), a)) if a < 255 else bytes(p)
        rows.append(bytes(row))
    return png(width, height, rows)


def write_wave(path, samples, rate=22050):
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def loop(rate=11025):
    # Two bars at 120 beats a minute, eighths of a bass line; each note fades
    # in and out over 5 ms, so the loop's seam is silent.
    notes = [55.0, 55.0, 65.41, 55.0, 73.42, 65.41, 55.0, 49.0] * 2
    step = int(rate * 0.25)
    out = []
    for f in notes:
        for i in range(step):
            edge = min(1.0, i / (rate * 0.005), (step - i) / (rate * 0.005))
            t = i / rate
            out.append(0.25 * edge * (math.sin(2 * math.pi * f * t) + 0.3 * math.sin(4 * math.pi * f * t)))
    return out


def boom(rate=22050):
    out, state = [], 1
    for i in range(int(rate * 0.4)):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        noise = (state >> 16) / 32768.0 - 1
        out.append(0.5 * noise * math.exp(-i / (rate * 0.08)))
    return out


def main():
    (OUT / "picture").mkdir(parents=True, exist_ok=True)
    (OUT / "sound").mkdir(parents=True, exist_ok=True)
    (OUT / "picture" / "sheet.png").write_bytes(sheet())
    write_wave(OUT / "sound" / "loop.wav", loop(), 11025)
    write_wave(OUT / "sound" / "boom.wav", boom())
    for f in sorted(OUT.rglob("*.*")):
        if f.suffix in (".png", ".wav"):
            print(f.relative_to(OUT), f.stat().st_size)


if __name__ == "__main__":
    main()
