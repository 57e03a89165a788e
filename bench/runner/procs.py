"""Starting and ending processes, and what /proc says about them.

Every process started through spawn() is in STARTED, so that run_bench.py can end each by
its own id at the end at the latest.
"""

import os
import signal
import subprocess
import time

PYTHON = "/usr/bin/python3"  # Debian's, which has python3-serial
CLK_TCK = os.sysconf("SC_CLK_TCK")


def log(msg):
    print("bench: " + msg, flush=True)


def tasks(pid):
    try:
        return sorted(int(t) for t in os.listdir("/proc/%d/task" % pid))
    except FileNotFoundError:
        return []


def read_status(path):
    out = {}
    try:
        with open(path) as f:
            for line in f:
                key, _, value = line.partition(":")
                out[key] = value.strip()
    except (FileNotFoundError, ProcessLookupError):
        pass
    return out


def snapshot(pid):
    """CPU and context switches of a process, per thread and in total."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime + stime, all threads
    threads = {}
    for tid in tasks(pid):
        st = read_status("/proc/%d/task/%d/status" % (pid, tid))
        try:
            with open("/proc/%d/task/%d/schedstat" % (pid, tid)) as f:
                run_ns = int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            continue
        threads[tid] = {
            "name": st.get("Name", "?"),
            "vol": int(st.get("voluntary_ctxt_switches", 0)),
            "nonvol": int(st.get("nonvoluntary_ctxt_switches", 0)),
            "run_ns": run_ns,
        }
    status = read_status("/proc/%d/status" % pid)
    return {
        "t": time.monotonic(),
        "ticks": ticks,
        "threads": threads,
        "hwm_kb": int(status.get("VmHWM", "0 kB").split()[0]),
        "rss_kb": int(status.get("VmRSS", "0 kB").split()[0]),
    }


def delta(pid, a, b):
    """What happened between two snapshots of the same process."""
    threads = {}
    for tid, tb in b["threads"].items():
        ta = a["threads"].get(tid, {"vol": 0, "nonvol": 0, "run_ns": 0})
        threads[tid] = {
            "name": tb["name"],
            "main": tid == pid,
            "switches": (tb["vol"] - ta["vol"]) + (tb["nonvol"] - ta["nonvol"]),
            "cpu_s": (tb["run_ns"] - ta["run_ns"]) / 1e9,
        }
    return {
        "wall_s": b["t"] - a["t"],
        "cpu_s": sum(t["cpu_s"] for t in threads.values()),
        "cpu_ticks_s": (b["ticks"] - a["ticks"]) / CLK_TCK,
        "switches": sum(t["switches"] for t in threads.values()),
        "threads": threads,
        "hwm_kb": b["hwm_kb"],
    }


def reader_threads(d):
    """The channel's reader is the one thread the program starts itself: it has the
    program's name and is not the main thread. Qt's own threads are named."""
    main = [t for t in d["threads"].values() if t["main"]]
    if not main:
        return []
    return [t for t in d["threads"].values() if not t["main"] and t["name"] == main[0]["name"]]


STARTED = []  # every process this script started, to be ended by id at the end at the latest


def spawn(args, **kwargs):
    proc = subprocess.Popen(args, **kwargs)
    STARTED.append(proc)
    return proc


def stop(proc, timeout=10):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def wait_for(predicate, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return False


def holds_device(pid, device):
    try:
        for fd in os.listdir("/proc/%d/fd" % pid):
            try:
                if os.readlink("/proc/%d/fd/%s" % (pid, fd)) == device:
                    return True
            except OSError:
                pass
    except OSError:
        pass
    return False


def count_lines(path):
    try:
        with open(path, "rb") as f:
            return sum(1 for _ in f)
    except FileNotFoundError:
        return 0
