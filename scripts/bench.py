#!/usr/bin/env python3
"""How fast the installer fetches its setup program, measured against curl.

On loopback, nginx serves a published tree with the sample configuration plus a
log of each request's `$request_time`. The nine components are already present,
so a run is: the pointer page, the setup program, its start, the end. For each
size it prints, side by side (medians of --runs runs):

    curl s        curl fetching the same file from the same nginx
    WinINet s     WinINet alone under Wine reading it in 1 MB pieces (tools/bench): the floor
                  under the installer's transfer on this system
    +spool s      the same, writing each piece to a file as the installer's spool does
    transfer s    the installer's request of it, as nginx timed it ($request_time)
    run s         the installer from its start to its exit
    VmHWM MB      the installer process's peak resident memory (/proc/PID/status)
    answer ms     the longest the window took to answer another program's message

Run through scripts/bench.sh (it builds first and runs this in a network namespace
of its own). The large files live in a temporary folder that is removed at the end.
"""
from __future__ import annotations

import argparse
import json
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from harness import (BUILD, COMPONENTS, PRIMARY_PORT, SECONDARY_PORT, SERVER_PATHS, Display, Machine,  # noqa: E402
                     WinePrefix, gbk, on_z)
from servers import NginxSite, publish  # noqa: E402

SETUP_URL_PATH = SERVER_PATHS["norq_setup.exe"]
NGINX_PORTS = (PRIMARY_PORT, SECONDARY_PORT, 18090)
TIMED_LOG = "log_format timed '$request_uri $status $body_bytes_sent $request_time';\n" \
            "    access_log @RUN@/timed.log timed;\n"


def make_sources(folder: Path, setup_size: int) -> None:
    """Nine small components (the proof component) and the proof setup program padded to
    `setup_size` (a PE file ignores what follows its sections, so it still starts)."""
    folder.mkdir(parents=True)
    dll = (BUILD / "norq_proof_component.dll").read_bytes()
    for name in COMPONENTS:
        (folder / name).write_bytes(dll)
    setup = (BUILD / "norq_proof_setup.exe").read_bytes()
    block = bytes(range(256)) * 4096
    with open(folder / "norq_setup.exe", "wb") as f:
        f.write(setup)
        left = setup_size - len(setup)
        while left > 0:
            f.write(block[:left])
            left -= min(left, len(block))


class TimedNginx(NginxSite):
    """nginx with deploy/nginx-norq.conf.in and one more log: each request's time."""

    def __init__(self, workdir: Path, tree: Path):
        super().__init__(workdir, tree, *NGINX_PORTS, http=TIMED_LOG)

    def request_times(self) -> list[float]:
        log = self.run / "timed.log"
        lines = log.read_text().splitlines() if log.exists() else []
        return [float(line.split()[3]) for line in lines if line.startswith(SETUP_URL_PATH + " 200 ")]


def curl_seconds(url: str) -> float:
    out = subprocess.run(["curl", "-sS", "-o", "/dev/null", "-w", "%{time_total}", url],
                         capture_output=True, text=True, check=True).stdout
    return float(out)


def wininet_seconds(prefix: WinePrefix, url: str, spool: bool = False) -> float:
    out = prefix.root / "fetch.json"
    out.unlink(missing_ok=True)
    spooled = [on_z(prefix.root / "fetch.spool")] if spool else []
    if prefix.run([str(BUILD / "norq_wininet_fetch.exe"), url, on_z(out), *spooled], "fetch", 300) != 0:
        raise SystemExit(f"norq_wininet_fetch failed, see {prefix.logs / 'fetch.log'}")
    return json.loads(out.read_text())["seconds"]


def peak_memory(pid: int, stop: threading.Event, peak: list[int]) -> None:
    """VmHWM of the process (kB) while it lives: the last reading is the peak of its life."""
    status = Path(f"/proc/{pid}/status")
    while not stop.is_set():
        try:
            for line in status.read_text().splitlines():
                if line.startswith("VmHWM:"):
                    peak[0] = max(peak[0], int(line.split()[1]))
        except OSError:
            return
        time.sleep(0.02)


