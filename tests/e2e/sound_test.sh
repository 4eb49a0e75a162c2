#!/bin/sh
# Records the audio sink while the demo plays its tune and the space bar is
# pressed twice and then held, and checks what was heard against the assets.
# A watcher follows the recording, so the driver acts when each sound has
# ended rather than after fixed pauses.
#   sound_test.sh BUILD_DIR DEMO_E2E_EXE
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
WINE_BUILD_DIR=$(cd "$1" && pwd)
DRIVER=$2
. "$ROOT/scripts/wine-env.sh"

ARTIFACTS="$WINE_BUILD_DIR/artifacts"
mkdir -p "$ARTIFACTS"
RECORDING="$ARTIFACTS/sound.raw"
PROGRESS="$ARTIFACTS/sounds-heard.txt"
rm -f "$RECORDING" "$PROGRESS"

# The recorder delivers its first data a second or two after it connects, and
# an idle sink gives it none at all: what plays in between is lost. A stream of
# silence keeps the sink running, so the recorder is ready once data arrives.
FORMAT="--format=s16le --rate=44100 --channels=2"
# shellcheck disable=SC2086
pacat --playback --raw $FORMAT -d vsink /dev/zero &
SILENCE=$!
# shellcheck disable=SC2086
parec --latency-msec=20 -d vsink.monitor $FORMAT >"$RECORDING" &
RECORDER=$!
python3 "$HERE/analyse_sound.py" --watch "$RECORDING" "$PROGRESS" &
WATCHER=$!
trap 'kill $RECORDER $WATCHER $SILENCE 2>/dev/null || true' EXIT

tries=0
until [ "$(stat -c %s "$RECORDING")" -ge 17640 ]; do # a tenth of a second
    tries=$((tries + 1))
    [ $tries -lt 1500 ] || { echo "the recorder delivered nothing in 30 s"; exit 1; }
    sleep 0.02
done

DRIVER_STATUS=0
SOUND_SCRIPT=1 SOUND_PROGRESS="$PROGRESS" wine "$DRIVER" --gtest_filter=DemoTest.SoundScript 2>/dev/null ||
    DRIVER_STATUS=$?
kill $RECORDER $WATCHER $SILENCE 2>/dev/null || true
wait $RECORDER 2>/dev/null || true

[ $DRIVER_STATUS -eq 0 ] || { echo "the driver failed ($DRIVER_STATUS)"; exit 1; }
python3 "$HERE/analyse_sound.py" "$RECORDING" "$ROOT/assets/sound/start.mp3" "$ROOT/assets/sound/zapper.wav"
