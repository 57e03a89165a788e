"""The fleet of headless loggers publishing to one broker: its target and its section."""

from runner.figures import fmt

FLEET_P99_MS = 5.0


def target(r):
    f = r.get("fleet")
    p99 = f and f["p99_us"] / 1e3
    return ("%s headless loggers publishing: a reading's path from CR to subscriber "
            "≤ 5 ms p99 (on an idle machine)" % (f["loggers"] if f else "200"),
            fmt(p99, 2) + " ms", None if not f else p99 <= FLEET_P99_MS)


def section(r):
    f = r.get("fleet")
    if not f:
        return []
    L = ["## Many sensors: headless loggers publishing to one Mosquitto", ""]
    L.append("%d `qv5300-logd` processes, each with a private `HOME`/`XDG_CONFIG_HOME` whose "
             "port folder holds its sensor, logging at 1 s into its own file (on %s) and "
             "publishing every reading (QoS 1, discovery on) to one Mosquitto on 127.0.0.1; "
             "the %d sensors (one record a second each, spread over the second) and the "
             "subscriber are one `qv_bench_fleet` process. %d s counted after %d s of "
             "warm-up; load average at the end %s.%s"
             % (f["loggers"], f.get("folder_fs", "?"), f["sensors"], f["counted_seconds"],
                f["warmup"], " ".join("%.1f" % x for x in f["load_average"]),
                " All of them at nice %d, ahead of the neighbours' work." % f["nice"]
                if f.get("nice") else ""))
    L.append("")
    L.append("| figure | value |")
    L.append("|---|---|")
    rows = [
        ("loggers running / ports opened", "%d / %d" % (f["loggers_alive"], f["readers"])),
        ("readings delivered per second (counted window)", fmt(f["per_second"], 1)),
        ("counted readings sent / received", "%d / %d" % (f["counted_sent"],
                                                          f["counted_received"])),
        ("duplicates / out of order / unmatched", "%d / %d / %d" % (
            f["duplicates"], f["out_of_order"], f["unmatched"])),
        ("time between two records sent, median (1 s / sensors: %s ms)" % fmt(
            1e3 / f["sensors"], 2), fmt(f["send_gap_median_us"] / 1e3, 2) + " ms"),
        ("CR to subscriber p50 / p99 / max", "%s / %s / %s ms" % (
            fmt(f["p50_us"] / 1e3, 2), fmt(f["p99_us"] / 1e3, 2), fmt(f["max_us"] / 1e3, 1))),
        ("CPU per logger, median (max)", "%s %% (%s %%) of one core" % (
            fmt(f["logger_cpu_share_median"] * 100, 3), fmt(f["logger_cpu_share_max"] * 100, 3))),
        ("memory per logger, median RSS (peak)", "%s MB (%s MB)" % (
            fmt(f["logger_rss_kb_median"] / 1024), fmt(f["logger_hwm_kb_median"] / 1024))),
        ("broker CPU, RSS", "%s %% of one core, %s MB" % (
            fmt(f["broker_cpu_share"] * 100, 2), fmt(f["broker_rss_kb"] / 1024))),
        ("sensors + subscriber process CPU", "%s %% of one core" % fmt(f["fleet_cpu_share"] * 100, 2)),
        ("log lines per logger, median", fmt(f["log_lines_median"], 0)),
        ("loggers ending with status 0 on SIGTERM", "%d of %d" % (f["loggers_clean_exit"],
                                                                 f["loggers"])),
    ]
    L += ["| %s | %s |" % row for row in rows]
    L.append("")
    return L
