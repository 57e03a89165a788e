"""The fleet: N headless loggers (qv5300-logd), each with a private HOME and
XDG_CONFIG_HOME whose port folder holds its sensor's link, publishing to one Mosquitto on
this machine; the sensors and the subscriber are one qv_bench_fleet process.

Per logger: CPU (utime+stime over the measured window) and memory (VmRSS at its end),
reported as medians; the whole path's latency from a record's CR to the subscriber."""

import json
import os
import shutil
import socket
import statistics
import subprocess
import tempfile
import time

from runner.procs import delta, log, snapshot, spawn, stop, wait_for

BROKER_SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "tests", "publish",
                             "test_broker.sh")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def write_logger_settings(config, log_file, port, user, password, topic):
    company = os.path.join(config, "Tavrin QV-5300")
    os.makedirs(os.path.join(company, "ports"), exist_ok=True)
    path = os.path.join(company, "QV-5300.conf")
    with open(path, "w") as f:
        f.write("[General]\nComPort=1\nLogInterval=1\nLogFileName=%s\nAppend=1\n"
                "MqttEnabled=1\nMqttBroker=mqtt://127.0.0.1:%d\nMqttUser=%s\n"
                "MqttPassword=%s\nMqttTopic=%s\nMqttDiscovery=1\n"
                % (log_file, port, user, password, topic))
    os.chmod(path, 0o600)


def run_fleet(build, loggers, seconds, warmup=5, folder=None, nice=0):
    """FOLDER: where the loggers' homes (settings, logs, spools) go; default the temporary
    folder. A tmpfs there (/dev/shm) takes the disk out of the figures. NICE (negative:
    root only) runs the loggers, the broker and the sensors ahead of the neighbours'
    work, the nearest this shared machine comes to an idle one."""
    pre = ["nice", "-n", str(nice)] if nice else []
    root = tempfile.mkdtemp(prefix="qv-fleet-", dir=folder)
    procs = []
    broker = fleet = None
    try:
        broker_dir = os.path.join(root, "broker")
        os.makedirs(broker_dir)
        port = free_port()
        broker = spawn(pre + [BROKER_SCRIPT, "serve", broker_dir, str(port)],
                       stdin=subprocess.DEVNULL)
        if not wait_for(lambda: accepts(port), 10):
            log("fleet: the broker did not start")
            return None
        user, password = open(os.path.join(broker_dir, "credentials")).read().split()

        # Each logger's private folders and settings, then the sensors' links: no logger
        # ever starts without its port folder.
        for i in range(loggers):
            home = os.path.join(root, str(i))
            write_logger_settings(os.path.join(home, "config"), os.path.join(home, "tavrin.log"),
                                  port, user, password, "qv-bench/%d" % i)
        fleet_out = os.path.join(root, "fleet.json")
        fleet = spawn(pre + [os.path.join(build, "bench", "qv_bench_fleet"), "--root", root,
                       "--sensors", str(loggers), "--seconds", str(seconds),
                       "--warmup", str(warmup), "--broker-port", str(port), "--user", user,
                       "--password", password, "--prefix-base", "qv-bench/"],
                      stdout=open(fleet_out, "w"))
        last_link = os.path.join(root, str(loggers - 1), "config", "Tavrin QV-5300", "ports",
                                 "com1")
        if not wait_for(lambda: os.path.islink(last_link), 30):
            log("fleet: the sensors' links did not appear")
            return None

        logd = os.path.join(build, "app", "qv5300-logd")
        for i in range(loggers):
            home = os.path.join(root, str(i))
            config = os.path.join(home, "config")
            assert os.path.islink(os.path.join(config, "Tavrin QV-5300", "ports", "com1"))
            env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config)
            procs.append(spawn(pre + [logd], env=env, stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(home, "stderr.txt"), "w")))

        # The measured window: after the warm-up, for the counted seconds.
        if not wait_for(lambda: "sending" in open(fleet_out).read(), 90):
            log("fleet: the loggers did not all open their ports")
            return None
        time.sleep(warmup)
        before = {p.pid: snapshot(p.pid) for p in procs if p.poll() is None}
        broker_before = snapshot(broker.pid)
        fleet_before = snapshot(fleet.pid)
        time.sleep(max(seconds - 2, 1))
        after = {p.pid: snapshot(p.pid) for p in procs if p.poll() is None}
        broker_after = snapshot(broker.pid)
        fleet_after = snapshot(fleet.pid)
        fleet.wait(seconds + 120)
        lines = [l for l in open(fleet_out).read().splitlines() if l.strip()]
        figures = json.loads(lines[-1])

        cpu, rss, hwm = [], [], []
        for pid, a in before.items():
            b = after.get(pid)
            if not b:
                continue
            d = delta(pid, a, b)  # CPU from the threads' schedstat, in nanoseconds
            cpu.append(d["cpu_s"] / d["wall_s"])
            rss.append(b["rss_kb"])
            hwm.append(b["hwm_kb"])
        broker_d = delta(broker.pid, broker_before, broker_after)
        fleet_d = delta(fleet.pid, fleet_before, fleet_after)
        figures.update({
            "loggers": loggers,
            "counted_seconds": seconds,
            "warmup": warmup,
            "nice": nice,
            "folder_fs": subprocess.run(["stat", "-f", "-c", "%T", root], capture_output=True,
                                        text=True).stdout.strip(),
            "loggers_alive": sum(1 for p in procs if p.poll() is None),
            "logger_cpu_share_median": statistics.median(cpu) if cpu else None,
            "logger_cpu_share_max": max(cpu) if cpu else None,
            "logger_rss_kb_median": statistics.median(rss) if rss else None,
            "logger_hwm_kb_median": statistics.median(hwm) if hwm else None,
            "broker_cpu_share": broker_d["cpu_s"] / broker_d["wall_s"],
            "broker_rss_kb": broker_after["rss_kb"],
            "fleet_cpu_share": fleet_d["cpu_s"] / fleet_d["wall_s"],
            "log_lines_median": statistics.median(
                sum(1 for _ in open(os.path.join(root, str(i), "tavrin.log"), "rb"))
                if os.path.exists(os.path.join(root, str(i), "tavrin.log")) else 0
                for i in range(loggers)),
            "load_average": os.getloadavg(),
        })
        clean = 0
        for p in procs:
            p.send_signal(15)
        for p in procs:
            try:
                clean += p.wait(15) == 0
            except subprocess.TimeoutExpired:
                pass
        figures["loggers_clean_exit"] = clean
        figures["logger0_stderr"] = open(os.path.join(root, "0", "stderr.txt")).read()[-600:]
        return figures
    finally:
        for p in procs:
            stop(p)
        if fleet:
            stop(fleet)
        if broker:
            stop(broker)
        shutil.rmtree(root, ignore_errors=True)
