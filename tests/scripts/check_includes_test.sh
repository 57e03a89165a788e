#!/usr/bin/env bash
# scripts/check-includes on a small tree: each kind of wrong include is reported by file,
# the allowed ones are not, and the status says whether any was found.
set -euo pipefail
check=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-includes
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
put() { mkdir -p "$T/$(dirname "$1")"; printf '#include %s\n' "$2" >"$T/$1"; }

# Wrong: a layer reaching up or aside, Qt or Windows headers where they do not belong.
put serial/up.cpp '"app/main_dialog.h"'
put settings/aside.cpp '"serial/serial_platform.h"'
put app/qt/other_front.cpp '"app/win32/win32_dialog.h"'
put app/up.cpp '"app/headless/log_daemon.h"'
put acquisition/toolkit.h '<QString>'
put trend/platform.cpp '<windows.h>'
# Right: looking down, each front end's own headers, platform files named for it.
put acquisition/down.cpp '"serial/serial_comm.h"'
put app/qt/front.cpp '<QWidget>'
put app/win32/front.cpp '<windows.h>'
put app/headless/front.cpp '"app/main_dialog.h"'
put trend/input_win32.cpp '<windows.h>'
put tests/qt/ui_test.cpp '<QDialog>'

status=0
out=$("$check" "$T") || status=$?
[ "$status" -eq 1 ] || fail "status $status for a tree with wrong includes"
for f in serial/up.cpp settings/aside.cpp app/qt/other_front.cpp app/up.cpp acquisition/toolkit.h trend/platform.cpp; do
    grep -q "^$f: " <<<"$out" || fail "$f not reported"
done
for f in acquisition/down.cpp app/qt/front.cpp app/win32/front.cpp app/headless/front.cpp trend/input_win32.cpp tests/qt/ui_test.cpp; do
    ! grep -q "^$f: " <<<"$out" || fail "$f reported: $(grep "^$f: " <<<"$out")"
done
rm -r "$T/serial" "$T/settings" "$T/app/qt/other_front.cpp" "$T/app/up.cpp" "$T/acquisition/toolkit.h" "$T/trend/platform.cpp"
"$check" "$T" >/dev/null || fail "a tree without wrong includes fails"
exit "$failed"
