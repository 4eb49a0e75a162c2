#!/bin/sh
# Runs a Windows program under the build tree's Wine:  wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# The test harness (wine-up.sh) must have prepared the prefix and display.
set -eu
WINE_BUILD_DIR=$(cd "$1" && pwd)
shift
. "$(dirname "$0")/wine-env.sh"
exec wine "$@"
