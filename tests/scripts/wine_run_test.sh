#!/usr/bin/env bash
# Wine starts only inside scripts/wine-run's private namespace: the guard's refusals, the
# ways around the runner (none may start Wine or mount over /dev), and a stopped runner
# leaving nothing behind. Each case runs as pid 1 of a private pid and mount namespace in
# which Wine's entry points (/usr/bin/wine*, /usr/lib/wine/*) are recording stubs, checked
# before the case runs, and /dev is a tmpfs holding a regular file named ttyS0: nothing here
# can start the real Wine or reach a device of the machine, with or without the guard.
# Needs root; exits 77 (skipped) without.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for its namespaces"; exit 77; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
chmod 755 "$T"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cat >"$T/stub" <<EOF
#!/bin/sh
# Wine's stand-in: records the call and whether it saw the test's ttyS0; makes the
# prefix's port folder, as wineboot would.
[ -e /dev/ttyS0 ] && seen="with ttyS0" || seen=clean
echo "\$0 \$* (\$seen)" >>"$T/calls"
[ -z "\$WINEPREFIX" ] || mkdir -p "\$WINEPREFIX/dosdevices"
EOF
cat >"$T/sim" <<'EOF'
#!/bin/sh
# The simulator's stand-in: makes its port link and waits to be ended.
while [ $# -gt 0 ]; do
    case $1 in --port) port=$2; shift ;; --ports-dir) dir=$2; shift ;; esac
    shift
done
ln -s /dev/null "$dir/com$port"
exec sleep 300
EOF
cat >"$T/command" <<'EOF'
#!/bin/sh
# The runner's COMMAND: notes its pid, and when ended whether the prefix was still there.
trap '[ -d "$WINEPREFIX" ] && : >"$T/prefix-kept"; exit 143' TERM
echo $$ >"$T/command.pid"
while :; do sleep 1; done
EOF
printf '#!/bin/sh\necho fake\n' >"$T/fake"
mkdir -p "$T/fakes" "$T/build/package/QV-5300"
for f in fakes/cmake fakes/x86_64-w64-mingw32-g++-posix; do cp "$T/fake" "$T/$f"; done
touch "$T/build/package/QV-5300/QV-5300.exe" "$T/build/package/QV-5300-0-setup.exe" \
    "$T/build/package/QV-5300-0-win64.zip" "$T/windows.md"
