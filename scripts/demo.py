#!/usr/bin/env python3
"""The installer's main job in one command, on loopback (run it as `bash scripts/run.sh`).

Builds the presets, publishes harmless stand-ins for the ten files with norq-publish
(the tree signed with the build's demo key, installed by the installer keyed to it),
serves them with nginx and the sample configuration, runs the installer under Wine and
presses 开始安装 as a user would, until it has installed everything and started the setup
program.
Screenshots of its window go to out/demo/, logs to out/demo/logs/.

Shows the window on $DISPLAY when it is set, otherwise (or with --headless) on a
private Xvfb. Exits non-zero unless the installation completed.

The display, the Wine prefix, the probe, nginx and the trace of started programs are
the end-to-end harness's own (tests/e2e): the demo is one more user of them.
"""
from __future__ import annotations

import argparse
import contextlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

import harness  # noqa: E402  (its file list is read from norq-publish only once that is built)
from harness import (BUILD, KEYED_EXE, PERCENT_TEXT, PRIMARY_PORT, SECONDARY_PORT, START_BUTTON,  # noqa: E402
                     TRANSFER_LINE, Display, HarnessError, Machine, Screenshot, WinePrefix, gbk, port_taken, wait_until)
from servers import NginxSite, publish  # noqa: E402

BASE_ADDRESS = "http://127.0.0.1:18090"
DOWNLOAD_PORT = 18090
PORTS = (PRIMARY_PORT, SECONDARY_PORT, DOWNLOAD_PORT)
# Slow enough that the bar can be seen growing: nginx sends a second's worth at a
# time, so each demo component arrives in two steps and the setup program in three;
# the ten files take about twelve seconds.
RATE = os.environ.get("NORQ_DEMO_RATE", "48k")
INSTALLER = r"C:\norq_demo\norq_installer.exe"
SETUP_NAME = "norq_setup.exe"
DESKTOP = "1024x768"             # Wine's virtual desktop: it draws the window's caption and frame
SHOTS = REPO / "out" / "demo"
LOGS = SHOTS / "logs"


class DemoError(Exception):
    """Why the demo stopped, in a sentence for the user."""


def say(text: str) -> None:
    print(f"demo: {text}", flush=True)


def seconds_since(start: float) -> int:
    return int(time.monotonic() - start)


def lib_sh_command(function: str, *args: str) -> list[str]:
    """A function of scripts/lib.sh, the one place the scripts' shared snippets live."""
    return ["bash", "-c", f'. "$0" && {function} "$@"', str(REPO / "scripts" / "lib.sh"), *args]


def lib_sh(function: str, *args: str) -> subprocess.CompletedProcess:
    return subprocess.run(lib_sh_command(function, *args), capture_output=True)


def display_is_local() -> bool:
    """A display reachable from another network namespace: a local socket, not TCP."""
    m = re.fullmatch(r":(\d+)(\.\d+)?", os.environ.get("DISPLAY", ""))
    return bool(m) and Path(f"/tmp/.X11-unix/X{m[1]}").is_socket()


# ------------------------------------------------------------ the first half


def build_presets() -> None:
    for preset in ("native", "win64"):
        say(f"building the {preset} preset")
        log = LOGS / f"build-{preset}.log"
        with open(log, "wb") as out:
            for command in (["cmake", "--preset", preset], ["cmake", "--build", "--preset", preset]):
                # Each build step's name as it starts ("[3/73] Building CXX object ..."); all of it in the log.
                with subprocess.Popen(command, cwd=REPO, stdout=subprocess.PIPE, stderr=subprocess.STDOUT) as build:
                    for line in build.stdout:
                        out.write(line)
                        if re.match(rb"\[\d+/\d+\] ", line):
                            print("      " + line.decode(errors="replace").rstrip(), flush=True)
                if build.returncode != 0:
                    print("\n".join(log.read_text(errors="replace").splitlines()[-30:]))
                    raise DemoError(f"the {preset} build failed")


def publish_tree(work: Path) -> None:
    subprocess.run(["bash", "scripts/demo_components.sh", str(BUILD), str(work / "components")], cwd=REPO, check=True)
    say(f"publishing the demo files for {BASE_ADDRESS}")
    # Signed as a vendor would, with the key pair the win64 build made for its keyed installer.
    (LOGS / "publish.log").write_text(publish(work / "components", BASE_ADDRESS, work / "tree"))
    say("signed the tree's index (norq/Soft/norq_index.txt) with the demo vendor's key")


