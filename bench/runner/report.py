"""bench/report.md: the machine and mode, the targets, then a section per run."""

import datetime
import os
import platform
import subprocess

from runner import report_fleet, report_parts, report_program
from runner.figures import verdict
from runner.procs import PYTHON


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


def header(m, quick):
    """The title, the machine and the mode."""
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
    return L


def targets_table(t):
    """The targets with their figures and verdicts."""
    L = []
    L.append("## Targets")
    L.append("")
    L.append("| target | figure | verdict |")
    L.append("|---|---|---|")
    for name, figure, ok in t:
        L.append("| %s | %s | %s |" % (name, figure, verdict(ok) if ok is not None else "not run"))
    L.append("")
    return L


def write_report(path, r, quick):
    """Writes the report of the results R (with their targets) to PATH."""
    L = header(r["machine"], quick) + targets_table(r["targets"])
    for section in (report_parts.parser, report_parts.log_line, report_parts.log_stall,
                    report_parts.trend, report_parts.year, report_parts.setup_stall,
                    report_parts.probe, report_program.latency, report_program.idle,
                    report_program.peer_cpu, report_program.rig_silent,
                    report_program.peer_latency, report_fleet.section):
        L += section(r)
    L += report_program.sides()
    with open(path, "w") as f:
        f.write("\n".join(L))


def write_fleet_report(path, r, quick):
    """The fleet's run alone: the machine, its target and its section."""
    L = header(r["machine"], quick) + targets_table([report_fleet.target(r)])
    L += report_fleet.section(r)
    with open(path, "w") as f:
        f.write("\n".join(L))
