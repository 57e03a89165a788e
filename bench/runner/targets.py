"""The targets and, from the results of the runs, each one's figure and verdict."""

import statistics

from runner import report_fleet
from runner.figures import fmt, to_ms
from runner.program_runs import LATENCY_VARIANTS, latency_summary

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


def median_of(runs, key):
    return statistics.median(r[key] for r in runs) if runs else None


def targets(r):
    """(target, figure, met: True, False or None when not run) for each target."""
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
    t.append(report_fleet.target(r))
    return t
