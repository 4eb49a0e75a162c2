#!/bin/sh
# Makes the runtime's zip, unpacks it into an empty folder, builds every
# example with nothing but the unpacked files and the cross compiler (CMake
# with the package's toolchain file: hello optimised, catch in Debug; hello
# again with one compiler command line through pkg-config), and runs them:
# HelloTest, CatchTest and ShooterTest of sample_e2e.
#   hello_package_test.sh BUILD_DIR SAMPLE_E2E_EXE SOURCE_DIR
set -eu
WINE_BUILD_DIR=$(cd "$1" && pwd)
SOURCE=$3
. "$(dirname "$0")/../../scripts/wine-env.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

(cd "$WINE_BUILD_DIR" && cpack --config CPackRuntimeConfig.cmake -B "$WORK/cpack" >/dev/null)
ZIP=$(ls "$WORK"/cpack/prompt-runtime-*-win32.zip)
echo "package: $(basename "$ZIP"), $(unzip -Z1 "$ZIP" | grep -c -v '/$') files"
mkdir "$WORK/unpacked"
unzip -q "$ZIP" -d "$WORK/unpacked"
PACKAGE=$(ls -d "$WORK"/unpacked/prompt-runtime-*)

# Every header and every file of the examples (their assets too) is there.
missing=0
for folder in include/prompt examples; do
    count=0
    for file in $(cd "$SOURCE" && find "$folder" -type f -not -path '*/build*'); do
        count=$((count + 1))
        [ -f "$PACKAGE/$file" ] || { echo "the package lacks $file"; missing=$((missing + 1)); }
    done
    echo "$folder: $count files in the tree"
done
for file in README.txt docs/runtime.md docs/guide.ja.md; do
    [ -f "$PACKAGE/$file" ] || { echo "the package lacks $file"; missing=$((missing + 1)); }
done
[ "$missing" -eq 0 ]

TOOLCHAIN="$PACKAGE/lib/cmake/PromptRuntime/toolchain-mingw-i686.cmake"
# build NAME [CMAKE_ARGS...]: examples/NAME from the package, built outside it.
build() {
    name=$1
    shift
    cmake -S "$PACKAGE/examples/$name" -B "$WORK/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" "$@" >/dev/null
    found=$(sed -n 's/^PromptRuntime_DIR:PATH=//p' "$WORK/$name/CMakeCache.txt")
    echo "$name: the package found in $found"
    case "$found" in "$PACKAGE"/*) ;; *) echo "$name: not the unpacked package"; exit 1 ;; esac
    cmake --build "$WORK/$name" >/dev/null
}
build hello
build catch -DCMAKE_BUILD_TYPE=Debug
build shooter
library=$(ninja -C "$WORK/catch" -t commands catch | grep -o 'libprompt_runtime[a-z]*\.a' | head -1)
echo "catch in Debug links $library"
[ "$library" = libprompt_runtimed.a ]

mkdir "$WORK/hello-pkg-config"
FLAGS=$(PKG_CONFIG_PATH="$PACKAGE/lib/pkgconfig" pkg-config --cflags --libs prompt-runtime)
echo "pkg-config: $FLAGS"
i686-w64-mingw32-g++-posix "$PACKAGE/examples/hello/hello.cpp" -o "$WORK/hello-pkg-config/hello.exe" -mwindows $FLAGS

HELLO_EXE="$WORK/hello/hello.exe" wine "$2" --gtest_filter='HelloTest.*' 2>/dev/null
HELLO_EXE="$WORK/hello-pkg-config/hello.exe" wine "$2" --gtest_filter='HelloTest.*' 2>/dev/null
# The game plays in its folder of the package, which holds sound\chime.wav.
CATCH_EXE="$WORK/catch/catch.exe" CATCH_DIR="$PACKAGE/examples/catch" wine "$2" --gtest_filter='CatchTest.*' 2>/dev/null
SHOOTER_EXE="$WORK/shooter/shooter.exe" SHOOTER_DIR="$PACKAGE/examples/shooter" wine "$2" --gtest_filter='ShooterTest.*' 2>/dev/null
