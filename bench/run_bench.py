#!/usr/bin/python3
"""Runs every benchmark of the QV-5300 logger and writes bench/report.md.

Called by scripts/bench after the release build; reads the programs from BUILD. Each
process this script starts is ended by its own id. The program under test (QV-5300) only
ever runs with a private HOME and XDG_CONFIG_HOME whose port folder holds the simulator's
links, so it can never reach a serial port of this machine.

The runs live in runner/ (procs, gbench, sandbox, program_runs, year_runs), the report in
runner/ too (targets, report, report_parts, report_program); this file holds the arguments,
the order of the runs and the writing of the report.

Usage: run_bench.py --build DIR --out REPORT [--quick] [--fleet [--loggers N]]
  --fleet: only the fleet of headless loggers publishing to one broker (runner/fleet_runs)
"""

import argparse
import json
import os
import sys

from runner.fleet_runs import run_fleet
from runner.gbench import gbench, run_log_stall, run_setup_stall
from runner.procs import STARTED, log, stop
from runner.program_runs import (PEER_RUNS, run_idle, run_latency, run_peer_cpu,
                                 run_peer_latency, run_rig_silent)
from runner.report import machine, write_fleet_report, write_report
from runner.sandbox import Sandbox
from runner.targets import targets
from runner.year_runs import run_year


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--quick", action="store_true")
    ap.add_argument("--json", help="also write the raw figures here")
    ap.add_argument("--fleet", action="store_true",
                    help="only the fleet of headless loggers (its report alone)")
    ap.add_argument("--loggers", type=int, default=200)
    ap.add_argument("--fleet-folder", help="the fleet's homes here (e.g. /dev/shm, a tmpfs)")
    ap.add_argument("--fleet-nice", type=int, default=0,
                    help="the fleet's processes at this nice value (negative: ahead of the "
                         "neighbours; root only)")
    args = ap.parse_args()
    quick = args.quick
    args.build = os.path.abspath(args.build)
    idle_s = 10 if quick else 60
    peer_s = 10 if quick else 30
    lat_records = 300 if quick else 1000
    silent_s = 10 if quick else 20

    fleet_s = 15 if quick else 30
    r = {"machine": machine()}
    if args.fleet:
        try:
            r["fleet"] = run_fleet(args.build, args.loggers, fleet_s, folder=args.fleet_folder,
                                   nice=args.fleet_nice)
        finally:
            for proc in STARTED:
                stop(proc)
        write_fleet_report(args.out, r, quick)
        return finish(args, r)
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
        r["fleet"] = run_fleet(args.build, args.loggers, fleet_s)
    finally:
        for proc in STARTED:
            stop(proc)
        box.close()

    r["targets"] = targets(r)

    write_report(args.out, r, quick)
    return finish(args, r)


def finish(args, r):
    """The results as JSON too, when asked for; the report's path said."""
    if args.json:
        with open(args.json, "w") as f:
            json.dump(r, f, indent=1, default=str)
    log("report written to " + args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
