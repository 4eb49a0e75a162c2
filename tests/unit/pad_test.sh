#!/bin/sh
# Runs the pad tests against the stand-in XInput (Wine has no pad here): it is
# the prefix's system xinput1_4.dll for this run only, taken before Wine's own.
#   pad_test.sh BUILD_DIR PAD_TESTS_EXE STAND_IN_DLL SCRIPT [ARGS...]
set -eu
WINE_BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/../../scripts/wine-env.sh"
TESTS=$2 STAND_IN=$3
export XINPUT_SCRIPT="$4"
shift 4
SYSTEM="$WINEPREFIX/drive_c/windows/system32"
# Wine's own library back in place afterwards (a run that was killed left
# its copy aside already).
if [ -e "$SYSTEM/xinput1_4.dll" ] && [ ! -e "$SYSTEM/xinput1_4.dll.wine" ]; then
    cp "$SYSTEM/xinput1_4.dll" "$SYSTEM/xinput1_4.dll.wine"
fi
trap 'if [ -e "$SYSTEM/xinput1_4.dll.wine" ]; then mv -f "$SYSTEM/xinput1_4.dll.wine" "$SYSTEM/xinput1_4.dll";
      else rm -f "$SYSTEM/xinput1_4.dll"; fi' EXIT
cp "$STAND_IN" "$SYSTEM/xinput1_4.dll"
# wine-env.sh sets the overrides, so a test's environment cannot add to them.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;xinput1_4=n"
status=0
wine "$TESTS" "$@" || status=$?
exit $status
