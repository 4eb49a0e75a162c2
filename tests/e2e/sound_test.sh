#!/bin/sh
# Records the audio sink while the demo plays its tune and the space bar is
# pressed twice and then held, and checks what was heard against the assets.
# A watcher follows the recording, so the driver acts when each sound has
# ended rather than after fixed pauses. Then, in a second recording, the
# mixer's schedule (MixerScript in runtime_tests) is played and checked.
#   sound_test.sh BUILD_DIR DEMO_E2E_EXE [RUNTIME_TESTS_EXE]
# SOUND_PARTS="demo mixer" (the default) chooses what runs.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
WINE_BUILD_DIR=$(cd "$1" && pwd)
DRIVER=$2
RUNTIME_TESTS=${3:-}
PARTS=${SOUND_PARTS:-demo mixer}
. "$ROOT/scripts/wine-env.sh"

ARTIFACTS="$WINE_BUILD_DIR/artifacts"
mkdir -p "$ARTIFACTS"
FORMAT="--format=s16le --rate=44100 --channels=2"
SILENCE="" RECORDER="" WATCHER=""
trap 'kill $RECORDER $WATCHER $SILENCE 2>/dev/null || true' EXIT

# The recorder delivers its first data a second or two after it connects, and
# an idle sink gives it none at all: what plays in between is lost. A stream of
# silence keeps the sink running, so the recorder is ready once data arrives.
start_recording() {
    rm -f "$1"
    # shellcheck disable=SC2086
    pacat --playback --raw $FORMAT -d vsink /dev/zero &
    SILENCE=$!
    # shellcheck disable=SC2086
    parec --latency-msec=20 -d vsink.monitor $FORMAT >"$1" &
    RECORDER=$!
}

wait_for_recorder() {
    tries=0
    until [ "$(stat -c %s "$1")" -ge 17640 ]; do # a tenth of a second
        tries=$((tries + 1))
        [ $tries -lt 1500 ] || { echo "the recorder delivered nothing in 30 s"; exit 1; }
        sleep 0.02
    done
}

stop_recording() {
    kill $RECORDER $WATCHER $SILENCE 2>/dev/null || true
    wait $RECORDER 2>/dev/null || true
    RECORDER="" WATCHER="" SILENCE=""
}

case " $PARTS " in *" demo "*)
    RECORDING="$ARTIFACTS/sound.raw"
    PROGRESS="$ARTIFACTS/sounds-heard.txt"
    rm -f "$PROGRESS"
    start_recording "$RECORDING"
    python3 "$HERE/analyse_sound.py" --watch "$RECORDING" "$PROGRESS" &
    WATCHER=$!
    wait_for_recorder "$RECORDING"
    DRIVER_STATUS=0
    SOUND_SCRIPT=1 SOUND_PROGRESS="$PROGRESS" wine "$DRIVER" --gtest_filter=DemoTest.SoundScript 2>/dev/null ||
        DRIVER_STATUS=$?
    stop_recording
    [ $DRIVER_STATUS -eq 0 ] || { echo "the driver failed ($DRIVER_STATUS)"; exit 1; }
    python3 "$HERE/analyse_sound.py" "$RECORDING" "$ROOT/assets/sound/start.mp3" "$ROOT/assets/sound/zapper.wav"
esac

case " $PARTS " in *" mixer "*)
    [ -n "$RUNTIME_TESTS" ] || { echo "no runtime_tests program given for the mixer's part"; exit 1; }
    RECORDING="$ARTIFACTS/mixer.raw"
    EVENTS="$ARTIFACTS/mixer-events.txt"
    CLOCK="$ARTIFACTS/mixer-clock.txt"
    rm -f "$EVENTS"
    start_recording "$RECORDING"
    python3 "$HERE/analyse_sound.py" --clock "$RECORDING" "$CLOCK" &
    WATCHER=$!
    wait_for_recorder "$RECORDING"
    SCRIPT_STATUS=0
    SOUND_EVENTS="$EVENTS" TEST_DATA_DIR="$ROOT/tests/data" \
        wine "$RUNTIME_TESTS" --gtest_filter=MixerScript.* 2>/dev/null || SCRIPT_STATUS=$?
    stop_recording
    [ $SCRIPT_STATUS -eq 0 ] || { echo "the mixer's schedule failed ($SCRIPT_STATUS)"; exit 1; }
    python3 "$HERE/analyse_sound.py" --mixer "$RECORDING" "$EVENTS" "$CLOCK"
esac
