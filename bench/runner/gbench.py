"""The benchmarks that print JSON: Google Benchmark programs and the two stall benches."""

import json
import os
import subprocess

from runner.procs import log


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


def json_bench(build, name, *args):
    """Runs bench/<name> with args and returns the JSON it prints; None when not built."""
    exe = os.path.join(build, "bench", name)
    if not os.path.exists(exe):
        return None
    log("running " + name)
    return json.loads(subprocess.run([exe, *args], check=True, capture_output=True,
                                     text=True).stdout)


def run_log_stall(build, quick):
    return json_bench(build, "qv_bench_log_stall", "--lines", "20" if quick else "100")


def run_setup_stall(build, quick):
    return json_bench(build, "qv_bench_setup_stall", "--presses", "2" if quick else "5")
