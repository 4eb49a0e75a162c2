#!/bin/sh
# Configures and builds the demo, the runtime and the tests:  build.sh BUILD_DIR
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1
cmake -S "$ROOT" -B "$BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD"
