#!/bin/sh
# Stops what wine-up.sh started for a build tree:  wine-down.sh BUILD_DIR
# (with WINE_DPI: that scale's wineserver and display only).
set -u
WINE_BUILD_DIR=$(cd "$1" && pwd)
. "$(dirname "$0")/wine-env.sh"
STATE="$WINE_STATE_DIR"
wineserver -k >/dev/null 2>&1
for name in pulse xvfb; do
    if [ -f "$STATE/$name.pid" ]; then
        kill "$(cat "$STATE/$name.pid")" 2>/dev/null
        rm -f "$STATE/$name.pid"
    fi
done
rm -f "$STATE/display" "$STATE/private-audio"
exit 0
