#!/bin/sh
# Installs what is missing, builds, and runs the demo under Wine:
#   scripts/run-demo.sh [demo|sample]
# On a desktop it runs until you close its window. Without a display it runs
# in Xvfb for a few seconds and leaves a screenshot in the build tree.
set -eu
PROGRAM=${1:-demo}
case "$PROGRAM" in
    demo|sample) ;;
    *) echo "usage: $0 [demo|sample]" >&2; exit 2 ;;
esac
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
SECONDS_HEADLESS=${DEMO_SECONDS:-8}

"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh" "$BUILD"

if [ -n "${DISPLAY:-}" ]; then
    "$ROOT/scripts/wine-up.sh" "$BUILD" --use-display
    trap '"$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
    cd "$ROOT/assets"
    "$ROOT/scripts/wine-run.sh" "$BUILD" "$BUILD/$PROGRAM.exe"
else
    "$ROOT/scripts/wine-up.sh" "$BUILD"
    trap '"$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
    # Wine's own processes get the locale (wine-run.sh); this shell does not
    # take it, since a shell started before the locale was made cannot.
    DISPLAY=$(cat "$BUILD/wine/display")
    cd "$ROOT/assets"
    # Wine's and the audio libraries' chatter goes to a log, not to the terminal.
    "$ROOT/scripts/wine-run.sh" "$BUILD" "$BUILD/$PROGRAM.exe" 2>"$BUILD/$PROGRAM-wine.log" &
    program=$!
    sleep "$SECONDS_HEADLESS"
    import -display "$DISPLAY" -window root -crop 1024x768+0+0 +repage "$BUILD/$PROGRAM-screenshot.png"
    echo "run-demo: screenshot in $BUILD/$PROGRAM-screenshot.png"
    # Closed as a user closes it: WM_CLOSE to its window.
    "$ROOT/scripts/wine-run.sh" "$BUILD" taskkill /im "$PROGRAM.exe" >/dev/null 2>&1 || true
    tries=0
    while kill -0 "$program" 2>/dev/null && [ $tries -lt 100 ]; do
        tries=$((tries + 1))
        sleep 0.1
    done
    if kill -0 "$program" 2>/dev/null; then
        echo "run-demo: $PROGRAM.exe did not close within 10 s; ended by force"
        (WINE_BUILD_DIR=$BUILD; . "$ROOT/scripts/wine-env.sh"; wineserver -k) 2>/dev/null || true
        wait "$program" 2>/dev/null || true
    else
        code=0
        wait "$program" || code=$?
        echo "run-demo: $PROGRAM.exe closed, exit code $code"
    fi
fi
