#!/bin/sh
# Records the audio sink while the demo plays its tune and the space bar is
# pressed twice and then held, and checks what was heard against the assets.
#   sound_test.sh BUILD_DIR DEMO_E2E_EXE
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
WINE_BUILD_DIR=$(cd "$1" && pwd)
DRIVER=$2
. "$ROOT/scripts/wine-env.sh"

mkdir -p "$WINE_BUILD_DIR/artifacts"
RECORDING="$WINE_BUILD_DIR/artifacts/sound.wav"
rm -f "$RECORDING"
parec --latency-msec=20 -d vsink.monitor --file-format=wav "$RECORDING" &
RECORDER=$!
trap 'kill $RECORDER 2>/dev/null || true' EXIT
sleep 1

DRIVER_STATUS=0
SOUND_SCRIPT=1 wine "$DRIVER" --gtest_filter=DemoTest.SoundScript 2>/dev/null || DRIVER_STATUS=$?
sleep 1
kill $RECORDER
wait $RECORDER 2>/dev/null || true

[ $DRIVER_STATUS -eq 0 ] || { echo "the driver failed ($DRIVER_STATUS)"; exit 1; }
python3 "$HERE/analyse_sound.py" "$RECORDING" "$ROOT/assets/sound/start.mp3" "$ROOT/assets/sound/zapper.wav"