def first_half(headless: bool) -> int:
    started = time.monotonic()
    LOGS.mkdir(parents=True, exist_ok=True)
    for old in [*SHOTS.glob("*.png"), *filter(Path.is_file, LOGS.iterdir())]:
        old.unlink()
    build_presets()
    work = Path(tempfile.mkdtemp(prefix="norq-demo."))
    try:
        publish_tree(work)
        say(f"ready after {seconds_since(started)} s")
        second = [sys.executable, __file__, "--inside", str(work), *(["--headless"] if headless else [])]
        # In a network namespace of its own the demo owns the fixed loopback ports:
        # it neither meets nor disturbs anything else on this machine.
        if lib_sh("norq_can_own_network").returncode == 0 and (
                headless or not os.environ.get("DISPLAY") or display_is_local()):
            say("servers and Wine run in a network namespace of their own")
            child = subprocess.Popen(lib_sh_command("norq_own_network", *second))
            signal.signal(signal.SIGTERM, lambda *_: child.terminate())
            try:
                return child.wait()
            finally:
                child.wait()  # after a Ctrl-C: the child, in the same process group, stops too
        if taken := [port for port in PORTS if port_taken(port)]:
            raise DemoError(f"something already listens on 127.0.0.1:{taken[0]}")
        say("servers and Wine use the shared loopback")
        return second_half(work, headless)
    finally:
        shutil.rmtree(work, ignore_errors=True)


# ----------------------------------------------------------- the second half


def start_display(headless: bool, undo: contextlib.ExitStack) -> Display:
    if not headless and os.environ.get("DISPLAY"):
        say(f"showing the window on DISPLAY={os.environ['DISPLAY']}")
        return Display(LOGS, os.environ["DISPLAY"])
    display = Display(LOGS).start()
    undo.callback(display.stop)
    say(f"started Xvfb on {display.name}")
    return display


def start_nginx(work: Path, undo: contextlib.ExitStack) -> NginxSite:
    site = NginxSite(work, work / "tree", PRIMARY_PORT, SECONDARY_PORT, DOWNLOAD_PORT, RATE)

    def stop() -> None:
        site.stop()
        shutil.copy(site.run / "access.log", LOGS / "nginx-access.log")
    undo.callback(stop)
    say(f"nginx serves the pointer pages on :{PRIMARY_PORT} and :{SECONDARY_PORT}, the files on :{DOWNLOAD_PORT}"
        f" (at most {RATE}/s)")
    page = f"http://127.0.0.1:{PRIMARY_PORT}/quindle_www.html"
    with urllib.request.build_opener(urllib.request.ProxyHandler({})).open(page, timeout=10) as reply:
        say(f'  {page} says "{reply.read().decode()}"')
    return site


def make_prefix(work: Path, display: Display, undo: contextlib.ExitStack) -> Machine:
    started = time.monotonic()
    prefix = WinePrefix(work, display, desktop=DESKTOP)
    prefix.logs = LOGS
    undo.callback(prefix.kill_all)
    prefix.create()  # also checks the ANSI code page: 936, as on the target systems
    # A machine without Wine's own files under the components' names: one that had
    # them would only have them registered, not downloaded.
    machine = Machine(prefix, work / "machine")
    say(f"made a Wine prefix (code page 936) in {seconds_since(started)} s")
    return machine


def place_installer(machine: Machine) -> None:
    folder = machine.file(INSTALLER).parent
    folder.mkdir(parents=True)
    # The installer that trusts only trees signed with the demo key.
    shutil.copy(KEYED_EXE, folder / "norq_installer.exe")
    (folder / "norqoem.dat").write_bytes(gbk("演示版\r\n"))
    say('placed norq_installer.exe and norqoem.dat ("演示版") in C:\\norq_demo')


class Shots:
    """The three pictures of the installer's window, each cropped to the window with its
    caption and frame (Wine draws them inside its virtual desktop, as Windows does)."""

    def __init__(self, installer: harness.Installer):
        self.installer = installer
        self.display = installer.prefix.display
        self.box = ""

    def save(self, name: str, window: harness.WindowDump) -> None:
        w = window.window
        self.box = f"{w['width']}x{w['height']}+{w['left']}+{w['top']}"
        self.display.capture(SHOTS / name, self.box)

    def start(self) -> None:
        """The window as it first waits for the user: the check done, 开始安装 enabled."""
        def ready():
            window = self.installer.main_window()
            start = window and window.controls.get(START_BUTTON)
            return window if start and start.enabled and start.visible else None
        window = self.installer._wait_shown(ready, "the start button enabled", 60)
        # Once the window has painted: two pictures in a row alike.
        previous = b""
        for _ in range(10):
            self.save("1-start.png", window)
            current = Screenshot(SHOTS / "1-start.png").pixels
            if current == previous:
                break
            previous = current
        say("saved out/demo/1-start.png (the window before the first download)")

    def downloading(self, name: str, what: str, setup_program: bool) -> None:
        """A picture while a download of that kind is part-way: its percentage between 20% and 80%."""
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline and self.installer.running:
            window = self.installer.main_window()
            percent = window and window.controls.get(PERCENT_TEXT)
            line = window and window.controls.get(TRANSFER_LINE)
            if (percent and line and percent.visible and line.text.endswith(SETUP_NAME) == setup_program
                    and (m := re.fullmatch(r"(\d+)%", percent.text)) and 20 <= int(m[1]) <= 80):
                with contextlib.suppress(subprocess.SubprocessError):
                    self.save(name, window)
                    say(f"saved out/demo/{name} ({what} at {percent.text})")
                    return
            time.sleep(0.05)
        raise DemoError(f"no picture of {what} part-way: the window never showed it")


