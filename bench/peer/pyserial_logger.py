#!/usr/bin/python3
"""The logger a user would otherwise write for the QV-5300: Python 3 with pyserial.

Polls the sensor (RTS and DTR on, break off), reads one record up to its CR, switches the
lines off again (RTS and DTR off, break on), parses the record, appends one log line in the
program's format and flushes it to the disk (flush + fdatasync, as the program does for
every line). On a pseudo-terminal the line calls fail; the failures are caught and ignored,
as the program ignores its status codes.

--interval 0 (the benchmark's setting) polls again as soon as a record has been handled:
one poll per record. A positive interval waits for the next tick and discards what arrived
in between, as a 1-second poller would.

--latency-file appends the CLOCK_MONOTONIC time in nanoseconds at which each line had been
written and synced, one per line. Ends on SIGTERM/SIGINT or after --seconds; prints one
JSON object on stdout.
"""

import argparse
import errno
import json
import os
import re
import resource
import signal
import sys
import time

import serial

RECORD = re.compile(rb"H([ .0-9]{5}) *T([ .0-9-]{5}) *\r$")
stop = False


def on_signal(signum, frame):
    global stop
    stop = True


def set_lines(port, on):
    for action in (lambda: setattr(port, "rts", on), lambda: setattr(port, "dtr", on),
                   lambda: setattr(port, "break_condition", not on)):
        try:
            action()
        except (OSError, serial.SerialException):
            pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", required=True, help="device path, e.g. PORTS/com2")
    ap.add_argument("--log", required=True)
    ap.add_argument("--latency-file")
    ap.add_argument("--interval", type=float, default=0.0)
    ap.add_argument("--seconds", type=float, default=0.0)
    args = ap.parse_args()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    port = serial.Serial(args.port, 9600, bytesize=8, parity="N", stopbits=1, timeout=2.0,
                         exclusive=True)
    log = open(args.log, "a", newline="")
    latency = open(args.latency_file, "w") if args.latency_file else None
    records = 0
    end = time.monotonic() + args.seconds if args.seconds > 0 else None
    next_tick = time.monotonic()
    while not stop and (end is None or time.monotonic() < end):
        if args.interval > 0:
            next_tick += args.interval
            time.sleep(max(0.0, next_tick - time.monotonic()))
            port.reset_input_buffer()
        set_lines(port, True)
        try:
            raw = port.read_until(b"\r")
        except (OSError, serial.SerialException):
            break
        set_lines(port, False)
        # Anything before the H (noise, a broken record) is skipped.
        start = raw.rfind(b"H")
        m = RECORD.match(raw[start:]) if start >= 0 else None
        if not m:
            continue
        try:
            humidity = float(m.group(1))
            temperature = float(m.group(2))
        except ValueError:
            continue
        line = time.strftime("%m/%d/%Y\t%H:%M:%S\t") + "%4.1f\t%4.1f\r\n" % (humidity, temperature)
        log.write(line)
        log.flush()
        try:
            os.fdatasync(log.fileno())
        except OSError as e:
            # EINVAL and EROFS only say that this kind of file cannot be synchronised.
            if e.errno not in (errno.EINVAL, errno.EROFS):
                raise
        records += 1
        if latency:
            latency.write("%d\n" % time.monotonic_ns())
    log.close()
    if latency:
        latency.close()
    usage = resource.getrusage(resource.RUSAGE_SELF)
    print(json.dumps({"records": records, "utime_s": usage.ru_utime, "stime_s": usage.ru_stime,
                      "maxrss_kb": usage.ru_maxrss}))
    return 0


if __name__ == "__main__":
    sys.exit(main())
