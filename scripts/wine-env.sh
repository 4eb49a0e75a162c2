# Sourced: the environment every Wine process of a build tree runs in.
# Needs WINE_BUILD_DIR. WINE_DPI (144, 192...) picks a display scale: a copy
# of the prefix with that LogPixels, on a display of its own, so that the
# programs of the 96-dpi prefix are never touched by it; the audio sink is shared.
WINE_AUDIO_DIR="$WINE_BUILD_DIR/wine"
WINE_STATE_DIR="$WINE_AUDIO_DIR"
if [ -n "${WINE_DPI:-}" ] && [ "$WINE_DPI" != 96 ]; then
    WINE_STATE_DIR="$WINE_BUILD_DIR/wine-dpi$WINE_DPI"
fi
export WINEPREFIX="$WINE_STATE_DIR/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No debugger on a crash: it would wait for ever, holding the test's output
# open; the crashed program ends instead, and its test fails.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# The system locale Wine takes from the environment: Japanese unless a test asks for another.
export LANG="${WINE_LOCALE:-ja_JP.UTF-8}"
export LC_ALL="$LANG"
if [ -f "$WINE_STATE_DIR/display" ]; then
    DISPLAY=$(cat "$WINE_STATE_DIR/display")
    export DISPLAY
fi
# The private audio sink, when wine-up.sh made one (not on a desktop).
if [ -f "$WINE_AUDIO_DIR/private-audio" ]; then
    export PULSE_RUNTIME_PATH="$WINE_AUDIO_DIR/pulse"
    export PULSE_STATE_PATH="$WINE_AUDIO_DIR/pulse/state"
    export PULSE_SERVER="unix:$WINE_AUDIO_DIR/pulse/native"
fi
