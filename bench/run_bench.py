#!/usr/bin/python3
"""Runs every benchmark of the QV-5300 logger and writes bench/report.md.

Called by scripts/bench after the release build; reads the programs from BUILD. Each
process this script starts is ended by its own id. The program under test (QV-5300) only
ever runs with a private HOME and XDG_CONFIG_HOME whose port folder holds the simulator's
links, so it can never reach a serial port of this machine.

Usage: run_bench.py --build DIR --out REPORT [--quick]

The runs live in runner/ (procs, gbench, sandbox, program_runs, year_runs); this file holds
the arguments, the order of the runs, the targets and the report.

"""

import argparse
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys

from runner.gbench import gbench, run_log_stall, run_setup_stall
from runner.procs import PYTHON, STARTED, log, stop
from runner.program_runs import (LATENCY_VARIANTS, PEER_RUNS, latency_summary, run_idle,
                                 run_latency, run_peer_cpu, run_peer_latency, run_rig_silent)
from runner.sandbox import Sandbox
from runner.year_runs import run_year

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


def to_ms(b, key):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b[key] * scale


def median_of(runs, key):
    return statistics.median(r[key] for r in runs) if runs else None


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
