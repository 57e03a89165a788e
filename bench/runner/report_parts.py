"""The report's sections on the parts measured alone: the parser, the log line, the trend
view and the year log, the setup press. Each returns its lines, none when its run did not run."""

from runner.figures import to_ms


def parser(r):
    """The reading parser's throughput."""
    L = []
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
    return L


def log_line(r):
    """The cost of one log line."""
    L = []
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
    return L


def log_stall(r):
    """The user-interface stall of a log line on a slow disk."""
    L = []
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
    return L


def trend(r):
    """The trend view's reader, chart and history."""
    L = []
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
    return L


def year(r):
    """A year (and ten years) of 1-second readings in the trend view."""
    L = []
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
    return L


def setup_stall(r):
    """The user-interface stall of a Setup press with a slow port."""
    L = []
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
    return L


def probe(r):
    """One Setup press: the probes and the list step."""
    L = []
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
    return L
