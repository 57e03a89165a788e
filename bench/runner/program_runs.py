"""The runs of the program and of its Python peer: record-to-screen latency, idle cost,
silent port, CPU per record and record-to-log latency."""

import json
import os
import statistics
import subprocess
import time

from runner.procs import (PYTHON, count_lines, delta, holds_device, log, reader_threads, snapshot,
                          spawn, stop, wait_for)
from runner.sandbox import start_sim

BENCH = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (log sink, trials) of the peer comparison runs.
PEER_RUNS = (("disk", "none"), ("null", "none"), ("null", "no-text"))

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
    peer = spawn([PYTHON, os.path.join(BENCH, "peer", "pyserial_logger.py"),
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
    feeder = spawn([PYTHON, os.path.join(BENCH, "peer", "paced_feeder.py"),
                               "--ports-dir", box.ports, "--ports", "4,5", "--records",
                               str(records), "--pace-ms", "20", "--out", stamps], env=box.env)
    if not wait_for(lambda: box.link_target(4) and box.link_target(5), 10):
        stop(feeder)
        raise SystemExit("paced_feeder did not create its ports")
    ours = spawn([ours_exe, "--ports-dir", box.ports, "--port", "4", "--log", logs[4],
                             "--latency-file", lat[4]], env=box.env, stdout=subprocess.DEVNULL)
    peer = spawn([PYTHON, os.path.join(BENCH, "peer", "pyserial_logger.py"), "--port",
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
