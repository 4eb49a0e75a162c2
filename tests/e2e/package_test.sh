#!/bin/sh
# Makes the download package, unpacks it into an empty folder outside the
# source tree and runs the demo from there: shaped window, sprite, music or
# its error box, exit code 0. Libraries of the system's names lie beside it,
# preferred to the system's own: none may be loaded. Among them mciqtz32, the
# handler winmm loads by name to play the demo's MP3.
#   package_test.sh BUILD_DIR DEMO_E2E_EXE STARTUP_E2E_EXE PLANTED_LIBRARY
set -eu
WINE_BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/../../scripts/wine-env.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

(cd "$WINE_BUILD_DIR" && cpack -G ZIP -B "$WORK/cpack" >/dev/null)
ZIP=$(ls "$WORK"/cpack/prompt-demo-*-win32.zip)
echo "package: $(basename "$ZIP"), $(unzip -Z1 "$ZIP" | grep -c -v '/$') files"
mkdir "$WORK/unpacked"
unzip -q "$ZIP" -d "$WORK/unpacked"
PACKAGE=$(ls -d "$WORK"/unpacked/prompt-demo-*)
for file in demo.exe sample.exe README.txt bmp/chr01.bmp sound/start.mp3 sound/zapper.wav picture/backdrop.jpg picture/ball.png; do
    [ -f "$PACKAGE/$file" ] || { echo "the package lacks $file"; exit 1; }
done

for name in winmm atl msimg32 mciqtz32; do
    cp "$4" "$PACKAGE/$name.dll"
done

export PACKAGE_DIR="$PACKAGE" DEMO_EXE="$PACKAGE/demo.exe"
# A library found beside a program is taken before the system's own (as
# Windows does for those not among its known DLLs); Wine does so only when told.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winmm,atl,msimg32,mciqtz32=n,b"
# A planted library that is loaded may stop the demo short: the mark is
# looked for whatever the drivers answer.
STATUS=0
wine "$3" --gtest_filter='StartupTest.WindowIsShapedPlacedAndBlack:StartupTest.CloseEndsTheProcessWithZero' 2>/dev/null ||
    STATUS=$?
[ $STATUS -ne 0 ] || wine "$2" --gtest_filter='DemoTest.SpriteAppearsAtItsStartOnBlack' 2>/dev/null || STATUS=$?
if [ -e "$PACKAGE/planted-library-loaded.txt" ]; then
    echo "a library planted beside the demo was loaded"
    exit 1
fi
echo "no library planted beside the demo was loaded"
exit $STATUS
