#!/usr/bin/env python3
"""Makes the sounds the mixer tests play and the broken WAV files it must
refuse, into tests/data/sounds (the looped music through lame). The outputs
are committed; run this only to change them."""
import math
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "tests/data/sounds"


def wav(fields, data, tag=1, extra=b""):
    """A RIFF WAVE file: a fmt chunk from (channels, rate, bits, block align), then data."""
    channels, rate, bits, align = fields
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits) + extra
    return riff(chunk(b"fmt ", fmt) + chunk(b"data", data))


def chunk(name, body):
    return name + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def riff(chunks):
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks


def samples(parts, rate, amplitude, channels=1, bits=16, fade=0.0):
    """parts: (seconds, frequency) one after another, phase continuous; frequency 0 is silence,
    None a constant level of amplitude. fade: seconds of linear fade at each end."""
    values, phase = [], 0.0
    for seconds, frequency in parts:
        for _ in range(round(seconds * rate)):
            if frequency is None:
                values.append(amplitude)
            else:
                values.append(amplitude * math.sin(phase) if frequency else 0.0)
                phase += 2 * math.pi * (frequency or 0) / rate
    n = round(fade * rate)
    for i in range(min(n, len(values) // 2)):
        values[i] *= i / n
        values[-1 - i] *= i / n
    out = bytearray()
    for value in values:
        for _ in range(channels):
            if bits == 8:
                out += struct.pack("<B", max(0, min(255, 128 + round(value * 127))))
            else:
                out += struct.pack("<h", max(-32768, min(32767, round(value * 32767))))
    return bytes(out)


def write(name, data):
    (OUT / name).write_bytes(data)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    # Three tones of 0.3 s in three formats, played 80 ms apart: they must overlap.
    write("tone-500.wav", wav((1, 22050, 16, 2), samples([(0.3, 500)], 22050, 0.25)))
    write("tone-800.wav", wav((2, 44100, 16, 4), samples([(0.3, 800)], 44100, 0.25, channels=2)))
    write("tone-1250.wav", wav((1, 11025, 8, 1), samples([(0.3, 1250)], 11025, 0.25, bits=8)))
    # Played at 100 % and at 50 %.
    write("tone-700.wav", wav((1, 44100, 16, 2), samples([(0.3, 700)], 44100, 0.4)))
    # Looped: 0.15 s at 600 Hz, then 0.1 s at 900 Hz, so each repetition can be counted.
    write("loop.wav", wav((1, 44100, 16, 2), samples([(0.15, 600), (0.1, 900)], 44100, 0.3)))
    # A constant level: voices of it add up exactly, so the sum tells how many sound.
    write("level.wav", wav((1, 8000, 16, 2), samples([(0.4, None)], 8000, 1500 / 32767)))
    # A short tone that starts at once, for the time to the first sample.
    write("blip.wav", wav((1, 44100, 16, 2), samples([(0.1, 1000)], 44100, 0.5)))
    # Looped music: 0.4 s at 1500 Hz, then a little silence.
    with tempfile.TemporaryDirectory() as work:
        tune = Path(work) / "music.wav"
        tune.write_bytes(wav((1, 44100, 16, 2), samples([(0.4, 1500), (0.2, 0)], 44100, 0.3, fade=0.01)))
        subprocess.run(["lame", "--quiet", "-b", "64", str(tune), str(OUT / "loop-music.mp3")], check=True)

    # Files SoundLoad must refuse, each with nothing kept.
    blip = (OUT / "blip.wav").read_bytes()
    pcm = samples([(0.01, 1000)], 8000, 0.5)
    write("bad-truncated.wav", blip[: len(blip) // 2])
    write("bad-header-only.wav", blip[:40])
    write("bad-empty.wav", b"")
    write("bad-not-riff.wav", b"This is not a sound file at all.\r\n")
    write("bad-float.wav", wav((1, 8000, 32, 4), struct.pack("<80f", *([0.25] * 80)), tag=3))
    write("bad-adpcm.wav", wav((1, 8000, 4, 256), bytes(256), tag=2, extra=struct.pack("<HH", 2, 505)))
    write("bad-24-bits.wav", wav((1, 8000, 24, 3), bytes(240)))
    write("bad-3-channels.wav", wav((3, 8000, 16, 6), bytes(480)))
    write("bad-block-align.wav", wav((1, 8000, 16, 4), pcm))
    write("bad-no-data.wav", riff(chunk(b"fmt ", struct.pack("<HHIIHH", 1, 1, 8000, 16000, 2, 16))))
    write("bad-empty-data.wav", wav((1, 8000, 16, 2), b""))
    write("bad-zero-rate.wav", wav((1, 0, 16, 2), pcm))
    # A chunk that claims to run far past the end of the file.
    huge = b"LIST" + struct.pack("<I", 0xFFFFFFF0) + b"junk"
    write("bad-chunk-past-end.wav", b"RIFF" + struct.pack("<I", 0xFFFFFFFF) + b"WAVE" + huge + blip[12:])
    # Files it must take: the extensible header, an odd-sized chunk and data before fmt.
    subformat = bytes([1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    write("ok-extensible.wav", wav((2, 8000, 16, 4), pcm + pcm, tag=0xFFFE,
                                   extra=struct.pack("<HHI", 22, 16, 3) + subformat))
    fmt = struct.pack("<HHIIHH", 1, 1, 8000, 16000, 2, 16)
    write("ok-data-first.wav", riff(chunk(b"LIST", b"odd") + chunk(b"data", pcm) + chunk(b"fmt ", fmt)))
    for path in sorted(OUT.iterdir()):
        print(f"{path.stat().st_size:8d} {path.name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
