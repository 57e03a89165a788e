#!/usr/bin/python3
"""Runs every benchmark of the QV-5300 logger and writes bench/report.md.

Called by scripts/bench after the release build; reads the programs from BUILD. Each
process this script starts is ended by its own id. The program under test (QV-5300) only
ever runs with a private HOME and XDG_CONFIG_HOME whose port folder holds the simulator's
links, so it can never reach a serial port of this machine.

Usage: run_bench.py --build DIR --out REPORT [--quick]
"""

import argparse
import datetime
import json
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3"  # Debian's, which has python3-serial
CLK_TCK = os.sysconf("SC_CLK_TCK")

# (log sink, trials) of the peer comparison runs.
PEER_RUNS = (("disk", "none"), ("null", "none"), ("null", "no-text"))

TARGETS = {
    "parser_mb_s": 100.0,
    "latency_p99_us": 1000.0,
    "setup_ms": 20.0,
    "idle_core_percent": 0.1,
    "rss_mb": 50.0,
    "cpu_ratio": 5.0,
    "log_lines_m_s": 2.0,
    "chart_ms": 5.0,
    "history_mb": 16.0,
    "year_first_picture_s": 0.5,
    "year_complete_s": 3.0,
    "year_added_mb": 64.0,
    "year_hour_ms": 20.0,
    "year_stall_ms": 20.0,
}

# The long logs of the trend view: a year of 1-s readings (about 1 GB), and ten years
# (about 10 GB) when the disk has room for it and a margin.
YEAR_DAYS = 365
DECADE_DAYS = 3650
DECADE_ROOM_BYTES = 16 * 1024 ** 3


def log(msg):
    print("bench: " + msg, flush=True)


# ---------------------------------------------------------------- process figures

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


# ---------------------------------------------------------------- Google Benchmark

def gbench(build, name, quick, extra=(), env=None):
    exe = os.path.join(build, "bench", name)
    if not os.path.exists(exe):
        return None
    args = [exe, "--benchmark_format=json"]
    if not quick:
        args += ["--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"]
    args += list(extra)
    log("running " + name)
    out = subprocess.run(args, check=True, capture_output=True, text=True, env=env).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("error_occurred"):
            raise SystemExit("%s: %s" % (b["name"], b.get("error_message")))
        if quick or b.get("aggregate_name") == "median":
            results[b.get("run_name", b["name"])] = b
    return results


def run_log_stall(build, quick):
    exe = os.path.join(build, "bench", "qv_bench_log_stall")
    if not os.path.exists(exe):
        return None
    log("running qv_bench_log_stall")
    args = [exe, "--lines", "20" if quick else "100"]
    return json.loads(subprocess.run(args, check=True, capture_output=True, text=True).stdout)


def run_setup_stall(build, quick):
    exe = os.path.join(build, "bench", "qv_bench_setup_stall")
    if not os.path.exists(exe):
        return None
    log("running qv_bench_setup_stall")
    args = [exe, "--presses", "2" if quick else "5"]
    return json.loads(subprocess.run(args, check=True, capture_output=True, text=True).stdout)


def to_ms(b, key):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b[key] * scale


# ---------------------------------------------------------------- environment