def report(machine: Machine, installer: harness.Installer, site: NginxSite, work: Path, started: float) -> bool:
    prefix = machine.prefix
    proof = machine.file(r"C:\norq_proof\setup_started.txt")
    with contextlib.suppress(HarnessError):
        wait_until(lambda: proof.exists() and proof.stat().st_size, 15, "the setup program's proof")
    published = work / "components"
    print()
    say(f"the installer ended after {seconds_since(started)} s with exit code {installer.process.returncode}")
    say("installed in C:\\windows\\system32:")
    ok = True
    for name in harness.COMPONENTS:
        file = prefix.component_path(name)
        if file.is_file() and file.read_bytes() == (published / name).read_bytes():
            print(f"  {name:<14} {file.stat().st_size:8d} bytes, as published")
        else:
            print(f"  {name:<14} {'differs from the published file' if file.is_file() else 'missing'}")
            ok = False
    setup = machine.file(INSTALLER).with_name("norq_setup.exe")
    if setup.is_file() and setup.read_bytes() == (published / "norq_setup.exe").read_bytes():
        say(f"beside the installer: C:\\norq_demo\\norq_setup.exe, {setup.stat().st_size} bytes, as published")
    else:
        say("C:\\norq_demo\\norq_setup.exe is missing or differs from the published file")
        ok = False
    if proof.exists() and proof.stat().st_size:
        say(f"the setup program started: C:\\norq_proof\\setup_started.txt names {proof.read_text(errors='replace').rstrip()}")
    else:
        say("the setup program did not start: no C:\\norq_proof\\setup_started.txt")
        ok = False
    regsvr32 = r"C:\windows\system32\regsvr32.exe"
    commands = [line for program, line in installer.started_programs() if program == regsvr32]
    say(f"registrations started, each by the tool's full path: {len(commands)}")
    for line in commands:
        print(f"  {line}")
    registered = machine.file(r"C:\norq_proof\registered.txt")
    # Registration is started, not waited for: give the last one a moment.
    def names() -> list[str]:
        lines = registered.read_text(errors="replace").splitlines() if registered.exists() else []
        return [line.rsplit("\\", 1)[-1] for line in lines if line]
    with contextlib.suppress(harness.HarnessError):
        harness.wait_until(lambda: len(names()) >= 5, 10, "the registrations")
    say(f"registered (C:\\norq_proof\\registered.txt): {', '.join(names()) or 'nothing'}")
    say("  (for comcat.dll, stdole2.tlb, shdocvw.dll and msxml3.dll Wine loads its own built-in library)")
    requests = site.requests()
    files = sum(1 for r in requests if r.startswith(f"{DOWNLOAD_PORT} ") and '" 200 ' in r)
    pages = sum(1 for r in requests if re.search(r'_www\.html HTTP/1\.[01]" 200 ', r))
    say(f"nginx answered {files} file requests with 200 and {pages} pointer-page requests"
        " (its log: out/demo/logs/nginx-access.log)")
    print()
    if ok and installer.process.returncode == 0:
        say(f"the installation completed in {seconds_since(started)} s; screenshots in out/demo/")
        return True
    say("the installation did NOT complete; logs in out/demo/logs/")
    return False


def second_half(work: Path, headless: bool) -> int:
    with contextlib.ExitStack() as undo:
        display = start_display(headless, undo)
        site = start_nginx(work, undo)
        machine = make_prefix(work, display, undo)
        place_installer(machine)
        say(f"starting {INSTALLER}")
        # The trace records every command line the installer starts.
        installer = machine.start(INSTALLER, trace=True)
        started = time.monotonic()

        def keep_logs() -> None:
            installer.kill()
            for name, kept in (("stdout.log", "installer.out"), ("trace.log", "installer-trace.log")):
                shutil.copy(installer.logdir / name, LOGS / kept)
        undo.callback(keep_logs)
        shots = Shots(installer)
        shots.start()
        say("pressing 开始安装, as a user would")
        installer.click(START_BUTTON)
        shots.downloading("2-downloading.png", "a component's download", setup_program=False)
        shots.downloading("3-setup-program.png", "the setup program's download", setup_program=True)
        try:
            installer.process.wait(max(1.0, 120 - (time.monotonic() - started)))
        except subprocess.TimeoutExpired:
            raise DemoError("the installer still runs after two minutes") from None
        return 0 if report(machine, installer, site, work, started) else 1


def main() -> int:
    parser = argparse.ArgumentParser(prog="bash scripts/run.sh", description=__doc__.split("\n\n")[0])
    parser.add_argument("--headless", action="store_true", help="always show the window on a private Xvfb")
    parser.add_argument("--inside", type=Path, help=argparse.SUPPRESS)  # the second half, run by the first
    args = parser.parse_args()
    # Everything started is stopped when the demo ends, however it ends; a second
    # signal must not cut that short.
    def stop(*_) -> None:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        sys.exit(143)
    signal.signal(signal.SIGTERM, stop)
    try:
        return second_half(args.inside, args.headless) if args.inside else first_half(args.headless)
    except (DemoError, HarnessError, subprocess.CalledProcessError) as error:
        say(str(error))
        return 1
    except KeyboardInterrupt:
        return 130


if __name__ == "__main__":
    sys.exit(main())
