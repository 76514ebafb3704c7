"""The servers the installer talks to in the end-to-end tests: the project's
scripted server for what a stock server cannot do on purpose, and Debian's
nginx serving a published tree with the sample configuration."""
from __future__ import annotations

import json
import os
import shutil
import subprocess
import sys
import time
import urllib.request
from pathlib import Path

from harness import I686_CHROOT, NAMESPACE_HINT, PUBLISH, REPO, TEST_KEY, HarnessError, wait_until

SCRIPTED = Path(__file__).with_name("scripted_server.py")
NGINX = shutil.which("nginx") or "/usr/sbin/nginx"


class ScriptedServer:
    """One scripted_server.py process on a loopback port; `script()` replaces its answers."""

    def __init__(self, workdir: Path, port: int):
        workdir.mkdir(parents=True, exist_ok=True)
        self.port, self.log = port, workdir / "requests.log"
        ready, errors = workdir / "ready", workdir / "server.err"
        ready.unlink(missing_ok=True)
        with open(errors, "wb") as err:
            self.process = subprocess.Popen([sys.executable, str(SCRIPTED), "--port", str(port),
                                             "--ready", str(ready), "--log", str(self.log)],
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
        wait_until(lambda: ready.exists() or self.process.poll() is not None, 10,
                   "the scripted server to listen")
        if not ready.exists():
            raise HarnessError(f"the scripted server did not start on port {port} ({NAMESPACE_HINT}?):\n"
                               + errors.read_text())

    @property
    def base(self) -> str:
        return f"http://127.0.0.1:{self.port}"

    def script(self, answers: dict) -> None:
        urllib.request.urlopen(self.base + "/__script", data=json.dumps(answers).encode(), timeout=5).close()
        self.log.write_text("")

    def requests(self) -> list[str]:
        return self.log.read_text().splitlines()

    def stop(self) -> None:
        self.process.kill()
        self.process.wait()


def publish(components: Path, base: str, out: Path) -> str:
    """Lays out a server tree with the vendor's own tool, its index signed with the tests' key;
    returns what the tool printed (the paths it wrote)."""
    result = subprocess.run([str(PUBLISH), "--components", str(components), "--base", base, "--out", str(out),
                             "--replace", "--sign", str(TEST_KEY)], capture_output=True, text=True)
    if result.returncode != 0:
        raise HarnessError(f"norq-publish failed: {result.stderr}")
    return result.stdout


class NginxSite:
    """nginx with deploy/nginx-norq.conf.in, serving `tree` on three loopback ports."""

    def __init__(self, workdir: Path, tree: Path, primary: int, secondary: int, download: int, rate: str = "0",
                 http: str = ""):
        """`rate` bounds each download's speed as nginx's limit_rate does (0: no bound);
        `http` adds directives to the http block ("@RUN@" standing for nginx's own folder)."""
        self.run = workdir / "nginx"
        self.run.mkdir(parents=True, exist_ok=True)
        # nginx's workers read the tree as an unprivileged user.
        for folder in [tree, *tree.parents[:-1]]:
            os.chmod(folder, os.stat(folder).st_mode | 0o005)
        self.config = self.run / "nginx.conf"
        config = subprocess.run(
            ["bash", str(REPO / "scripts" / "render-nginx.sh"), str(self.run), str(tree), "127.0.0.1",
             str(primary), str(secondary), str(download), rate], capture_output=True, text=True, check=True).stdout
        if I686_CHROOT:
            # Under the emulator 32-bit Wine can crash or hang while WinINet's pooled
            # connections and their threads go away at exit, after the installer's
            # work is done; closing each connection after its response avoids that.
            http += "keepalive_timeout 0;"
        self.config.write_text(config.replace("http {", "http {\n    " + http.replace("@RUN@", str(self.run)), 1))
        started = subprocess.run([NGINX, "-p", str(self.run), "-c", str(self.config),
                                  "-e", str(self.run / "error.log")], capture_output=True, text=True)
        if started.returncode != 0:
            raise HarnessError(f"nginx did not start: {started.stderr}")
        wait_until(lambda: (self.run / "nginx.pid").exists(), 10, "nginx to start")

    def requests(self) -> list[str]:
        """Requests in order as 'PORT "METHOD PATH HTTP/1.1" STATUS BYTES'."""
        log = self.run / "access.log"
        return log.read_text().splitlines() if log.exists() else []

    def paths(self) -> list[str]:
        return [line.split('"')[1].split()[1] for line in self.requests()]

    def stop(self) -> None:
        subprocess.run([NGINX, "-p", str(self.run), "-c", str(self.config), "-s", "stop"],
                       capture_output=True)
        time.sleep(0.2)