class Sandbox:
    """A private HOME and XDG_CONFIG_HOME with a port folder and the program's settings."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="qv-bench-")
        self.home = os.path.join(self.root, "home")
        self.config = os.path.join(self.root, "config")
        self.company = os.path.join(self.config, "Tavrin QV-5300")
        self.ports = os.path.join(self.company, "ports")
        self.runtime = os.path.join(self.root, "runtime")
        for d in (self.home, self.ports, self.runtime):
            os.makedirs(d)
        os.chmod(self.runtime, 0o700)
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=self.config,
                        XDG_RUNTIME_DIR=self.runtime, QT_QPA_PLATFORM="offscreen")

    def path(self, name):
        return os.path.join(self.root, name)

    def write_settings(self, port, interval, log_file):
        with open(os.path.join(self.company, "QV-5300.conf"), "w") as f:
            f.write("[General]\nComPort=%d\nLogInterval=%d\nLogFileName=%s\nAppend=1\n"
                    % (port, interval, log_file))

    def link_target(self, port):
        link = os.path.join(self.ports, "com%d" % port)
        return os.path.realpath(link) if os.path.islink(link) else None

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def start_sim(build, box, port, *options):
    args = [os.path.join(build, "tools", "qv-sensor-sim"), "--ports-dir", box.ports,
            "--port", str(port), "--quiet"] + list(options)
    proc = spawn(args, env=box.env)
    if not wait_for(lambda: box.link_target(port) is not None, 10):
        stop(proc)
        raise SystemExit("qv-sensor-sim did not create com%d" % port)
    return proc


# ---------------------------------------------------------------- the runs

LATENCY_VARIANTS = (
    ("program", []),
    ("bare reader (the machine's floor)", ["--bare"]),
)


def run_latency(build, box, rounds):
    """Rounds of the variants, interleaved, so that each sees the same load."""
    exe = os.path.join(build, "bench", "qv_bench_latency")
    if not os.path.exists(exe):
        return None
    runs = []
    for k in range(rounds):
        for label, extra in LATENCY_VARIANTS:
            log("record-to-screen latency, %s, round %d of %d" % (label, k + 1, rounds))
            out = subprocess.run([exe, "--records", "1000", "--pace-ms", "5"] + extra,
                                 env=box.env, check=True, capture_output=True, text=True).stdout
            d = json.loads(out.strip().splitlines()[-1])
            d["label"] = label
            d["round"] = k + 1
            with open("/proc/loadavg") as f:
                d["load"] = float(f.read().split()[0])
            runs.append(d)
    return runs


def latency_summary(runs, label):
    mine = [r for r in runs or [] if r["label"] == label]
    if not mine:
        return None
    return {"median_us": statistics.median(r["median_us"] for r in mine),
            "p99_us": statistics.median(r["p99_us"] for r in mine),
            "best_p99_us": min(r["p99_us"] for r in mine)}


def run_idle(build, box, seconds, silent):
    exe = os.path.join(build, "app", "QV-5300")
    if not os.path.exists(exe):
        return None
    log("idle, %s simulator, %d s" % ("silent" if silent else "1-second", seconds))
    sim = start_sim(build, box, 1, "--period-ms", "1000", *(["--silent"] if silent else []))
    device = box.link_target(1)
    box.write_settings(1, 1, box.path("idle.log"))
    try:
        prog = spawn([exe], env=box.env, cwd=box.root, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
    except OSError:
        stop(sim)
        raise
    try:
        if not wait_for(lambda: holds_device(prog.pid, device), 15):
            raise SystemExit("QV-5300 did not open COM1 (%s)" % device)
        time.sleep(3)  # start-up done, the first polls answered
        a = snapshot(prog.pid)
        time.sleep(seconds)
        b = snapshot(prog.pid)
        d = delta(prog.pid, a, b)
        d["vmhwm_kb"] = b["hwm_kb"]
        d["threads_named"] = sorted((t["name"], t["main"], t["switches"], round(t["cpu_s"], 4))
                                    for t in d["threads"].values())
        readers = reader_threads(d)
        d["reader_switches"] = sum(t["switches"] for t in readers) if readers else None
        d["reader_threads"] = len(readers)
        main = [t for t in d["threads"].values() if t["main"]][0]
        d["main_switches"] = main["switches"]
        return d
    finally:
        stop(prog)
        stop(sim)


def run_rig_silent(build, box, seconds, trials):
    """The program's parts on a silent simulator: does the reader thread ever wake?"""
    exe = os.path.join(build, "bench", "qv_bench_logger")
    if not os.path.exists(exe):
        return None
    log("silent port, program's parts with trials %s, %d s" % (trials, seconds))
    sim = start_sim(build, box, 6, "--silent")
    proc = spawn([exe, "--ports-dir", box.ports, "--port", "6", "--log", "/dev/null",
                             "--trials", trials], env=box.env, stdout=subprocess.DEVNULL)
    try:
        time.sleep(3)
        a = snapshot(proc.pid)
        time.sleep(seconds)
        b = snapshot(proc.pid)
    finally:
        stop(proc)
        stop(sim)
    d = delta(proc.pid, a, b)
    readers = reader_threads(d)
    return {"trials": trials, "wall_s": d["wall_s"],
            "reader_switches": sum(t["switches"] for t in readers) if readers else None,
            "main_switches": sum(t["switches"] for t in d["threads"].values() if t["main"])}


