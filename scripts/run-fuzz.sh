#!/bin/sh
# Loads COUNT mutated image files with the runtime's loader under Wine and
# prints one summary line; fails on a crash, a hang, an inconsistent state,
# a GDI object kept, or memory growth.
#   scripts/run-fuzz.sh COUNT [START]    (after scripts/build.sh build)
#   scripts/run-fuzz.sh --selftest       a kept bitmap and a crash must be caught
# FUZZ_ROUTE=alpha loads through the imaging component (PictureLoadWithAlpha's way).
# Files are made by tools/fuzz/make_fuzz_images.py from tests/data/fuzz-seeds;
# the same COUNT and START always give the same files.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${BUILD_DIR:-$ROOT/build}" && pwd)
BATCH=250
MAX_GROWTH_KB=16384
ROUTE=${FUZZ_ROUTE:-platform}
# A folder for each route and for the self-test, so that runs at once do not share one.
WORK="$BUILD/fuzz-$ROUTE"
[ "${1:-}" = "--selftest" ] && WORK="$BUILD/fuzz-selftest"
RUNNER="$BUILD/fuzz_loader.exe"

if [ ! -s "$BUILD/wine/display" ]; then
    "$ROOT/scripts/wine-up.sh" "$BUILD" >/dev/null
    trap '"$ROOT/scripts/wine-down.sh" "$BUILD"' EXIT INT TERM
fi
WINE_BUILD_DIR=$BUILD
. "$ROOT/scripts/wine-env.sh"

windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# Runs one list; its output in $1.out. A crashed or hung batch shows no summary line.
run_list() {
    status=0
    timeout 300 wine "$RUNNER" "$(windows_path "$1")" "$ROUTE" >"$1.out" 2>/dev/null || status=$?
    grep -q '^batch ' "$1.out" && [ $status -eq 0 ]
}

warm_lines() {
    for seed in "$ROOT"/tests/data/fuzz-seeds/*; do printf 'warm %s\n' "$(windows_path "$seed")"; done
}

if [ "${1:-}" = "--selftest" ]; then
    rm -rf "$WORK" && mkdir -p "$WORK"
    seed=$(windows_path "$ROOT/tests/data/fuzz-seeds/bmp-24.bmp")
    { warm_lines; printf 'load %s\nkeep-bitmap\n' "$seed"; } >"$WORK/keep.txt"
    printf 'load %s\ncrash\n' "$seed" >"$WORK/crash.txt"
    run_list "$WORK/keep.txt" || true
    kept=$(sed -n 's/.* gdi-kept \([-0-9]*\) .*/\1/p' "$WORK/keep.txt.out")
    crashed=0
    run_list "$WORK/crash.txt" || crashed=1
    echo "fuzz self-test: a kept bitmap counted as ${kept:-none}, a crash $([ $crashed -eq 1 ] && echo caught || echo missed)"
    [ "${kept:-0}" -ge 1 ] && [ $crashed -eq 1 ]
    exit
fi

COUNT=$1
START=${2:-0}
rm -rf "$WORK" && mkdir -p "$WORK"
python3 "$ROOT/tools/fuzz/make_fuzz_images.py" mutate "$ROOT/tests/data/fuzz-seeds" "$WORK/files" "$COUNT" "$START"
ls "$WORK/files" | split -l $BATCH - "$WORK/batch-"

for names in "$WORK"/batch-*; do
    list="$names.txt"
    { warm_lines; while read -r name; do printf 'load %s\n' "$(windows_path "$WORK/files/$name")"; done <"$names"; } >"$list"
    run_list "$list" && continue
    # A batch that died: each of its files alone, to name the culprits.
    while read -r name; do
        single="$WORK/single-$name.txt"
        { warm_lines; printf 'load %s\n' "$(windows_path "$WORK/files/$name")"; } >"$single"
        status=0
        timeout 60 wine "$RUNNER" "$(windows_path "$single")" "$ROUTE" >"$single.out" 2>/dev/null || status=$?
        if [ $status -eq 124 ]; then
            echo "hang: $name"
        elif [ $status -ne 0 ] || ! grep -q '^batch ' "$single.out"; then
            echo "crash: $name"
        fi
    done <"$names" | tee -a "$WORK/failures.txt"
done

cat "$WORK"/*.out | grep '^file .* \(loaded-\|bitmap-\|png-\)' | sed 's/^file /inconsistent: /' || true
touch "$WORK/failures.txt"
cat "$WORK"/*.out | awk -v route="$ROUTE" -v count="$COUNT" -v limit=$MAX_GROWTH_KB \
    -v crashes="$(grep -c '^crash' "$WORK/failures.txt")" -v hangs="$(grep -c '^hang' "$WORK/failures.txt")" '
    /^batch / { files += $3; loaded += $5; wrong += $7; kept += $9; growth += $11 }
    END {
        printf "fuzz (%s): %d files, %d loaded, %d crashes, %d hangs, %d inconsistent, %d GDI objects kept, memory growth %.1f MB\n",
            route, count, loaded, crashes, hangs, wrong, kept, growth / 1048576
        if (files + crashes + hangs < count) printf "only %d of the %d files were loaded\n", files, count
        exit (crashes + hangs + wrong > 0 || kept > 0 || growth / 1024 > limit || files + crashes + hangs < count) ? 1 : 0
    }'
