#!/usr/bin/python3
"""A sensor stand-in that says when it sent each record, for record-to-log latency.

Creates one pseudo-terminal per port, links PORTS/comN to its slave, waits until a program
has opened every one of them, then writes the same record to each port every --pace-ms:
first the body ("H 45.3 T 23.1"), then, 1 ms later, the CR alone (on a 9600-baud line the
bytes come about 1 ms apart). Right after the CR of record k is written to port N, the
CLOCK_MONOTONIC time in nanoseconds is appended to OUT.comN. The order of the ports
alternates from record to record, so neither logger is always served first.

The simulator qv-sensor-sim cannot say when it sent a record; this script exists only for
that figure. Python standard library only.
"""

import argparse
import os
import select
import sys
import time


def open_pty(link):
    master, slave = os.openpty()
    path = os.ttyname(slave)
    os.close(slave)  # a link, not our descriptor, is what the logger opens
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(path, link)
    os.set_blocking(master, False)
    return master


def has_reader(master):
    p = select.poll()
    p.register(master, select.POLLHUP)
    return not any(ev & select.POLLHUP for _, ev in p.poll(0))


def drain(master):
    try:
        while os.read(master, 4096):
            pass
    except (BlockingIOError, OSError):
        pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ports-dir", required=True)
    ap.add_argument("--ports", required=True, help="comma-separated port numbers")
    ap.add_argument("--records", type=int, default=1000)
    ap.add_argument("--pace-ms", type=float, default=20.0)
    ap.add_argument("--out", required=True, help="prefix of the send-time files")
    ap.add_argument("--wait-s", type=float, default=30.0)
    args = ap.parse_args()

    ports = [int(p) for p in args.ports.split(",")]
    masters = {n: open_pty(os.path.join(args.ports_dir, "com%d" % n)) for n in ports}
    deadline = time.monotonic() + args.wait_s
    while not all(has_reader(m) for m in masters.values()):
        if time.monotonic() > deadline:
            print("paced_feeder: no reader on every port", file=sys.stderr)
            return 1
        time.sleep(0.05)
    time.sleep(0.5)  # the readers set their line settings after the open
    for m in masters.values():
        drain(m)

    outs = {n: open("%s.com%d" % (args.out, n), "w") for n in ports}
    pace = args.pace_ms / 1000.0
    next_at = time.monotonic()
    for k in range(args.records):
        order = ports if k % 2 == 0 else list(reversed(ports))
        body = b"H%5.1f T%5.1f" % ((k % 1000) / 10.0, (k % 1600) / 10.0 - 40.0)
        time.sleep(max(0.0, next_at - time.monotonic()))
        for n in order:
            os.write(masters[n], body)
        time.sleep(0.001)
        for n in order:
            os.write(masters[n], b"\r")
            outs[n].write("%d\n" % time.monotonic_ns())
        next_at += pace
        if k % 50 == 0:
            for m in masters.values():
                drain(m)
    time.sleep(0.5)  # let the last records be read before the ports go
    for f in outs.values():
        f.close()
    for n, m in masters.items():
        os.close(m)
        os.unlink(os.path.join(args.ports_dir, "com%d" % n))
    return 0


if __name__ == "__main__":
    sys.exit(main())