def run_peer_cpu(build, box, seconds, sink, trials="none"):
    """Both loggers at once, each on its own simulator sending every 10 ms."""
    ours_exe = os.path.join(build, "bench", "qv_bench_logger")
    if not os.path.exists(ours_exe):
        return None
    log("CPU per record, program (trials %s) vs pyserial, logs to %s, %d s"
        % (trials, sink, seconds))
    tag = "%s-%s" % (sink, trials.replace(",", "+"))
    sent = {2: box.path("sent-2-" + tag), 3: box.path("sent-3-" + tag)}
    logs = {2: box.path("ours-%s.log" % tag), 3: box.path("py-%s.log" % tag)}
    if sink == "null":
        logs = {2: "/dev/null", 3: "/dev/null"}
    sims = [start_sim(build, box, n, "--period-ms", "10", "--records-log", sent[n]) for n in (2, 3)]
    ours = spawn([ours_exe, "--ports-dir", box.ports, "--port", "2", "--log", logs[2],
                             "--trials", trials], env=box.env, stdout=subprocess.PIPE, text=True)
    peer = spawn([PYTHON, os.path.join(HERE, "peer", "pyserial_logger.py"),
                             "--port", os.path.join(box.ports, "com3"), "--log", logs[3]],
                            env=box.env, stdout=subprocess.PIPE, text=True)
    try:
        time.sleep(3)
        a = {p.pid: snapshot(p.pid) for p in (ours, peer)}
        sent_a = {n: count_lines(sent[n]) for n in sent}
        time.sleep(seconds)
        b = {p.pid: snapshot(p.pid) for p in (ours, peer)}
        sent_b = {n: count_lines(sent[n]) for n in sent}
    finally:
        for p in (ours, peer):
            stop(p)
        for s in sims:
            stop(s)
    result = {}
    for name, proc, port in (("ours", ours, 2), ("python", peer, 3)):
        d = delta(proc.pid, a[proc.pid], b[proc.pid])
        records = sent_b[port] - sent_a[port]
        final = json.loads(proc.stdout.read().strip().splitlines()[-1])
        result[name] = {
            "records": records,
            "cpu_s": d["cpu_s"],
            "cpu_us_per_record": d["cpu_s"] / records * 1e6 if records else None,
            "switches_per_record": d["switches"] / records if records else None,
            "vmhwm_kb": b[proc.pid]["hwm_kb"],
            "logged_total": final["records"],
            "sent_total": count_lines(sent[port]),
        }
    result["ratio"] = result["python"]["cpu_us_per_record"] / result["ours"]["cpu_us_per_record"]
    result["sink"] = sink
    result["trials"] = trials
    return result


