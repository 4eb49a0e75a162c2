#!/bin/sh
# scripts/install-deps.sh against a stand-in apt-get (and dpkg, dpkg-query,
# sudo) that make every package look missing and fail as told:
#   install_deps_test.sh INSTALL_DEPS_SCRIPT
set -eu
SCRIPT=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/bin"

# apt-get: "update" fails while $STATE/update-failures-left is above 0
# (APT_UPDATE_FAILURES=always: every time), printing APT_UPDATE_ERROR;
# "install" fails when APT_INSTALL_FAILS=1, and when it is "mixed" unless
# told one release (-t) to take every package from. Every call goes to
# $STATE/calls.
cat >"$WORK/bin/apt-get" <<'STAND_IN'
#!/bin/sh
echo "apt-get $*" >>"$STATE/calls"
case " $* " in
*" update "*)
    left=$(cat "$STATE/update-failures-left")
    if [ "$left" = always ] || [ "$left" -gt 0 ]; then
        [ "$left" = always ] || echo $((left - 1)) >"$STATE/update-failures-left"
        printf '%s\n' "$APT_UPDATE_ERROR"
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
        exit 100
    fi
    echo "Reading package lists..."
    ;;
*" install "*)
    release=no
    case " $* " in *" -t "*) release=yes ;; esac
    if [ "$APT_INSTALL_FAILS" = 1 ] || { [ "$APT_INSTALL_FAILS" = mixed ] && [ $release = no ]; }; then
        echo "E: Unable to locate package wine32:i386"
        exit 100
    fi
    echo "Setting up the packages"
    ;;
esac
STAND_IN
printf '#!/bin/sh\nexit 1\n' >"$WORK/bin/dpkg-query"
printf '#!/bin/sh\necho "dpkg $*" >>"$STATE/calls"\n[ "$1" != --print-foreign-architectures ] || echo i386\n' >"$WORK/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$WORK/bin/sudo"
chmod +x "$WORK/bin/"*

failures=0
check() { # check WHAT GOT WANTED
    if [ "$2" = "$3" ]; then
        echo "ok: $1: $2"
    else
        echo "FAILED: $1: got '$2', wanted '$3'"
        failures=$((failures + 1))
    fi
}

# run NAME UPDATE_FAILURES INSTALL_FAILS: runs the script, leaving its exit
# code in $status and what it printed in $WORK/NAME.out.
run() {
    export STATE="$WORK/$1"
    mkdir "$STATE"
    echo "$2" >"$STATE/update-failures-left"
    : >"$STATE/calls"
    status=0
    PATH="$WORK/bin:$PATH" APT_INSTALL_FAILS=$3 INSTALL_DEPS_UPDATE_PAUSE=0 INSTALL_DEPS_UPDATE_TRIES=4 \
        INSTALL_DEPS_ONLY_PACKAGES=1 sh "$SCRIPT" >"$WORK/$1.out" 2>&1 || status=$?
    echo "--- $1: exit $status, printed:"
    sed 's/^/    /' "$WORK/$1.out"
}
count() { grep -c -- "$1" "$2" || true; }

INDEX=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
APT_UPDATE_ERROR="E: Failed to fetch $INDEX  File has unexpected size (84316 != 84312). Mirror sync in progress? [IP: 151.101.2.132 80]"
export APT_UPDATE_ERROR

# The mirror settles after two failed updates.
run settles 2 0
check "settles: exit code" "$status" 0
check "settles: updates tried" "$(count 'apt-get update' "$STATE/calls")" 3
check "settles: installs tried" "$(count 'apt-get install' "$STATE/calls")" 1
check "settles: the install named wine32:i386" "$(grep 'apt-get install' "$STATE/calls" | grep -c ' wine32:i386 ')" 1
check "settles: retries announced" "$(count 'trying again in 0 s' "$WORK/settles.out")" 2
# Signatures and hashes are checked on every call: no option turns them off.
check "settles: calls that weaken checks" \
    "$(grep -ciE 'allow-unauthenticated|allow-insecure|allowinsecure|allow-downgrade|check-valid-until|force-yes|trusted=yes' "$STATE/calls" || true)" 0

# The mirror stays mid-sync, and the old lists are not enough for the install.
run mid_sync always 1
check "mid_sync: exit code is not 0" "$([ "$status" -ne 0 ] && echo nonzero || echo 0)" nonzero
check "mid_sync: updates tried" "$(count 'apt-get update' "$STATE/calls")" 4
check "mid_sync: installs tried (as they are, then from one release)" "$(count 'apt-get install' "$STATE/calls")" 2
last=$(tail -n 1 "$WORK/mid_sync.out")
check "mid_sync: the last line names the index" "$(echo "$last" | grep -c -F "$INDEX")" 1
check "mid_sync: the last line says the mirror is mid-update" "$(echo "$last" | grep -c 'mirror is in the middle of an update')" 1
check "mid_sync: the last line says to run the same command again" "$(echo "$last" | grep -c 'run the same command again')" 1
check "mid_sync: lines of the script's own at the end" "$(grep -c '^install-deps: could not' "$WORK/mid_sync.out")" 1

# The mirror stays mid-sync; the packages are found in the release's own lists.
run one_release always mixed
check "one_release: exit code" "$status" 0
check "one_release: the second install takes one release" "$(grep 'apt-get install' "$STATE/calls" | tail -1 | grep -c -- '-t ')" 1
check "one_release: it says so" "$(grep -c "^install-deps: installed from .* own lists" "$WORK/one_release.out")" 1

# The lists are fetched, but the install fails.
run install_fails 0 1
check "install_fails: exit code is not 0" "$([ "$status" -ne 0 ] && echo nonzero || echo 0)" nonzero
check "install_fails: updates tried" "$(count 'apt-get update' "$STATE/calls")" 1
check "install_fails: the last line" "$(tail -n 1 "$WORK/install_fails.out")" \
    "install-deps: apt-get install failed (see apt's messages above)"

echo "$failures failed"
[ "$failures" -eq 0 ]
