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
    WINE_BUILD_DIR=$BUILD
    . "$ROOT/scripts/wine-env.sh"
    cd "$ROOT/assets"
    wine "$BUILD/$PROGRAM.exe" &
    sleep "$SECONDS_HEADLESS"
    import -display "$DISPLAY" -window root -crop 1024x768+0+0 +repage "$BUILD/$PROGRAM-screenshot.png"
    echo "run-demo: screenshot in $BUILD/$PROGRAM-screenshot.png"
    wineserver -k
    wait 2>/dev/null || true
fi
