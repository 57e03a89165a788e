# Sourced by the scripts that build and test: a passing step says little, a failing one
# says what failed. The whole output of each step is kept in a log file.

# Runs a command (a configure or build step) with its output in LOG. Shows the lines that
# are not progress (warnings, errors); on failure also where the log is. Usage:
#   qv_quiet LOG command [arguments...]
qv_quiet() {
    local log=$1 status=0
    shift
    mkdir -p "$(dirname "$log")"
    "$@" >"$log" 2>&1 || status=$?
    # Progress, and Qt's note from the Qt tests listed while building (gtest discovery).
    grep -v -E '^(\[ *[0-9]+%\] |-- |g?make(\[[0-9]+\])?: |Consolidate compiler generated|Scanning dependencies|QStandardPaths: XDG_RUNTIME_DIR not set)' \
        "$log" || true
    [ "$status" -eq 0 ] || echo "failed ($status): $*; the whole output is in $log" >&2
    return "$status"
}

# Runs a ctest command (directly or through a runner such as scripts/wine-run) with its
# output in LOG. Passing: the summary alone. Failing: everything but the passing tests'
# lines, so the failures, their output and the list of failed tests. Usage:
#   qv_tests LOG command [arguments...]
qv_tests() {
    local log=$1 status=0
    shift
    mkdir -p "$(dirname "$log")"
    "$@" >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
        sed -n '/tests passed/,$p' "$log"
    else
        grep -v -E '^ +Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed +[0-9.]+ sec$' "$log" || true
        echo "failed ($status); the whole output is in $log" >&2
    fi
    return "$status"
}
