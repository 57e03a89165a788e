#!/usr/bin/env bash
# The Mosquitto broker of the publish tests: on 127.0.0.1 only, anonymous clients refused,
# one user (its name and password in DIR/credentials, "USER PASSWORD"), sessions kept on
# disk in DIR so that a subscriber's queued messages survive a restart of the broker.
#
# Usage: test_broker.sh serve DIR PORT
#            writes DIR/mosquitto.conf, DIR/passwd and DIR/credentials, then becomes the
#            broker (exec), its log in DIR/mosquitto.log. The Linux tests start, stop and
#            pause it themselves.
#        test_broker.sh around COMMAND [ARG]...
#            a broker on a free port for the life of COMMAND, which finds it through
#            QV_TEST_MQTT_PORT, QV_TEST_MQTT_USER and QV_TEST_MQTT_PASSWORD: for test
#            programs that cannot start it (the Windows ones, under Wine).
set -euo pipefail
user=qv-test
password=qv-secret
mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)

case ${1:-} in
serve)
    dir=$2
    port=$3
    mosquitto_passwd -b -c "$dir/passwd" "$user" "$password" >/dev/null 2>&1
    echo "$user $password" >"$dir/credentials"
    cat >"$dir/mosquitto.conf" <<EOF
listener $port 127.0.0.1
allow_anonymous false
password_file $dir/passwd
persistence true
persistence_location $dir/
autosave_interval 0
log_dest file $dir/mosquitto.log
log_type error
log_type warning
user $(id -un)
EOF
    exec "$mosquitto" -c "$dir/mosquitto.conf"
    ;;
around)
    shift
    [ $# -gt 0 ] || { echo "test_broker.sh around: no command" >&2; exit 2; }
    dir=$(mktemp -d "${TMPDIR:-/tmp}/qv-test-broker.XXXXXX")
    broker=""
    cleanup() {
        [ -z "$broker" ] || { kill "$broker" 2>/dev/null || true; wait "$broker" 2>/dev/null || true; }
        rm -rf "$dir"
    }
    trap cleanup EXIT
    # A port nobody listens on; the broker refuses to start on one taken meanwhile.
    for _ in $(seq 20); do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
        "$0" serve "$dir" "$port" </dev/null &
        broker=$!
        for _ in $(seq 100); do
            kill -0 "$broker" 2>/dev/null || break
            (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break 2
            sleep 0.05
        done
        kill "$broker" 2>/dev/null || true
        wait "$broker" 2>/dev/null || true
        broker=""
    done
    [ -n "$broker" ] || { echo "test_broker.sh: the broker did not start" >&2; cat "$dir/mosquitto.log" >&2 2>/dev/null || true; exit 1; }
    QV_TEST_MQTT_PORT=$port QV_TEST_MQTT_USER=$user QV_TEST_MQTT_PASSWORD=$password "$@" && status=0 || status=$?
    exit "$status"
    ;;
*)
    echo "usage: test_broker.sh serve DIR PORT | around COMMAND..." >&2
    exit 2
    ;;
esac
