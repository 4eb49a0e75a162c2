#!/bin/sh
# Installs the runtime into an empty prefix, builds examples/hello and
# examples/catch against it as projects of their own (the installed toolchain
# file, find_package), and runs them: HelloTest and CatchTest of sample_e2e.
#   hello_package_test.sh BUILD_DIR HELLO_SOURCE_DIR SAMPLE_E2E_EXE [CATCH_SOURCE_DIR]
set -eu
WINE_BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/../../scripts/wine-env.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

cmake --install "$WINE_BUILD_DIR" --prefix "$WORK/prefix" --component development >/dev/null
ls "$WORK/prefix/lib/libprompt_runtime.a" "$WORK/prefix/include/prompt/prompt.h" >/dev/null
cmake -S "$2" -B "$WORK/hello" -G Ninja -DCMAKE_PREFIX_PATH="$WORK/prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$WORK/prefix/lib/cmake/PromptRuntime/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$WORK/hello"
export HELLO_EXE="$WORK/hello/hello.exe"
if [ -n "${4:-}" ]; then
    cmake -S "$4" -B "$WORK/catch" -G Ninja -DCMAKE_PREFIX_PATH="$WORK/prefix" \
        -DCMAKE_TOOLCHAIN_FILE="$WORK/prefix/lib/cmake/PromptRuntime/toolchain-mingw-i686.cmake" >/dev/null
    cmake --build "$WORK/catch"
    mkdir -p "$WORK/play/sound"
    cp "$4/sound/chime.wav" "$WORK/play/sound/"
    export CATCH_EXE="$WORK/catch/catch.exe" CATCH_DIR="$WORK/play"
fi
wine "$3" 2>/dev/null
