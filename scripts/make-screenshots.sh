#!/bin/sh
# Retakes the README's screenshots (docs/demo.png, docs/sample.png) in Xvfb:
# the demo after a few arrow-key presses, the sample after one typed line.
#   scripts/make-screenshots.sh        (after scripts/build.sh build)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
"$ROOT/scripts/wine-up.sh" "$BUILD" >/dev/null
trap '"$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
WINE_BUILD_DIR=$BUILD
. "$ROOT/scripts/wine-env.sh"

# Waits until the virtual desktop shows, and gives it the keyboard.
focus() {
    tries=0
    until window=$(xdotool search --name "Wine desktop" 2>/dev/null | head -1) && [ -n "$window" ]; do
        tries=$((tries + 1))
        [ $tries -lt 600 ] || { echo "make-screenshots: no window" >&2; exit 1; }
        sleep 0.1
    done
    sleep 2 # start-up draws the scene after the window shows
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool mousemove 320 240 click 1 # the program's window takes the keys
}
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
shoot() { import -display "$DISPLAY" -window root -crop 640x460+0+0 +repage "$1"; }

cd "$ROOT/assets"
wine "$BUILD/demo.exe" 2>/dev/null &
focus
hold Right 0.15; hold Up 0.12; hold Right 0.15; hold Down 0.25
sleep 1
shoot "$ROOT/docs/demo.png"
wineserver -k

wine "$BUILD/sample.exe" 2>/dev/null &
focus
xdotool type --delay 120 "hello"
hold Return 0.15
sleep 2
shoot "$ROOT/docs/sample.png"
wineserver -k
wait 2>/dev/null || true
