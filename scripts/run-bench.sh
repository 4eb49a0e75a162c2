#!/bin/sh
# Installs what is missing, builds, and runs the benchmarks under Wine; prints one table.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh" "$BUILD"
"$ROOT/scripts/wine-up.sh" "$BUILD"
trap '"$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
ASSETS_DIR="$ROOT/assets" "$ROOT/scripts/wine-run.sh" "$BUILD" "$BUILD/runtime_bench.exe" 2>/dev/null | grep -v '^ALSA'
# The time to the first sample of a sound, SoundPlay against SoundEffectPlay,
# is measured in a recording of the audio sink: the mixer's part of the sound test.
SOUND_PARTS=mixer sh "$ROOT/tests/e2e/sound_test.sh" "$BUILD" "$BUILD/tests/demo_e2e.exe" "$BUILD/tests/runtime_tests.exe" \
    2>/dev/null | grep -A1 "first sample" || true