chmod 755 "$T/stub" "$T/sim" "$T/command" "$T/fake" "$T"/fakes/*
cat >"$T/prelude" <<'EOF'
mkdir -p "$T/usr" && mount -t tmpfs tmpfs "$T/usr" && mkdir "$T/usr/up" "$T/usr/work"
mount -t overlay overlay -o "lowerdir=/usr,upperdir=$T/usr/up,workdir=$T/usr/work" /usr
shopt -s nullglob
entries() {
    for f in /usr/bin/{wine,wine64,wineboot,wineserver} /usr/bin/wine* \
        /usr/lib/wine/{wine,wine64,wineserver} /usr/lib/wine/*; do
        [ -d "$f" ] && [ ! -L "$f" ] || echo "$f"
    done | sort -u
}
for f in $(entries); do rm -f "$f" && install -D "$T/stub" "$f"; done
for f in $(entries); do cmp -s "$f" "$T/stub" || { echo "no stub at $f"; exit 99; }; done
mount -t tmpfs -o mode=0755 tmpfs /dev
mknod -m 666 /dev/null c 1 3 && ln -s /proc/self/fd /dev/fd && touch /dev/ttyS0
dev_mounts() { awk '$5 ~ "^/dev(/|$)"' /proc/self/mountinfo; }
EOF

# Runs shell code $1 as pid 1 of a private pid and mount namespace, after the prelude;
# whatever is left running when it ends goes with it.
sandbox() {
    : >"$T/calls"
    chmod 666 "$T/calls"
    unshare --mount --propagation private --pid --fork --mount-proc -- \
        env T="$T" repo="$repo" bash -euo pipefail -c '. "$T/prelude"; '"$1"
}

# The guard, on the /dev the runner makes with one thing changed (code run before it).
# name | change | exit status | reason
guard_rows=(
    "the /dev the runner makes||0|"
    "the machine's devtmpfs|mount -t devtmpfs devtmpfs /dev|2|/dev is devtmpfs"
    "a tmpfs the runner did not make|rm /dev/.qv-wine-run|2|not made by scripts/wine-run"
    "the runner's /dev from a namespace within|as=(unshare --mount)|2|not made by scripts/wine-run"
    "a serial port's name|touch /dev/ttyS0|2|visible: /dev/ttyS0"
    "a USB serial port's name|touch /dev/ttyUSB0|2|visible: /dev/ttyUSB0"
    "a console|touch /dev/console|2|visible: /dev/console"
    "a node of another name|mknod /dev/extra c 1 3|2|unexpected device /dev/extra"
    "a known name with other numbers|rm /dev/null; mknod -m 666 /dev/null c 1 5|2|unexpected device /dev/null"
    "a block device|mknod /dev/disk b 7 0|2|unexpected device /dev/disk"
    "not root|as=(setpriv --reuid=65534 --regid=65534 --clear-groups)|2|not root"
)
for row in "${guard_rows[@]}"; do
    IFS='|' read -r name change want reason <<<"$row"
    status=0
    sandbox ". \"\$repo/scripts/lib/wine-dev.sh\"; qv_wine_make_dev; as=(); $change
        \"\${as[@]}\" \"\$repo/scripts/lib/wine-guard\" wine probe.exe 2>\"\$T/err\"" || status=$?
    want_calls=""
    [ "$want" != 0 ] || want_calls="/usr/lib/wine/wine64 probe.exe (clean)"
    [ "$status" = "$want" ] && [ "$(cat "$T/calls")" = "$want_calls" ] &&
        if [ -n "$reason" ]; then [ "$(wc -l <"$T/err")" = 1 ] && grep -qF -- "$reason" "$T/err"
        else [ ! -s "$T/err" ]; fi ||
        fail "guard, $name: status $status, calls [$(cat "$T/calls")], $(cat "$T/err")"
done

# The ways around the runner: each must neither start Wine nor mount over /dev.
# name | exit status | command
emulator=$(printf 'include("%s")\nmessage("${CMAKE_CROSSCOMPILING_EMULATOR}")\n' \
    "$repo/cmake/toolchain-mingw64.cmake" >"$T/emulator.cmake" &&
    "${CMAKE_COMMAND:-cmake}" -P "$T/emulator.cmake" 2>&1)
forged="QV_WINE_OUTER_NS=mnt:[1] QV_WINE_WORK=$T"
ways=(
    "the cross build's test emulator|2|$(IFS=';' && printf '%q ' $emulator) probe.exe"
    "wine-run --inside told a false namespace|2|$forged $repo/scripts/wine-run --inside true"
    "wine-run --inside in its caller's namespace|2|$forged unshare --mount $repo/scripts/wine-run --inside true"
    "screenshots-windows --inside told a false namespace|2|$forged $repo/scripts/screenshots-windows --inside x.exe $T"
    "bench-windows reading Wine's version|0|mount --bind $T/fake $repo/scripts/package-windows &&
        mount --bind $T/windows.md $repo/bench/windows.md &&
        PATH=$T/fakes:\$PATH QV_WIN_BUILD_DIR=$T/build $repo/scripts/bench-windows --rounds 0"
)
for row in "${ways[@]}"; do
    IFS='|' read -r -d '' name want command <<<"$row" || true
    status=0
    ROW="$command" sandbox 'before=$(dev_mounts); status=0
        (eval "$ROW") </dev/null >"$T/out" 2>&1 || status=$?
        [ "$(dev_mounts)" = "$before" ] || echo mounted >>"$T/calls"
        exit "$status"' || status=$?
    [ "$status" = "$want" ] && [ ! -s "$T/calls" ] ||
        fail "way around, $name: status $status, calls [$(cat "$T/calls")], $(tail -n 3 "$T/out")"
done

# A runner stopped by a signal: COMMAND hears of it while the prefix is still there, and
# when the runner has ended nothing it started is left and its folder is gone.
for signal in TERM INT HUP; do
    rm -rf "$T/tmp" "$T/command.pid" "$T/prefix-kept" && mkdir "$T/tmp"
    problems=$(SIGNAL=$signal sandbox '
        env --default-signal=INT TMPDIR="$T/tmp" QV_SENSOR_SIM="$T/sim" \
            "$repo/scripts/wine-run" --sensor 1 -- "$T/command" 2>"$T/out" &
        outer=$!
        disown
        for _ in $(seq 600); do [ -s "$T/command.pid" ] && break; sleep 0.05; done
        running() { read -r _ _ state _ <"/proc/$1/stat" && [ "$state" != Z ]; } 2>/dev/null
        kill -s "$SIGNAL" "$outer"
        for _ in $(seq 1200); do running "$outer" || break; sleep 0.05; done
        for p in /proc/[0-9]*; do
            [ "$p" != /proc/1 ] && running "${p#/proc/}" && echo "left running: $(cat "$p/comm")"
        done
        [ -e "$T/prefix-kept" ] || echo "COMMAND not ended, or after the prefix"
        ! compgen -G "$T/tmp/qv-wine-run.*" >/dev/null || echo "work folder left"
        grep -v "(clean)$" "$T/calls" || true') || problems+=" (status $?)"
    [ -z "$problems" ] || fail "runner stopped by $signal: $problems; $(tail -n 3 "$T/out")"
done
exit "$failed"
