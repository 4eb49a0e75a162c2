#!/bin/sh
# Installs the runtime into an empty prefix, builds examples/hello against it
# as a project of its own (the installed toolchain file, find_package), and
# runs it: window, text, exit code 0 on WM_CLOSE.
#   hello_package_test.sh BUILD_DIR HELLO_SOURCE_DIR SAMPLE_E2E_EXE
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
wine "$3" 2>/dev/null
