#!/usr/bin/env python3
"""Finds the sounds in a recording of the demo and compares them with the assets.

    analyse_sound.py RECORDING.wav MUSIC.mp3 ZAP.wav

The recording must hold the tune, then silence, then exactly three zaps (two
taps of the space bar and one long hold). Each sound is matched against its
asset by duration and by the shape of its loudness over time.
"""
import array
import math
import subprocess
import sys
import tempfile
import wave

WINDOW = 0.01  # seconds per loudness sample


def loudness(path):
    """RMS per 10 ms window of a WAV file, all channels mixed."""
    with wave.open(path) as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        assert width == 2, "16-bit samples expected"
        samples = array.array("h", w.readframes(w.getnframes()))
    step = int(rate * WINDOW) * channels
    out = []
    for start in range(0, len(samples) - step + 1, step):
        chunk = samples[start:start + step]
        out.append(math.sqrt(sum(s * s for s in chunk) / len(chunk)))
    return out


def decoded(path):
    """Any audio file as a 44.1 kHz 16-bit WAV (sox decodes the MP3)."""
    target = tempfile.NamedTemporaryFile(suffix=".wav", delete=False).name
    subprocess.run(["sox", path, "-b", "16", "-r", "44100", target], check=True)
    return target


def segments(envelope, threshold, gap=0.15):
    """(start, end) windows where the loudness stays above threshold, short gaps bridged."""
    found, start, quiet = [], None, 0
    for i, value in enumerate(envelope + [0.0] * int(gap / WINDOW + 1)):
        if value > threshold:
            if start is None:
                start = i
            quiet = 0
        elif start is not None:
            quiet += 1
            if quiet * WINDOW >= gap:
                found.append((start, i - quiet + 1))
                start, quiet = None, 0
    return found


def audible_seconds(envelope):
    """From the first to the last audible window of an asset."""
    parts = segments(envelope, max(envelope) * 0.05)
    return (parts[-1][1] - parts[0][0]) * WINDOW


def likeness(a, b):
    """Best normalised correlation of two envelopes over small shifts."""
    best = 0.0
    for shift in range(-5, 6):
        pairs = [(a[i], b[i + shift]) for i in range(len(a)) if 0 <= i + shift < len(b)]
        if len(pairs) < 5:
            continue
        xs, ys = zip(*pairs)
        mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
        num = sum((x - mx) * (y - my) for x, y in pairs)
        den = math.sqrt(sum((x - mx) ** 2 for x in xs) * sum((y - my) ** 2 for y in ys))
        if den:
            best = max(best, num / den)
    return best


def main():
    recording, music_path, zap_path = sys.argv[1:4]
    heard = loudness(recording)
    music = loudness(decoded(music_path))
    zap = loudness(decoded(zap_path))
    peak = max(heard) if heard else 0
    if peak < 100:
        print(f"FAIL: the recording is silent (peak RMS {peak:.0f})")
        return 1
    found = segments(heard, peak * 0.05)
    print(f"recording {len(heard) * WINDOW:.1f} s, peak RMS {peak:.0f}; sounds found:")
    for start, end in found:
        print(f"  {start * WINDOW:6.2f} s to {end * WINDOW:6.2f} s ({(end - start) * WINDOW:.2f} s)")

    music_seconds, zap_seconds = audible_seconds(music), audible_seconds(zap)
    failures = []
    if len(found) != 4:
        failures.append(f"expected the tune and three zaps, heard {len(found)} sounds")
    else:
        (m0, m1), zaps = found[0], found[1:]
        tune = heard[m0:m1]
        if abs(len(tune) * WINDOW - music_seconds) > 0.6:
            failures.append(f"the tune lasted {len(tune) * WINDOW:.2f} s, the asset {music_seconds:.2f} s")
        tune_likeness = likeness(tune, music[:len(tune) + 5])
        print(f"tune: {len(tune) * WINDOW:.2f} s against {music_seconds:.2f} s, likeness {tune_likeness:.2f}")
        if tune_likeness < 0.6:
            failures.append(f"the tune does not sound like start.mp3 (likeness {tune_likeness:.2f})")
        for n, (z0, z1) in enumerate(zaps, 1):
            burst = heard[z0:z1]
            zap_likeness = likeness(burst, zap)
            print(f"zap {n}: {len(burst) * WINDOW:.2f} s against {zap_seconds:.2f} s, likeness {zap_likeness:.2f}")
            if abs(len(burst) * WINDOW - zap_seconds) > 0.15:
                failures.append(f"zap {n} lasted {len(burst) * WINDOW:.2f} s, the asset {zap_seconds:.2f} s")
            if zap_likeness < 0.6:
                failures.append(f"zap {n} does not sound like zapper.wav (likeness {zap_likeness:.2f})")
    for failure in failures:
        print("FAIL: " + failure)
    print("sound check passed" if not failures else "sound check failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
