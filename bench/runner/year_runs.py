"""The long logs of the trend view: their making, `wc -l` beside them, their index and
charts, and their opening in the trend window."""

import json
import os
import shutil
import statistics
import subprocess
import time

from runner.gbench import gbench
from runner.procs import log

# The long logs of the trend view: a year of 1-s readings (about 1 GB), and ten years
# (about 10 GB) when the disk has room for it and a margin.
YEAR_DAYS = 365
DECADE_DAYS = 3650
DECADE_ROOM_BYTES = 16 * 1024 ** 3


def make_log(build, path, days):
    exe = os.path.join(build, "bench", "qv_bench_make_log")
    log("writing %d days of 1-s readings to %s" % (days, path))
    start = time.monotonic()
    out = subprocess.run([exe, path, str(days)], check=True, capture_output=True, text=True)
    return {"lines": int(out.stdout.strip()), "bytes": os.path.getsize(path),
            "seconds": time.monotonic() - start}


def time_wc(path, rounds):
    """wc -l on the warm file: the floor of a reader that only splits lines."""
    subprocess.run(["wc", "-l", path], check=True, capture_output=True)  # warms the cache
    walls = []
    for _ in range(rounds):
        start = time.monotonic()
        subprocess.run(["wc", "-l", path], check=True, capture_output=True)
        walls.append(time.monotonic() - start)
    return statistics.median(walls)


def run_trend_open(build, box, path, rounds):
    """Opening a long log in the Qt trend window while the program logs at 1 s."""
    exe = os.path.join(build, "bench", "qv_bench_trend_open")
    if not os.path.exists(exe):
        return None
    runs = []
    for k in range(rounds):
        log("opening %s in the trend window, round %d of %d" % (os.path.basename(path), k + 1,
                                                               rounds))
        with open("/proc/loadavg") as f:
            load = float(f.read().split()[0])
        out = subprocess.run([exe, "--open", path], env=box.env, check=True,
                             capture_output=True, text=True, timeout=900).stdout
        d = json.loads(out.strip().splitlines()[-1])
        d["load"] = load
        runs.append(d)
    return runs


def run_year(build, box, quick):
    """The year log: its index, its charts, wc -l beside it, and its opening in the window;
    then the ten-year log where the disk has room (full mode)."""
    out = {}
    year = box.path("year.log")
    out["year_file"] = make_log(build, year, YEAR_DAYS)
    out["wc_s"] = time_wc(year, 3 if quick else 5)
    out["bench"] = gbench(build, "qv_bench_trend", quick,
                          ["--benchmark_filter=Year|IndexYear"],
                          env=dict(os.environ, QV_BENCH_YEAR_LOG=year))
    out["open"] = run_trend_open(build, box, year, 1 if quick else 3)
    os.remove(year)
    if not quick:
        free = shutil.disk_usage(box.root).free
        if free >= DECADE_ROOM_BYTES:
            decade = box.path("decade.log")
            try:
                out["decade_file"] = make_log(build, decade, DECADE_DAYS)
                out["decade_open"] = run_trend_open(build, box, decade, 1)
            finally:
                if os.path.exists(decade):
                    os.remove(decade)
        else:
            out["decade_skipped"] = "%.1f GB free" % (free / 1024 ** 3)
    return out
