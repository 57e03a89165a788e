"""The private home the program and the simulators run in, and the simulator itself."""

import os
import shutil
import tempfile

from runner.procs import spawn, stop, wait_for


class Sandbox:
    """A private HOME and XDG_CONFIG_HOME with a port folder and the program's settings."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="qv-bench-")
        self.home = os.path.join(self.root, "home")
        self.config = os.path.join(self.root, "config")
        self.company = os.path.join(self.config, "Tavrin QV-5300")
        self.ports = os.path.join(self.company, "ports")
        self.runtime = os.path.join(self.root, "runtime")
        for d in (self.home, self.ports, self.runtime):
            os.makedirs(d)
        os.chmod(self.runtime, 0o700)
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=self.config,
                        XDG_RUNTIME_DIR=self.runtime, QT_QPA_PLATFORM="offscreen")

    def path(self, name):
        return os.path.join(self.root, name)

    def write_settings(self, port, interval, log_file):
        with open(os.path.join(self.company, "QV-5300.conf"), "w") as f:
            f.write("[General]\nComPort=%d\nLogInterval=%d\nLogFileName=%s\nAppend=1\n"
                    % (port, interval, log_file))

    def link_target(self, port):
        link = os.path.join(self.ports, "com%d" % port)
        return os.path.realpath(link) if os.path.islink(link) else None

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def start_sim(build, box, port, *options):
    args = [os.path.join(build, "tools", "qv-sensor-sim"), "--ports-dir", box.ports,
            "--port", str(port), "--quiet"] + list(options)
    proc = spawn(args, env=box.env)
    if not wait_for(lambda: box.link_target(port) is not None, 10):
        stop(proc)
        raise SystemExit("qv-sensor-sim did not create com%d" % port)
    return proc
