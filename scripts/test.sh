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

"$ROOT/scripts/wine-up.sh" "$BUILD"
trap '"$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
cd "$BUILD"
# Wine tests share one desktop and one audio sink: one at a time.
ctest --output-on-failure --no-tests=error --parallel 1 --timeout 900