def run_peer_latency(build, box, records, sink):
    ours_exe = os.path.join(build, "bench", "qv_bench_logger")
    if not os.path.exists(ours_exe):
        return None
    log("record-to-log latency, program vs pyserial, logs to %s, %d records" % (sink, records))
    stamps = box.path("sent-%s" % sink)
    lat = {4: box.path("lat-ours-%s" % sink), 5: box.path("lat-py-%s" % sink)}
    logs = {4: box.path("ours-lat-%s.log" % sink), 5: box.path("py-lat-%s.log" % sink)}
    if sink == "null":
        logs = {4: "/dev/null", 5: "/dev/null"}
    feeder = spawn([PYTHON, os.path.join(HERE, "peer", "paced_feeder.py"),
                               "--ports-dir", box.ports, "--ports", "4,5", "--records",
                               str(records), "--pace-ms", "20", "--out", stamps], env=box.env)
    if not wait_for(lambda: box.link_target(4) and box.link_target(5), 10):
        stop(feeder)
        raise SystemExit("paced_feeder did not create its ports")
    ours = spawn([ours_exe, "--ports-dir", box.ports, "--port", "4", "--log", logs[4],
                             "--latency-file", lat[4]], env=box.env, stdout=subprocess.DEVNULL)
    peer = spawn([PYTHON, os.path.join(HERE, "peer", "pyserial_logger.py"), "--port",
                             os.path.join(box.ports, "com5"), "--log", logs[5], "--latency-file",
                             lat[5]], env=box.env, stdout=subprocess.DEVNULL)
    try:
        feeder.wait(records * 0.02 + 60)
    finally:
        for p in (ours, peer):
            stop(p)
        stop(feeder)
    result = {}
    for name, port in (("ours", 4), ("python", 5)):
        with open("%s.com%d" % (stamps, port)) as f:
            sent = [int(x) for x in f]
        with open(lat[port]) as f:
            logged = [int(x) for x in f]
        n = min(len(sent), len(logged))
        us = sorted((logged[i] - sent[i]) / 1000.0 for i in range(n))
        result[name] = {
            "sent": len(sent),
            "logged": len(logged),
            "median_us": us[len(us) // 2] if us else None,
            "p99_us": us[min(len(us) - 1, int(len(us) * 0.99))] if us else None,
        }
    if result["ours"]["median_us"]:
        result["ratio_median"] = result["python"]["median_us"] / result["ours"]["median_us"]
    return result


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


def median_of(runs, key):
    return statistics.median(r[key] for r in runs) if runs else None


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


# ---------------------------------------------------------------- report

def machine():
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    gxx = subprocess.run(["g++", "--version"], capture_output=True, text=True).stdout.splitlines()
    return {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "nproc": os.cpu_count(),
        "cpu": model,
        "kernel": platform.release(),
        "load": load,
        "compiler": gxx[0] if gxx else "?",
        "python": subprocess.run([PYTHON, "--version"], capture_output=True,
                                 text=True).stdout.strip(),
    }


def verdict(ok):
    return "met" if ok else "**missed**"


def fmt(x, digits=1):
    return "n/a" if x is None else ("%.*f" % (digits, x))


def write_report(path, r, quick):
    m = r["machine"]
    L = []
    L.append("# QV-5300 benchmark report")
    L.append("")
    L.append("%s. Machine: %d cores, %s, Linux %s, load average at start %s; %s; %s."
             % (m["date"], m["nproc"], m["cpu"], m["kernel"], m["load"], m["compiler"],
                m["python"]))
    L.append("Mode: %s. This machine is shared: absolute times move with the neighbours' load; "
             "the ratios are the steadier figures." % ("quick (10-second runs)" if quick
                                                       else "full (60-second idle runs)"))
    L.append("")

    L.append("## Targets")
    L.append("")
    L.append("| target | figure | verdict |")
    L.append("|---|---|---|")
    t = r["targets"]
    for name, figure, ok in t:
        L.append("| %s | %s | %s |" % (name, figure, verdict(ok) if ok is not None else "not run"))
    L.append("")

    p = r.get("parser")
    if p:
        L.append("## Reading parser (Google Benchmark, CPU time)")
        L.append("")
        L.append("A stream of 20,000 records: 10 % preceded by line noise, 5 % broken "
                 "(cut short or garbled); \"clean\" has only good records. Whole buffer = "
                 "one feed() call; byte by byte = one call per byte, as the window feeds it.")
        L.append("")
        L.append("| stream | feed | MB/s | records/s |")
        L.append("|---|---|---|---|")
        for key, stream, feed in (("BM_ParserMixedWholeBuffer", "mixed", "whole buffer"),
                                  ("BM_ParserMixedByteByByte", "mixed", "byte by byte"),
                                  ("BM_ParserCleanWholeBuffer", "clean", "whole buffer"),
                                  ("BM_ParserCleanByteByByte", "clean", "byte by byte")):
            b = p.get(key)
            if b:
                L.append("| %s | %s | %.1f | %.2f M |" % (stream, feed, b["bytes_per_second"] / 1e6,
                                                          b["records/s"] / 1e6))
        L.append("")

    lg = r.get("log")
    if lg:
        L.append("## Log line")
        L.append("")
        f, w = lg.get("BM_LogFormatLine"), lg.get("BM_LogWriteRecord/min_time:2.000/real_time")
        L.append("| step | wall per line | CPU per line |")
        L.append("|---|---|---|")
        if f:
            L.append("| formatLine only | %.2f µs | %.2f µs |" % (to_ms(f, "real_time") * 1e3,
                                                                to_ms(f, "cpu_time") * 1e3))
        if w:
            L.append("| writeRecord: format, write, fdatasync, count | %.1f µs | %.1f µs |"
                     % (to_ms(w, "real_time") * 1e3, to_ms(w, "cpu_time") * 1e3))
        L.append("")
        L.append("Nearly all of a line's wall time is the per-line fdatasync (the disk's "
                 "round trip); the CPU column counts the calling thread only.")
        L.append("")

    st = r.get("log_stall")
    if st:
        L.append("## Log line on a slow disk: user-interface stall")
        L.append("")
        L.append("Each line's sync made %d ms slower through the log file seam; per line, the "
                 "time spent in the log's user-interface-thread calls (`writeRecord` and the "
                 "handling of the writer thread's `WM_LOG_LINE_DONE`)." % st["sync_ms"])
        L.append("")
        L.append("| lines | median stall | longest stall |")
        L.append("|---|---|---|")
        L.append("| %d | %.3f ms | %.3f ms |" % (st["lines"], st["median_ms"], st["max_ms"]))
        L.append("")

    tr = r.get("trend")
    if tr:
        L.append("## Trend view")
        L.append("")
        L.append("Log reader: a warm 2,000,000-line log written by the log's own line "
                 "formatter, read whole. Chart: 604,800 readings at 1 s (7 days), decimated to "
                 "the 800 columns of the plot, ticks placed and drawn through a painter that "
                 "draws nothing. History: a full ring of 604,800 readings.")
        L.append("")
        L.append("| figure | wall | CPU | detail |")
        L.append("|---|---|---|---|")
        b = tr.get("BM_LogReaderWarmFile/real_time")
        if b:
            L.append("| log reader, 2 M lines | %.1f ms | %.1f ms | %.1f M lines/s |" % (
                to_ms(b, "real_time"), to_ms(b, "cpu_time"), b["lines/s"] / 1e6))
        b = tr.get("BM_ChartSevenDaysAt800px")
        if b:
            L.append("| one 7-day chart at 800 px | %.2f ms | %.2f ms | %d points drawn |" % (
                to_ms(b, "real_time"), to_ms(b, "cpu_time"), b["points_drawn"]))
        b = tr.get("BM_HistoryAppendFull")
        if b:
            L.append("| append to a full history | %.1f ns | %.1f ns | no allocation |" % (
                to_ms(b, "real_time") * 1e6, to_ms(b, "cpu_time") * 1e6))
        b = tr.get("BM_HistoryMemory/iterations:1")
        if b:
            L.append("| history memory | | | buffer %.1f MB; resident growth %.2f MB empty, "
                     "%.1f MB full (first run) |"
                     % (b["buffer_MB"], b["rss_empty_MB"], b["rss_full_MB"]))
        L.append("")

    yr = r.get("year")
    if yr:
        f = yr["year_file"]
        L.append("## Trend view: a year of 1-second readings")
        L.append("")
        L.append("A log of %s lines (%.2f GB), written by `qv_bench_make_log` in the log's own "
                 "format into the bench's temporary folder (%.1f s), read warm. `wc -l` on the "
                 "same file in the same run is the floor of a reader that only splits lines."
                 % ("{:,}".format(f["lines"]), f["bytes"] / 1e9, f["seconds"]))
        L.append("")
        L.append("| figure | wall | detail |")
        L.append("|---|---|---|")
        L.append("| `wc -l` | %.0f ms | %.1f M lines/s |" % (yr["wc_s"] * 1e3,
                                                           f["lines"] / yr["wc_s"] / 1e6))
        for key, b in sorted((yr.get("bench") or {}).items()):
            if key.startswith("BM_IndexYear/"):
                L.append("| index, %d thread%s | %.0f ms | %.1f M lines/s, %.1f M lines/s per "
                         "thread |" % (b["threads"], "" if b["threads"] == 1 else "s",
                                       to_ms(b, "real_time"), b["lines/s"] / 1e6,
                                       b["lines/s/thread"] / 1e6))
        b = (yr.get("bench") or {}).get("BM_YearChartAllAt800px")
        if b:
            L.append("| the whole year, one chart at 800 px, from the index | %.2f ms | %d "
                     "points drawn |" % (to_ms(b, "real_time"), b["points_drawn"]))
        b = (yr.get("bench") or {}).get("BM_YearOneHourAt800px/real_time")
        if b:
            L.append("| one hour of it with every reading (lines found, read, drawn) | %.2f ms | "
                     "%d readings, %.0f kB read |" % (to_ms(b, "real_time"), b["readings"],
                                                      b["bytes_read"] / 1e3))
        L.append("")
        for key, title in (("open", "the year"), ("decade_open", "ten years")):
            runs = yr.get(key)
            if not runs:
                continue
            L.append("Opening %s in the trend window (`qv_bench_trend_open`: the real Qt event "
                     "loop and trend window, offscreen, the program's channel, controller and log "
                     "logging at 1 s meanwhile; times from the press of \"Open log...\"):" % title)
            L.append("")
            L.append("| round | load | file | first picture | complete | one hour | memory added "
                     "| longest event | poll ticks / lines logged | longest tick gap |")
            L.append("|---|---|---|---|---|---|---|---|---|---|")
            for i, d in enumerate(runs):
                L.append("| %d | %.1f | %.2f GB | %.0f ms | %.0f ms | %.1f ms | %.1f MB | %.1f ms | "
                         "%d / %d | %.0f ms |" % (
                             i + 1, d["load"], d["file_bytes"] / 1e9, d["first_picture_ms"],
                             d["complete_ms"], d["hour_ms"], d["added_mb"], d["longest_stall_ms"],
                             d["poll_ticks"], d["lines_logged"], d["longest_tick_gap_ms"]))
            L.append("")
        if yr.get("decade_skipped"):
            L.append("The ten-year log was not made: %s." % yr["decade_skipped"])
            L.append("")
    ss = r.get("setup_stall")
    if ss and ss["presses"]:
        p = ss["presses"]
        L.append("## Setup press with a slow port: user-interface stall")
        L.append("")
        L.append("The real main window (Qt, offscreen) polling COM1 every second; COM2's probe "
                 "made %d ms slower through the serial platform seam, as a Bluetooth serial "
                 "port can be. Per press: the longest gap between ticks of a 2-ms timer of the "
                 "user-interface thread from the press until the setup dialog shows, the time "
                 "to the dialog, and the polls made meanwhile." % ss["slow_port_ms"])
        L.append("")
        L.append("| presses | longest stall | time to the dialog | polls meanwhile |")
        L.append("|---|---|---|---|")
        L.append("| %d | %.1f ms | %.0f ms | %d to %d |" % (
            len(p), max(x["stall_ms"] for x in p),
            sum(x["dialog_ms"] for x in p) / len(p), min(x["polls"] for x in p),
            max(x["polls"] for x in p)))
        L.append("")

    pr = r.get("probe")
    if pr:
        L.append("## One Setup press (256 probes and the list step)")
        L.append("")
        L.append("Port folder of 256 `comN` links; the channel holds COM1 while it is probed, "
                 "as in the program. Wall time.")
        L.append("")
        L.append("| folder | ProbeAll(256) | list step (probes + list) |")
        L.append("|---|---|---|")
        for arg, label in (("8", "32 live ptys, 224 dangling"), ("1", "256 live ptys"),
                           ("0", "256 dangling")):
            a = pr.get("BM_ProbeAll256/%s/real_time" % arg)
            b = pr.get("BM_SetupListStep/%s/real_time" % arg)
            if a and b:
                L.append("| %s | %.2f ms | %.2f ms |" % (label, to_ms(a, "real_time"),
                                                         to_ms(b, "real_time")))
        L.append("")

    runs = r.get("latency")
    if runs:
        L.append("## Record-to-screen latency")
        L.append("")
        L.append("Through the real channel (POSIX platform, reader thread), the Qt event loop, "
                 "the parser and the acquisition controller, up to the humidity text set in the "
                 "main window's widget (template 102, offscreen). From right after the CR was "
                 "written into the pty master; each record's CR is written 1 ms after its body, "
                 "a record every 5 ms, 1,000 records per run. The two variants run "
                 "interleaved, round by round, so each sees the same load. The bare reader is a "
                 "thread blocked in poll() on the same pty that notes when it has read the CR: "
                 "what the machine and its current load cost before any program does anything.")
        L.append("")
        L.append("| round | variant | load | median | p90 | p99 | max |")
        L.append("|---|---|---|---|---|---|---|")
        for d in runs:
            L.append("| %d | %s | %.1f | %.0f µs | %.0f µs | %.0f µs | %.0f µs |" % (
                d["round"], d["label"], d["load"], d["median_us"], d["p90_us"], d["p99_us"],
                d["max_us"]))
        L.append("")
        L.append("Median over the rounds:")
        L.append("")
        L.append("| variant | median | p99 | p99 of the quietest round |")
        L.append("|---|---|---|---|")
        for label, _ in LATENCY_VARIANTS:
            m = latency_summary(runs, label)
            if m:
                L.append("| %s | %.0f µs | %.0f µs | %.0f µs |" % (
                    label, m["median_us"], m["p99_us"], m["best_p99_us"]))
        L.append("")

    for key, title in (("idle", "1-second simulator"), ("idle_silent", "silent simulator")):
        d = r.get(key)
        if not d:
            continue
        L.append("## Idle, %s (QV-5300, %.0f s)" % (title, d["wall_s"]))
        L.append("")
        L.append("The program itself, COM1 = the simulator's pty, poll interval 1 s, logging "
                 "off, offscreen. Measured from 3 s after start.")
        L.append("")
        L.append("| CPU (schedstat) | CPU (utime+stime) | share of one core | context switches | "
                 "main thread | reader thread | peak RSS |")
        L.append("|---|---|---|---|---|---|---|")
        L.append("| %.3f s | %.2f s | %.3f %% | %d | %d | %s | %.1f MB |" % (
            d["cpu_s"], d["cpu_ticks_s"], d["cpu_s"] / d["wall_s"] * 100, d["switches"],
            d["main_switches"], "n/a" if d["reader_switches"] is None else str(d["reader_switches"]),
            d["vmhwm_kb"] / 1024))
        L.append("")
        L.append("Threads (name, main, switches, CPU s): " + "; ".join(
            "%s%s %d %.4f" % (n, " (main)" if mn else "", s, c) for n, mn, s, c in d["threads_named"]))
        L.append("")

    peers = r.get("peers") or []
    if peers:
        L.append("## Program vs Python/pyserial: CPU per record")
        L.append("")
        L.append("Both loggers at once, each on its own qv-sensor-sim sending a record every "
                 "10 ms. \"disk\": a real log file, fdatasync per line on both sides; \"null\": "
                 "the log goes to /dev/null, which leaves the pipeline without the disk. "
                 "Trials: \"none\" is the program as it is, \"no-text\" see below.")
        L.append("")
        L.append("| log | trials | logger | records | CPU | CPU per record | switches per record "
                 "| peak RSS | logged / sent, whole run | ratio Python / program |")
        L.append("|---|---|---|---|---|---|---|---|---|---|")
        for d in peers:
            for name, label in (("ours", "program's parts"), ("python", "pyserial")):
                x = d[name]
                L.append("| %s | %s | %s | %d | %.2f s | %s µs | %s | %.1f MB | %d / %d | %s |" % (
                    d["sink"], d["trials"], label, x["records"], x["cpu_s"],
                    fmt(x["cpu_us_per_record"]), fmt(x["switches_per_record"]),
                    x["vmhwm_kb"] / 1024, x["logged_total"], x["sent_total"],
                    "**%.2f**" % d["ratio"] if name == "ours" else ""))
        L.append("")

    silent = r.get("rig_silent") or []
    if silent:
        L.append("## Silent port: reader-thread wake-ups, program's parts")
        L.append("")
        L.append("qv_bench_logger on a silent simulator, poll timer at 1 s.")
        L.append("")
        L.append("| trials | seconds | reader-thread switches | main-thread switches |")
        L.append("|---|---|---|---|")
        for d in silent:
            L.append("| %s | %.0f | %s | %d |" % (d["trials"], d["wall_s"],
                                                 fmt(d["reader_switches"], 0), d["main_switches"]))
        L.append("")

    for key, title in (("lat_disk", "log on disk"), ("lat_null", "log to /dev/null")):
        d = r.get(key)
        if not d:
            continue
        L.append("## Program vs Python/pyserial: record-to-log latency, %s" % title)
        L.append("")
        L.append("From right after the record's CR was written (paced_feeder.py, a record "
                 "every 20 ms to both at once) to right after the line was written%s." %
                 (" and synced" if key == "lat_disk" else ""))
        L.append("")
        L.append("| logger | records sent / logged | median | p99 |")
        L.append("|---|---|---|---|")
        for name, label in (("ours", "program's parts"), ("python", "pyserial")):
            s = d[name]
            L.append("| %s | %d / %d | %s µs | %s µs |" % (label, s["sent"], s["logged"],
                                                         fmt(s["median_us"], 0), fmt(s["p99_us"], 0)))
        if d.get("ratio_median"):
            L.append("")
            L.append("Ratio Python / program, median: **%.2f**" % d["ratio_median"])
        L.append("")

    L.append("## What each side does")
    L.append("")
    L.append("- **Program** (`bench/qv_bench_logger`, and `QV-5300` itself for the idle runs): "
             "the real `CSerialComm` on the POSIX platform with its reader thread posting one "
             "`WM_SERIAL_BYTE` per byte through `QtWindowServices`, the `ReadingParser`, the "
             "`AcquisitionController` (lines off, both texts shown in the main window's widgets, "
             "the log asked) and the `MeasurementLog` (format, write, fdatasync, count shown). "
             "The harness only starts logging and, after each Reading, fires the next poll tick "
             "at once (lines on, reply timer re-armed, pollPending set): one poll per record.")
    L.append("- **Python** (`bench/peer/pyserial_logger.py`, Debian's python3-serial): per "
             "record, RTS/DTR on and break off (failing on a pty, ignored), `read_until(b\"\\r\")`, "
             "lines off, a regular expression for the record, two floats, one log line in the "
             "same format, flush and fdatasync.")
    L.append("- **no-text** (`--trials no-text`, bench only): no text reaches the window's "
             "widgets, to show what the window's text updates cost (the Python peer has no "
             "window). It is not a change to make.")
    L.append("- CPU is the sum of every thread's run time (/proc/PID/task/*/schedstat) between "
             "two snapshots after a 3-second warm-up; records are those the simulator sent "
             "meanwhile (`--records-log`), each at 10 ms.")
    L.append("")
    with open(path, "w") as f:
        f.write("\n".join(L))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--quick", action="store_true")
    ap.add_argument("--json", help="also write the raw figures here")
    args = ap.parse_args()
    quick = args.quick
    args.build = os.path.abspath(args.build)
    idle_s = 10 if quick else 60
    peer_s = 10 if quick else 30
    lat_records = 300 if quick else 1000
    silent_s = 10 if quick else 20

    r = {"machine": machine()}
    r["parser"] = gbench(args.build, "qv_bench_parser", quick)
    r["log"] = gbench(args.build, "qv_bench_log", quick)
    r["log_stall"] = run_log_stall(args.build, quick)
    r["probe"] = gbench(args.build, "qv_bench_probe", quick)
    r["setup_stall"] = run_setup_stall(args.build, quick)
    r["trend"] = gbench(args.build, "qv_bench_trend", quick)
    box = Sandbox()
    try:
        r["latency"] = run_latency(args.build, box, 1 if quick else 5)
        r["idle"] = run_idle(args.build, box, idle_s, silent=False)
        r["idle_silent"] = run_idle(args.build, box, idle_s, silent=True)
        r["rig_silent"] = [x for x in (run_rig_silent(args.build, box, silent_s, t)
                                       for t in ("none",)) if x]
        r["peers"] = [x for x in (run_peer_cpu(args.build, box, peer_s, sink, trials)
                                  for sink, trials in PEER_RUNS) if x]
        r["lat_disk"] = run_peer_latency(args.build, box, lat_records, "disk")
        r["lat_null"] = run_peer_latency(args.build, box, lat_records, "null")
        r["year"] = run_year(args.build, box, quick)
    finally:
        for proc in STARTED:
            stop(proc)
        box.close()

    t = []
    p = (r["parser"] or {}).get("BM_ParserMixedWholeBuffer")
    mb = p["bytes_per_second"] / 1e6 if p else None
    t.append(("Parser ≥ 100 MB/s (mixed stream, whole buffer)", fmt(mb) + " MB/s",
              None if mb is None else mb >= TARGETS["parser_mb_s"]))
    la = latency_summary(r["latency"], "program")
    bare = latency_summary(r["latency"], LATENCY_VARIANTS[1][0])
    t.append(("Record-to-screen p99 ≤ 1 ms (median of the rounds' p99)",
              "%s µs (quietest round %s µs; bare reader %s µs)" % (
                  fmt(la and la["p99_us"], 0), fmt(la and la["best_p99_us"], 0),
                  fmt(bare and bare["p99_us"], 0)),
              None if not la else la["p99_us"] <= TARGETS["latency_p99_us"]))
    s_ = (r["probe"] or {}).get("BM_SetupListStep/8/real_time")
    ms = to_ms(s_, "real_time") if s_ else None
    t.append(("256 probes + list step ≤ 20 ms (32 live, 224 dangling)", fmt(ms, 2) + " ms",
              None if ms is None else ms <= TARGETS["setup_ms"]))
    d = r["idle"]
    share = d["cpu_s"] / d["wall_s"] * 100 if d else None
    t.append(("Idle at 1-s polling ≤ 0.1 % of one core", fmt(share, 3) + " %",
              None if share is None else share <= TARGETS["idle_core_percent"]))
    ds = r["idle_silent"]
    rs = ds["reader_switches"] if ds else None
    t.append(("Silent port: zero reader-thread wake-ups (QV-5300)",
              "n/a" if rs is None else "%d in %.0f s" % (rs, ds["wall_s"]),
              None if rs is None else rs == 0))
    hwm = max(x["vmhwm_kb"] for x in (d, ds) if x) / 1024 if (d or ds) else None
    t.append(("Peak RSS ≤ 50 MB (QV-5300)", fmt(hwm) + " MB",
              None if hwm is None else hwm <= TARGETS["rss_mb"]))
    for x in r["peers"]:
        if x["trials"] == "none":
            t.append(("≥ 5× less CPU per record than Python (log: %s)" % x["sink"],
                      "%.2f×" % x["ratio"], x["ratio"] >= TARGETS["cpu_ratio"]))
    tr = r["trend"] or {}
    b = tr.get("BM_LogReaderWarmFile/real_time")
    lines = b["lines/s"] / 1e6 if b else None
    t.append(("Log reader ≥ 2 M lines/s (warm file)", fmt(lines) + " M lines/s",
              None if lines is None else lines >= TARGETS["log_lines_m_s"]))
    b = tr.get("BM_ChartSevenDaysAt800px")
    chart = to_ms(b, "real_time") if b else None
    t.append(("7-day chart of 1-s readings at 800 px ≤ 5 ms", fmt(chart, 2) + " ms",
              None if chart is None else chart <= TARGETS["chart_ms"]))
    b = tr.get("BM_HistoryMemory/iterations:1")
    # The buffer, not the resident growth: a repeated run may refill memory the process
    # already holds, which would show as no growth at all.
    mem = b["buffer_MB"] if b else None
    t.append(("History of 604,800 readings ≤ 16 MB (its buffer)", fmt(mem) + " MB",
              None if mem is None else mem <= TARGETS["history_mb"]))
    yr = r.get("year") or {}
    runs = yr.get("open") or []
    first = median_of(runs, "first_picture_ms")
    t.append(("Year log (31.5 M lines, ~1 GB): first picture ≤ 0.5 s (median)",
              fmt(first and first / 1e3, 2) + " s", None if first is None
              else first / 1e3 <= TARGETS["year_first_picture_s"]))
    done = median_of(runs, "complete_ms")
    t.append(("Year log: complete ≤ 3 s (median)", fmt(done and done / 1e3, 2) + " s",
              None if done is None else done / 1e3 <= TARGETS["year_complete_s"]))
    added = max((d["added_mb"] for d in runs), default=None)
    t.append(("Year log: memory added by opening it ≤ 64 MB (largest of the rounds)",
              fmt(added) + " MB", None if added is None else added <= TARGETS["year_added_mb"]))
    hour = median_of(runs, "hour_ms")
    t.append(("Any one hour of the year shown, every reading, ≤ 20 ms (median)",
              fmt(hour) + " ms", None if hour is None else hour <= TARGETS["year_hour_ms"]))
    stall = median_of(runs, "longest_stall_ms")
    missed = sum(max(0, d["poll_ticks"] - d["lines_logged"]) for d in runs) if runs else None
    gap = max((d["longest_tick_gap_ms"] for d in runs), default=None)
    t.append(("Longest user-interface stall while opening it, logging at 1 s, ≤ 20 ms "
              "(median), no poll missed",
              "%s ms (worst %s ms); polls without a line: %s; longest tick gap %s ms" % (
                  fmt(stall, 1), fmt(max((d["longest_stall_ms"] for d in runs), default=None), 1),
                  "n/a" if missed is None else str(max(missed, 0)), fmt(gap, 0)),
              None if stall is None else (stall <= TARGETS["year_stall_ms"] and missed <= 0
                                          and gap < 1500)))
    decade = (yr.get("decade_open") or [None])[0]
    t.append(("10 GB log (10 years) opens; memory added ≤ 64 MB",
              "n/a" if not decade else "%.1f MB added, complete in %.1f s" % (
                  decade["added_mb"], decade["complete_ms"] / 1e3),
              None if not decade else decade["added_mb"] <= TARGETS["year_added_mb"]))
    r["targets"] = t

    write_report(args.out, r, quick)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(r, f, indent=1, default=str)
    log("report written to " + args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
