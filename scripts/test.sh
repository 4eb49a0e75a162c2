#!/bin/sh
# Installs what is missing, builds, and runs every test under Wine.
#   scripts/test.sh            (build tree: ./build, or $BUILD_DIR)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}

"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh" "$BUILD"

# The pure parts first, natively: quick, and no Wine needed.
cmake -S "$ROOT/tests/native" -B "$BUILD/native" -G Ninja >/dev/null
cmake --build "$BUILD/native"
(cd "$BUILD/native" && ctest --output-on-failure --no-tests=error)

# The Wine tests start their display, audio sink and prefix themselves (a
# fixture) and hold them one at a time; the reference check runs beside them.
trap 'for dpi in 144 192; do WINE_DPI=$dpi "$ROOT/scripts/wine-down.sh" "$BUILD"; done; "$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
cd "$BUILD"
ctest --output-on-failure --no-tests=error --parallel 2 --timeout 900