def one_run(machine: Machine, site: TimedNginx) -> dict:
    exe = machine.place(gbk("测速版\r\n"))
    watch = machine.prefix.watch_answers(600)
    started = time.monotonic()
    app = machine.start(exe, "REFRESH")
    stop, peak = threading.Event(), [0]
    sampler = threading.Thread(target=peak_memory, args=(app.process.pid, stop, peak))
    sampler.start()
    code = app.wait_exit(600)
    run = time.monotonic() - started
    stop.set()
    sampler.join()
    answers = watch.result()
    if code != 0:
        raise SystemExit(f"the installer exited with {code}; logs in {app.logdir}")
    return {"transfer": site.request_times()[-1], "run": run, "hwm": peak[0] / 1024,
            "answer": answers["longest_ms"] if answers.get("found") else float("nan")}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes-mb", default="1,500", help="setup program sizes in MB (default 1,500)")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    root = Path(tempfile.mkdtemp(prefix="norq-bench-"))
    display = Display(root).start()
    prefix = WinePrefix(root / "wine", display)
    rows = []
    try:
        prefix.root.mkdir()
        prefix.create()
        print(f"Wine prefix made; machine: {subprocess.run(['nproc'], capture_output=True, text=True).stdout.strip()}"
              f" cores, load {Path('/proc/loadavg').read_text().split()[:3]}", flush=True)
        for size_mb in map(int, args.sizes_mb.split(",")):
            work = root / f"{size_mb}mb"
            make_sources(work / "sources", size_mb * 2**20)
            publish(work / "sources", f"http://127.0.0.1:{NGINX_PORTS[2]}", work / "tree")
            shutil.rmtree(work / "sources")
            site = TimedNginx(work, work / "tree")
            try:
                url = f"http://127.0.0.1:{NGINX_PORTS[2]}{SETUP_URL_PATH}"
                curl_seconds(url)  # the file into the page cache, as the installer's runs will find it
                curls, wininets, spools, runs, served = [], [], [], [], []
                for _ in range(args.runs):
                    curls.append(curl_seconds(url))
                    wininets.append(wininet_seconds(prefix, url))
                    spools.append(wininet_seconds(prefix, url, spool=True))
                    served.append(site.request_times()[-3:])  # nginx's view of the three
                    machine = Machine(prefix, work / f"run{len(runs)}")
                    for name in COMPONENTS:
                        machine.prefix.component_path(name).write_bytes(b"MZ present")
                    runs.append(one_run(machine, site))
                    machine.finish()
            finally:
                site.stop()
                shutil.rmtree(work, ignore_errors=True)
            med = {key: statistics.median(r[key] for r in runs) for key in runs[0]}
            rows.append((size_mb, statistics.median(curls), statistics.median(wininets), statistics.median(spools), med))
            print(f"{size_mb} MB: curl {curls}, WinINet {wininets}, +spool {spools}, runs {runs}, "
                  f"nginx's times of curl, WinINet, +spool: {served}", flush=True)
    finally:
        prefix.kill_all()
        display.stop()
        shutil.rmtree(root, ignore_errors=True)

    print(f"\nmedians of {args.runs} runs; MB/s = size / time")
    print(f"{'size':>7} | {'curl s':>7} | {'curl MB/s':>9} | {'WinINet s':>9} | {'WinINet MB/s':>12} | "
          f"{'+spool s':>8} | {'transfer s':>10} | {'transfer MB/s':>13} | {'run s':>6} | {'VmHWM MB':>8} | "
          f"{'answer ms':>9}")
    def rate(size_mb: int, seconds: float) -> str:  # nginx times to the millisecond
        return f"{size_mb / seconds:.0f}" if seconds > 0 else "-"
    for size_mb, curl, wininet, spool, med in rows:
        print(f"{size_mb:>4} MB | {curl:>7.3f} | {rate(size_mb, curl):>9} | {wininet:>9.3f} | "
              f"{rate(size_mb, wininet):>12} | {spool:>8.3f} | {med['transfer']:>10.3f} | "
              f"{rate(size_mb, med['transfer']):>13} | {med['run']:>6.2f} | {med['hwm']:>8.1f} | "
              f"{med['answer']:>9.0f}")


if __name__ == "__main__":
    main()
