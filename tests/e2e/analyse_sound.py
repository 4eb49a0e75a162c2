#!/usr/bin/env python3
"""Finds the sounds in a recording of the demo and compares them with the assets,
or checks what the mixer's test schedule (tests/e2e/mixer_script.cpp) played.

    analyse_sound.py RECORDING.raw MUSIC.mp3 ZAP.wav
    analyse_sound.py --watch RECORDING.raw PROGRESS_FILE
    analyse_sound.py --clock RECORDING.raw CLOCK_FILE
    analyse_sound.py --mixer RECORDING.raw EVENTS_FILE CLOCK_FILE
    analyse_sound.py --heard RECORDING.raw SECONDS [WINDOWS]
    analyse_sound.py --device RECORDING.raw CLOCK_FILE EVENTS_FILE RELOADED

The recording is raw 16-bit stereo at 44.1 kHz, as parec writes it. It must
hold the tune, then silence, then exactly three zaps (two taps of the space
bar and one long hold). Each sound is matched against its asset by duration
and by the shape of its loudness over time, aligned on their onsets.

With --watch, the recording is followed while it grows and PROGRESS_FILE
always holds the number of sounds heard to their end, so that the driver can
wait for each sound instead of sleeping a fixed time.

With --clock, CLOCK_FILE gets a line "TIME SIZE" each time the recording
grows (TIME in 100 ns of the host's raw monotonic clock, which Wine's
performance counter reads too). --mixer uses it to place the schedule's
calls, written to EVENTS_FILE as "NAME TIME", in the recording.

With --heard, waits (up to SECONDS) until the growing recording holds sound
(WINDOWS of 10 ms, one unless given).
--device checks the recording made after the sink was loaded again at
RELOADED (in the clock's units): the looped voice must be heard within 1 s.
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


def clock(recording, clock_file, limit_seconds=600):
    """Notes when the recording grows, until it has not grown for 5 s."""
    last, started = -1, time.monotonic()
    idle_since = started
    with open(clock_file, "w") as out:
        while time.monotonic() - started < limit_seconds:
            before = time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW)
            try:
                size = os.stat(recording).st_size
            except FileNotFoundError:
                size = 0
            after = time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW)
            if size != last:
                out.write(f"{(before + after) // 200} {size}\n")
                out.flush()
                last, idle_since = size, time.monotonic()
            elif time.monotonic() - idle_since > 5:
                return 0
            time.sleep(0.002)
    return 0


TICKS = 10_000_000  # clock units a second
FRAME_BYTES = 4


class Recording:
    """The recording as mono samples (channels averaged) and its frames' times."""

    def __init__(self, path, clock_file):
        with open(path, "rb") as f:
            data = f.read()
        self.stereo = array.array("h", data[: len(data) - len(data) % FRAME_BYTES])
        self.mono = array.array("h", ((self.stereo[i] + self.stereo[i + 1]) // 2
                                      for i in range(0, len(self.stereo), 2)))
        samples = []
        with open(clock_file) as f:
            for line in f:
                t, size = line.split()
                if int(size) > 0:
                    samples.append(int(t) - int(size) * TICKS // (RATE * FRAME_BYTES))
        # Each growth shows how far the recording lags the clock just after a
        # write; their median places a frame at the time it typically reaches
        # the file. A later half that disagrees means lost data.
        def median(values):
            return sorted(values)[len(values) // 2]
        self.offset = median(samples)
        half = len(samples) // 2
        self.drift = (median(samples[half:]) - median(samples[:half])) / TICKS

    def frame(self, t):
        return int(round((t - self.offset) * RATE / TICKS))

    def time(self, frame):
        return self.offset + frame * TICKS // RATE


def goertzel(samples, start, length, frequency):
    """Amplitude of one frequency in a Hann-windowed stretch of samples."""
    coefficient = 2 * math.cos(2 * math.pi * frequency / RATE)
    s1 = s2 = 0.0
    for i in range(length):
        w = 0.5 - 0.5 * math.cos(2 * math.pi * i / (length - 1))
        s0 = samples[start + i] * w + coefficient * s1 - s2
        s2, s1 = s1, s0
    power = s1 * s1 + s2 * s2 - coefficient * s1 * s2
    return 4 * math.sqrt(max(power, 0.0)) / length


def track(recording, frequency, first, last, lost=(), length=882, hop=220):
    """(centre frame, amplitude) of frequency in windows of 20 ms every 5 ms;
    the amplitude is None in a window that overlaps one of the lost stretches."""
    first, last = max(first, 0), min(last, len(recording.mono) - length)
    return [(start + length // 2, None if overlaps(lost, start, start + length)
             else goertzel(recording.mono, start, length, frequency))
            for start in range(first, last, hop)]


def overlaps(lost, first, end):
    return any(d0 < end and first < d1 for d0, d1 in lost)


def runs(points, threshold):
    """(first, last) centre frames of the runs of points above threshold; a
    window that cannot be measured neither starts nor ends a run."""
    found, start, end = [], None, None
    for frame, value in points:
        if value is None:
            continue
        if value > threshold:
            start = frame if start is None else start
            end = frame
        elif start is not None:
            found.append((start, end))
            start = None
    if start is not None:
        found.append((start, end))
    return found


# With 30 ms queued, the platform's underruns ran to 42 ms on a busy host,
# and to 63 ms with the host's cores taken by other work.
LONGEST_DROPOUT = int(0.100 * RATE)


def dropouts(recording):
    """(first, end) frames of stretches of exact silence, 0.2 to 100 ms long,
    with sound on both sides: blocks the platform's stream lost while it ran
    (under Wine, PulseAudio's stream does so when the host is loaded)."""
    mono, found, start = recording.mono, [], None
    for i, value in enumerate(mono):
        if value == 0:
            start = i if start is None else start
            continue
        if start is not None and 8 <= i - start <= LONGEST_DROPOUT and start >= 88:
            before = max(abs(v) for v in mono[start - 88:start])
            after = max(abs(v) for v in mono[i:i + 88])
            if before > 1000 and after > 1000:
                found.append((start, i))
        start = None
    return found


def heard_seconds(run, lost):
    """How long a run sounded: a dropout is silence the platform put in, so
    the sound after it comes later by as much."""
    first, last = run
    return seconds(last - first - sum(d1 - d0 for d0, d1 in lost if first <= d0 < last))


def middle_amplitude(points, run):
    """The median amplitude over the middle half of a run."""
    first, last = run
    quarter = (last - first) // 4
    values = sorted(v for f, v in points if first + quarter <= f <= last - quarter and v is not None)
    return values[len(values) // 2] if values else 0.0


def onset(recording, first, last, level):
    for i in range(max(first, 0), min(last, len(recording.mono))):
        if abs(recording.mono[i]) > level:
            return i
    return None


def quiet_from(recording, start, level=100, seconds=0.03, dropouts=()):
    """The first frame from start that begins a stretch of silence (not one of the dropouts)."""
    run, need = 0, int(seconds * RATE)
    for i in range(max(start, 0), len(recording.mono)):
        run = run + 1 if abs(recording.mono[i]) <= level else 0
        if run >= need and not any(d0 - 88 <= i - need + 1 and i < d1 + 88 for d0, d1 in dropouts):
            return i - need + 1
    return None


def seconds(frames):
    return frames / RATE


# The mixer check's exit code when the host stalled the platform's stream
# too often to check anything: the recording is worth making again.
HOST_STALLED = 3


def check_mixer(recording_path, events_path, clock_file):
    rec = Recording(recording_path, clock_file)
    events, values = {}, {}
    with open(events_path) as f:
        for line in f:
            parts = line.split()
            if parts[0] == "value":
                values[parts[1]] = int(parts[2])
            else:
                events[parts[0]] = int(parts[1])
    at = {name: rec.frame(t) for name, t in events.items()}
    ms = int(RATE / 1000)
    failures = []
    print(f"recording {seconds(len(rec.mono)):.1f} s; later half of the clock {rec.drift * 1000:+.1f} ms off; "
          f"the mixer's stream ran dry {values.get('randry')} times, was given up {values.get('givenup')} times")
    if abs(rec.drift) > 0.01:
        failures.append(f"the recording's clock moved by {rec.drift * 1000:.1f} ms: data was lost")
    if values.get("randry", 1) != 0:
        failures.append("the mixer's stream ran dry while voices sounded")
    if values.get("givenup", 1) != 0:
        failures.append("the mixer gave its stream up with the device there")
    # Known difference, Wine: the platform's stream loses a few milliseconds
    # now and then on a loaded host, heard as exact silence in a running
    # sound. Where the mixer never let its stream run dry they are not its
    # own: a sound split by one of them counts as whole.
    lost = dropouts(rec)
    if lost:
        print(f"known: the platform's stream dropped {len(lost)} stretches, "
              + ", ".join(f"{seconds(b - a) * 1000:.1f} ms at {seconds(a - at['tone500']):.3f} s" for a, b in lost))
    # Every measure leaves out the windows a dropout touches (20 ms either
    # side of it); past a quarter of the recording so left out, too little is left.
    touched = sum(d1 - d0 + 2 * 882 for d0, d1 in lost) / max(len(rec.mono), 1)
    host_stalled = touched > 0.25
    if host_stalled:
        failures.append(f"the platform's stream dropped {len(lost)} stretches, touching {touched:.0%} "
                        "of the recording: too many to check the rest")

    # Three tones 80 ms apart: each whole, all three together where they overlap.
    full = 0.25 * 32767
    tones = {}
    for name, frequency in (("tone500", 500), ("tone800", 800), ("tone1250", 1250)):
        points = track(rec, frequency, at["tone500"] - 100 * ms, at["tone1250"] + 800 * ms, lost)
        found = [r for r in runs(points, full / 2) if r[1] > at[name]]
        if len(found) != 1:
            failures.append(f"{frequency} Hz: {len(found)} stretches heard, not one")
            continue
        tones[name] = (found[0], middle_amplitude(points, found[0]))
        (first, last), amplitude = tones[name]
        length = heard_seconds((first, last), lost)
        print(f"{frequency} Hz: from {seconds(first - at['tone500']):.3f} s for {length:.3f} s, "
              f"amplitude {amplitude:.0f} of {full:.0f}")
        # Known difference, Wine: a loaded host's platform stream may also
        # lose what it was given around a dropout, so a tone may come out
        # short by as much as the dropouts since the first tone began.
        eaten = seconds(sum(d1 - d0 for d0, d1 in lost if at["tone500"] <= d0 < last))
        if not 0.27 - eaten <= length <= 0.33:
            failures.append(f"{frequency} Hz lasted {length:.3f} s, not 0.3 s")
        elif length < 0.27:
            print(f"known: {frequency} Hz lasted {length:.3f} s, with {eaten * 1000:.0f} ms of dropouts since the first tone")
        if abs(amplitude / full - 1) > 0.1:
            failures.append(f"{frequency} Hz at amplitude {amplitude:.0f}, not {full:.0f}")
    if len(tones) == 3:
        starts = [tones[n][0][0] for n in ("tone500", "tone800", "tone1250")]
        gaps = [seconds(b - a) for a, b in zip(starts, starts[1:])]
        # A dropout is silence the platform put in: the tones after it come
        # later by as much, and the stream may make up for it after.
        slack = seconds(sum(d1 - d0 for d0, d1 in lost if starts[0] <= d0 < starts[2]))
        print(f"tones started {gaps[0] * 1000:.0f} ms and {gaps[1] * 1000:.0f} ms apart"
              + (f" ({slack * 1000:.0f} ms of dropouts among them)" if slack else ""))
        # A voice started on a stream at rest plays at once; one started while
        # the stream runs waits behind the 30 ms already queued (the second
        # tone, 80 ms after a start, behind what is left of the first 100 ms).
        if any(not 0.065 - slack <= g <= 0.12 + slack for g in gaps):
            failures.append(f"the tones started {gaps} s apart, not 0.08 s (+0.03 s)")
        overlap = (starts[2], tones["tone500"][0][1])
        # The window nearest the middle of the overlap that no dropout touches.
        middle = (overlap[0] + overlap[1]) // 2 - 441
        clean = [w for w in range(overlap[0], overlap[1] - 882, 220) if not overlaps(lost, w, w + 882)]
        middle = min(clean, key=lambda w: abs(w - middle), default=middle)
        together = [goertzel(rec.mono, middle, 882, f) for f in (500, 800, 1250)]
        print(f"all three from {seconds(overlap[0] - at['tone500']):.3f} s to "
              f"{seconds(overlap[1] - at['tone500']):.3f} s; amplitudes there {[round(a) for a in together]}")
        if seconds(overlap[1] - overlap[0]) < 0.06 or min(together) < 0.7 * full:
            failures.append("the three tones were not all heard together")

    # The same tone at 100 % and at 50 %.
    full = 0.4 * 32767
    points = track(rec, 700, at["volume100"] - 100 * ms, at["volume50"] + 800 * ms, lost)
    found = runs(points, full / 4)
    if len(found) != 2:
        failures.append(f"700 Hz: {len(found)} stretches heard, not two")
    else:
        loud, soft = (middle_amplitude(points, r) for r in found)
        print(f"volume: 100 % at amplitude {loud:.0f} of {full:.0f}, 50 % at {soft:.0f}: ratio {soft / loud:.3f}")
        if abs(soft / loud - 0.5) > 0.025:
            failures.append(f"50 % volume gave {soft / loud:.3f} of the amplitude at 100 %")
        if abs(loud / full - 1) > 0.1:
            failures.append(f"100 % volume gave amplitude {loud:.0f}, not {full:.0f}")

    # The looped voice: its 600 Hz and 900 Hz parts come round again; the stop silences it.
    full = 0.3 * 32767
    span = (at["loop"] - 100 * ms, at["loopstop"] + 400 * ms)
    counts = {}
    for frequency, length in ((600, 0.15), (900, 0.1)):
        points = track(rec, frequency, *span, lost)
        counts[frequency] = sum(1 for a, b in runs(points, full / 2) if abs(heard_seconds((a, b), lost) - length) < 0.03)
    print(f"looped voice: the 600 Hz part heard whole {counts[600]} times, the 900 Hz part {counts[900]} times")
    if min(counts.values()) < 2:
        failures.append("the looped voice was not heard twice")
    start = onset(rec, span[0], span[1], 1000)
    silent = quiet_from(rec, start, dropouts=lost) if start is not None else None
    if silent is None:
        failures.append("the looped voice was not heard, or never ended")
    else:
        after = seconds(silent - at["loopstop"])
        print(f"looped voice: sounded for {seconds(silent - start):.3f} s; silent {after * 1000:.0f} ms after SoundStop")
        if after < 0:
            failures.append("the looped voice ended before SoundStop")
        elif after > 0.1:
            failures.append(f"SoundStop silenced the voice after {after * 1000:.0f} ms, not within 100 ms")

    # The burst: 40 voices of a constant level, of which 16 sound together.
    level, voices = 1500, 16
    first, last = at["burst"] - 50 * ms, at["burst"] + 1000 * ms
    peak = max(abs(v) for v in rec.stereo[2 * max(first, 0):2 * last])
    start = onset(rec, first, last, level // 2)
    if start is None:
        failures.append("the burst was not heard")
    else:
        # The voices are 400 ms of one constant level, so their sum is exact;
        # exact silence in the body is the platform's stream stalling (a
        # loaded host stalls it for longer than its usual dropouts).
        body = rec.mono[start + 50 * ms:start + 350 * ms]
        sounding = sorted(v for v in body if v != 0)
        plateau = sounding[len(sounding) // 2] if sounding else 0
        print(f"burst of 40: level {plateau} ({plateau / level:.2f} voices), peak {peak} of 32767"
              + (f"; known: {(len(body) - len(sounding)) / ms:.1f} ms of it exact silence" if len(sounding) < len(body) else ""))
        if len(sounding) < len(body) // 2:
            failures.append(f"the burst sounded for {len(sounding) / ms:.0f} ms of the 300 ms in its body")
        elif abs(plateau / (level * voices) - 1) > 0.03:
            failures.append(f"the burst sounded {plateau / level:.2f} voices at once, not {voices}")
        if peak > level * voices * 1.03 or peak >= 32767:
            failures.append(f"the burst peaked at {peak}: more voices than {voices}, or clipping")

    # The time to the first sample: the platform's player against the mixer.
    delays = {"effect": [], "play": []}
    rounds = sum(1 for name in events if name.startswith("effect"))
    for kind in delays:
        for n in range(rounds):
            name = f"{kind}{n}"
            found = onset(rec, at[name] - 50 * ms, at[name] + 450 * ms, 2000)
            if found is None:
                failures.append(f"{name}: not heard")
            else:
                delays[kind].append((rec.time(found) - events[name]) / TICKS)
    if rounds and all(len(d) == rounds for d in delays.values()):
        effect, play = (sorted(delays[k])[rounds // 2] for k in ("effect", "play"))
        print(f"to the first sample in the recording (median of {rounds}): SoundPlay {play * 1000:.1f} ms, "
              f"SoundEffectPlay {effect * 1000:.1f} ms; ratio {play / effect:.2f}")
        print("  SoundPlay " + " ".join(f"{d * 1000:.1f}" for d in delays["play"]) +
              " ms; SoundEffectPlay " + " ".join(f"{d * 1000:.1f}" for d in delays["effect"]) + " ms")
        # Both wait for the recorder's blocks, which scatter single figures by
        # about 10 ms: a median more than 5 ms later is a fault.
        if play > effect + 0.005:
            failures.append("SoundPlay is heard later than SoundEffectPlay")

    # Looped music: each time round heard whole; then at half volume.
    full = 0.3 * 32767
    points = track(rec, 1500, at["music"], at["musicstop"] + 500 * ms, lost)
    plays = [r for r in runs(points, full / 4) if heard_seconds(r, lost) > 0.3]
    loud = [middle_amplitude(points, r) for r in plays if r[1] < at["musichalf"]]
    soft = [middle_amplitude(points, r) for r in plays if r[0] > at["musichalf"] + 150 * ms]
    print(f"looped music: heard whole {len(plays)} times, amplitudes {[round(middle_amplitude(points, r)) for r in plays]}")
    if len(plays) < 2:
        failures.append("the looped music was not heard twice")
    if loud and soft:
        ratio = soft[-1] / loud[0]
        print(f"music at 50 %: ratio {ratio:.3f} (MusicSetVolume answered {values.get('musicvolumetaken')})")
        if values.get("musicvolumetaken") == 1 and abs(ratio - 0.5) > 0.05:
            failures.append(f"MusicSetVolume(50) gave {ratio:.3f} of the amplitude")

    for failure in failures:
        print("FAIL: " + failure)
    print("mixer check passed" if not failures else "mixer check failed")
    if failures and host_stalled:
        return HOST_STALLED
    return 1 if failures else 0


def wait_until_heard(recording, limit_seconds, windows=1, threshold=1000):
    """0 once that many windows of the growing recording are louder than threshold; 1 after the limit."""
    offset, pending, started, loud = 0, b"", time.monotonic(), 0
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
        loud += sum(1 for value in raw_loudness(pending[:usable]) if value > threshold)
        if loud >= windows:
            return 0
        pending = pending[usable:]
        time.sleep(0.02)
    print(f"nothing heard in {recording} within {limit_seconds} s")
    return 1


def check_device(recording_path, clock_file, events_path, reloaded):
    rec = Recording(recording_path, clock_file)
    values = {}
    with open(events_path) as f:
        for line in f:
            parts = line.split()
            if parts[0] == "value":
                values[parts[1]] = int(parts[2])
    failures = []
    first = onset(rec, 0, len(rec.mono), 2000)
    begins = (rec.time(0) - reloaded) / TICKS
    if first is None:
        failures.append("the looped voice was not heard after the sink came back")
    else:
        back = (rec.time(first) - reloaded) / TICKS
        loud = sum(1 for value in raw_loudness(rec.stereo[2 * first:2 * first + RATE * 2].tobytes()) if value > 1000)
        print(f"the sink loaded again: the recording begins {begins * 1000:.0f} ms later, the looped voice heard "
              f"{back * 1000:.0f} ms later ({seconds(first) * 1000:.0f} ms into the recording), then loud in "
              f"{loud} of the next 100 windows of 10 ms")
        if back > 1.0:
            failures.append(f"heard again {back:.2f} s after the sink came back, not within 1 s")
        if loud < 90:
            failures.append("the voice was not heard steadily after it came back")
    print(f"streams given up {values.get('givenup')}, still closing {values.get('closing')}, "
          f"opens failed {values.get('opensfailed')}; "
          f"the longest call {values.get('longestcallus')} us")
    if not values.get("givenup"):
        failures.append("the mixer never gave its stream up")
    for failure in failures:
        print("FAIL: " + failure)
    print("device check passed" if not failures else "device check failed")
    return 1 if failures else 0


def main():
    if sys.argv[1] == "--heard":
        return wait_until_heard(sys.argv[2], float(sys.argv[3]), *(int(a) for a in sys.argv[4:5]))
    if sys.argv[1] == "--device":
        return check_device(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
    if sys.argv[1] == "--watch":
        return watch(sys.argv[2], sys.argv[3])
    if sys.argv[1] == "--clock":
        return clock(sys.argv[2], sys.argv[3])
    if sys.argv[1] == "--mixer":
        return check_mixer(*sys.argv[2:5])
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
