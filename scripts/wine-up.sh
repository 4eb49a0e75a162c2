#!/bin/sh
# Prepares and starts what Windows programs of a build tree run in:
#   wine-up.sh BUILD_DIR [--use-display]
# an Xvfb display (or the caller's own desktop and audio with --use-display),
# the build tree's 32-bit Wine prefix (made once: virtual desktop, fonts), a
# PulseAudio null sink that tests record, and a pre-started wineserver. wine-down.sh stops them again.
# With WINE_DPI (wine-env.sh), after the 96-dpi one is up: that scale's
# display, its prefix (a copy of the 96-dpi one with LogPixels set) and its
# wineserver; the audio sink is the 96-dpi one's.
set -eu
WINE_BUILD_DIR=$(cd "$1" && pwd)
USE_DISPLAY=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/wine-env.sh"
STATE="$WINE_STATE_DIR"
mkdir -p "$STATE"
# At a scale, a desktop with room for the programs' screens twice as large
# and for full screen at three times.
SCREEN=1280x1024
DESKTOP=1024x768
if [ "$STATE" != "$WINE_AUDIO_DIR" ]; then
    SCREEN=1920x1440
    DESKTOP=1920x1440
fi

# Whether the pid file names a live process of ours running that program (a
# stale file may name a pid that has since been reused).
alive() {
    [ -f "$1" ] || return 1
    pid=$(cat "$1")
    kill -0 "$pid" 2>/dev/null && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "$2"
}

start_display() {
    if [ "$USE_DISPLAY" = "--use-display" ] && [ -n "${DISPLAY:-}" ]; then
        echo "$DISPLAY" > "$STATE/display"
        return
    fi
    if alive "$STATE/xvfb.pid" Xvfb && [ -s "$STATE/display" ]; then
        return
    fi
    # Xvfb picks a free display itself and writes its number once it is ready,
    # so two runs at once never take the same one. setsid and no shared pipes:
    # a background child holding ctest's output open makes it wait.
    rm -f "$STATE/display" "$STATE/display.number"
    setsid Xvfb -displayfd 3 -screen 0 "${SCREEN}x24" -nolisten tcp \
        3>"$STATE/display.number" </dev/null >"$STATE/xvfb.log" 2>&1 &
    echo $! > "$STATE/xvfb.pid"
    tries=0
    until [ -s "$STATE/display.number" ]; do
        tries=$((tries + 1))
        [ $tries -lt 300 ] || { echo "wine-up: Xvfb did not start" >&2; cat "$STATE/xvfb.log" >&2; exit 1; }
        sleep 0.1
    done
    echo ":$(tr -d '[:space:]' <"$STATE/display.number")" > "$STATE/display"
}

start_pulseaudio() {
    [ "$STATE" = "$WINE_AUDIO_DIR" ] || return 0 # a scale's state shares the 96-dpi sink
    # On a desktop the sound goes to the user's own audio, not to a private sink.
    rm -f "$STATE/private-audio"
    [ "$USE_DISPLAY" = "--use-display" ] && return 0
    command -v pulseaudio >/dev/null || return 0
    touch "$STATE/private-audio"
    . "$HERE/wine-env.sh"
    mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
    if alive "$STATE/pulse.pid" pulseaudio; then
        return
    fi
    # Modules may be loaded later: the sound test unloads the sink and loads it
    # again, as a device that is unplugged and plugged back in.
    setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --log-target="file:$STATE/pulse.log" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native" \
        --load="module-null-sink sink_name=vsink rate=44100 channels=2" \
        </dev/null >/dev/null 2>&1 &
    echo $! > "$STATE/pulse.pid"
    tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || { echo "wine-up: PulseAudio did not start" >&2; exit 1; }
        sleep 0.1
    done
}

# Wine draws the caption buttons with its Marlett font, which this Wine does
# not find where the package puts it: without it they show as letters.
add_marlett() {
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# A scale's prefix: the ready 96-dpi prefix copied, and Wine's desktop scale
# set in it (read by processes started after its wineserver).
make_scaled_prefix() {
    [ -f "$WINEPREFIX/.ready" ] && return
    [ -f "$WINE_AUDIO_DIR/prefix/.ready" ] || { echo "wine-up: the 96-dpi prefix is not ready" >&2; exit 1; }
    rm -rf "$WINEPREFIX"
    cp -a "$WINE_AUDIO_DIR/prefix" "$WINEPREFIX"
    rm -f "$WINEPREFIX/.ready"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$WINE_DPI" /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$DESKTOP" /f </dev/null >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/.ready"
}

make_prefix() {
    . "$HERE/wine-env.sh"
    [ "$STATE" = "$WINE_AUDIO_DIR" ] || { make_scaled_prefix; return; }
    [ -f "$WINEPREFIX/.ready" ] && { add_marlett; return; }
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >"$STATE/wineboot.log" 2>&1
    wineserver -w
    # A virtual desktop: Windows-style frames, one desktop for every process,
    # and exit codes passed through.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$DESKTOP" /f </dev/null >/dev/null 2>&1
    # The console asks for the Japanese fixed-pitch system face; map it to IPAGothic.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d IPAGothic /f </dev/null >/dev/null 2>&1
    wineserver -w
    add_marlett
    touch "$WINEPREFIX/.ready"
}

start_wineserver() {
    . "$HERE/wine-env.sh"
    setsid wineserver -p </dev/null >/dev/null 2>&1 || true
    setsid wine wineboot </dev/null >/dev/null 2>&1
}

start_display
start_pulseaudio
make_prefix
start_wineserver
echo "wine-up: display $(cat "$STATE/display"), prefix $STATE/prefix"
