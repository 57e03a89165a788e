"""The report's sections on the program and its Python peer, and what each side does.
Each returns its lines, none when its run did not run."""

from runner.figures import fmt
from runner.program_runs import LATENCY_VARIANTS, latency_summary


def latency(r):
    """Record-to-screen latency, round by round and over the rounds."""
    L = []
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
    return L


def idle(r):
    """The program's idle cost, on a 1-second and on a silent simulator."""
    L = []
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
    return L


def peer_cpu(r):
    """CPU per record, the program's parts beside pyserial."""
    L = []
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
    return L


def rig_silent(r):
    """Reader-thread wake-ups of the program's parts on a silent port."""
    L = []
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
    return L


def peer_latency(r):
    """Record-to-log latency, the program's parts beside pyserial."""
    L = []
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
    return L


def sides():
    """What each side of the comparisons does."""
    L = []
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
    return L
