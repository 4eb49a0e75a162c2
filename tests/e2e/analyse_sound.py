#!/usr/bin/env python3
"""Finds the sounds in a recording of the demo and compares them with the assets.

    analyse_sound.py RECORDING.raw MUSIC.mp3 ZAP.wav
    analyse_sound.py --watch RECORDING.raw PROGRESS_FILE

The recording is raw 16-bit stereo at 44.1 kHz, as parec writes it. It must
hold the tune, then silence, then exactly three zaps (two taps of the space
bar and one long hold). Each sound is matched against its asset by duration
and by the shape of its loudness over time, aligned on their onsets.

With --watch, the recording is followed while it grows and PROGRESS_FILE
always holds the number of sounds heard to their end, so that the driver can
wait for each sound instead of sleeping a fixed time.
"""
import array
import math
import os
import subprocess
import sys
import tempfile
import time
import wave

RATE, CHANNELS = 44100, 2
WINDOW = 0.01  # seconds per loudness sample
WINDOW_SAMPLES = int(RATE * WINDOW) * CHANNELS
MAX_SHIFT = 30  # windows: the platform's start-up of a sound varies by up to about 0.3 s


def rms(samples):
    return math.sqrt(sum(s * s for s in samples) / len(samples))


def raw_loudness(data):
    """RMS per 10 ms window of raw 16-bit stereo bytes, channels mixed."""
    samples = array.array("h", data[: len(data) - len(data) % 2])
    return [rms(samples[i:i + WINDOW_SAMPLES])
            for i in range(0, len(samples) - WINDOW_SAMPLES + 1, WINDOW_SAMPLES)]


def decoded_loudness(path):
    """Any audio file (sox decodes the MP3) as 44.1 kHz stereo, then its loudness."""
    target = tempfile.NamedTemporaryFile(suffix=".wav", delete=False).name
    try:
        subprocess.run(["sox", path, "-b", "16", "-r", str(RATE), "-c", str(CHANNELS), target], check=True)
        with wave.open(target) as w:
            return raw_loudness(w.readframes(w.getnframes()))
    finally:
        os.unlink(target)


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


def audible(envelope):
    """The first and last audible window of an asset."""
    parts = segments(envelope, max(envelope) * 0.05)
    return parts[0][0], parts[-1][1]


def correlation(xs, ys):
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    num = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
    den = math.sqrt(sum((x - mx) ** 2 for x in xs) * sum((y - my) ** 2 for y in ys))
    return num / den if den else 0.0


def likeness(heard, onset, asset):
    """Best correlation of the asset's audible envelope with the recording near
    onset, over shifts of up to MAX_SHIFT windows; (score, shift in seconds)."""
    first, last = audible(asset)
    reference = asset[first:last]
    best = (-1.0, 0.0)
    for shift in range(-MAX_SHIFT, MAX_SHIFT + 1):
        start = onset + shift
        pairs = [(heard[start + i], reference[i]) for i in range(len(reference))
                 if 0 <= start + i < len(heard)]
        if len(pairs) >= max(5, len(reference) // 2):
            score = correlation(*zip(*pairs))
            if score > best[0]:
                best = (score, shift * WINDOW)
    return best


def watch(recording, progress, quiet_seconds=0.4, threshold=300, limit_seconds=600):
    """Writes the count of finished sounds to progress until the recording stops growing."""
    def publish(count):
        with open(progress + ".new", "w") as out:
            out.write(f"{count}\n")
        os.replace(progress + ".new", progress)

    publish(0)
    done, sounding, quiet, offset, pending = 0, False, 0, 0, b""
    idle_since, started = time.monotonic(), time.monotonic()
    while time.monotonic() - started < limit_seconds:
        try:
            with open(recording, "rb") as f:
                f.seek(offset)
                data = f.read()
        except FileNotFoundError:
            data = b""
        offset += len(data)
        pending += data
        usable = len(pending) - len(pending) % (WINDOW_SAMPLES * 2)
        for value in raw_loudness(pending[:usable]):
            if value > threshold:
                sounding, quiet = True, 0
            elif sounding:
                quiet += 1
                if quiet * WINDOW >= quiet_seconds:
                    sounding, done = False, done + 1
                    publish(done)
        pending = pending[usable:]
        if data:
            idle_since = time.monotonic()
        elif time.monotonic() - idle_since > 5:
            return 0
        time.sleep(0.05)
    return 0


def main():
    if sys.argv[1] == "--watch":
        return watch(sys.argv[2], sys.argv[3])
    recording, music_path, zap_path = sys.argv[1:4]
    with open(recording, "rb") as f:
        heard = raw_loudness(f.read())
    music, zap = decoded_loudness(music_path), decoded_loudness(zap_path)
    peak = max(heard) if heard else 0
    if peak < 100:
        print(f"FAIL: the recording is silent (peak RMS {peak:.0f})")
        return 1
    found = segments(heard, peak * 0.05)
    print(f"recording {len(heard) * WINDOW:.1f} s, peak RMS {peak:.0f}; sounds found:")
    for start, end in found:
        print(f"  {start * WINDOW:6.2f} s to {end * WINDOW:6.2f} s ({(end - start) * WINDOW:.2f} s)")

    music_first, music_last = audible(music)
    zap_first, zap_last = audible(zap)
    music_seconds, zap_seconds = (music_last - music_first) * WINDOW, (zap_last - zap_first) * WINDOW
    failures = []
    if len(found) != 4:
        failures.append(f"expected the tune and three zaps, heard {len(found)} sounds")
    else:
        (m0, m1), zaps = found[0], found[1:]
        seconds = (m1 - m0) * WINDOW
        if abs(seconds - music_seconds) > 0.6:
            failures.append(f"the tune lasted {seconds:.2f} s, the asset {music_seconds:.2f} s")
        score, shift = likeness(heard, m0, music)
        print(f"tune: {seconds:.2f} s against {music_seconds:.2f} s, likeness {score:.2f} at {shift:+.2f} s")
        if score < 0.6:
            failures.append(f"the tune does not sound like start.mp3 (likeness {score:.2f})")
        for n, (z0, z1) in enumerate(zaps, 1):
            seconds = (z1 - z0) * WINDOW
            score, shift = likeness(heard, z0, zap)
            print(f"zap {n}: {seconds:.2f} s against {zap_seconds:.2f} s, likeness {score:.2f} at {shift:+.2f} s")
            if abs(seconds - zap_seconds) > 0.15:
                failures.append(f"zap {n} lasted {seconds:.2f} s, the asset {zap_seconds:.2f} s")
            if score < 0.6:
                failures.append(f"zap {n} does not sound like zapper.wav (likeness {score:.2f})")
    for failure in failures:
        print("FAIL: " + failure)
    print("sound check passed" if not failures else "sound check failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
