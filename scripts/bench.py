#!/usr/bin/env python3
"""How fast the installer fetches its setup program, measured against curl.

On loopback, nginx serves a published tree, signed with the win64 build's test key,
with the sample configuration plus a log of each request's `$request_time`. The nine
components are already present, so a run is: the pointer page (and, for the keyed
installer, the index and its signature), the setup program, its start, the end. For
each size it prints (medians of --runs runs), first what the installer is measured
against:

    curl s          curl fetching the same file from the same nginx
    curl|sha256 s   curl piped into sha256sum: the floor for a checked download
    WinINet s       WinINet alone under Wine reading it in 1 MB pieces (tools/bench): the floor
                    under the installer's transfer on this system
    +spool s        the same, writing each piece to a file as the installer's spool does
    CNG s           Wine's SHA-256 (CNG) alone over as many bytes from memory (tools/bench)

then for each installer, the build without a key and the keyed build (`--before DIR`
adds another win64 build folder's two installers, measured in the same runs):

    transfer s      the installer's request of it, as nginx timed it ($request_time)
    x floor         its throughput over curl's (without a key) or curl|sha256sum's (keyed)
    run s           the installer from its start to its exit
    extra s         run s - the first size's run s - transfer s: what the body's size costs
                    besides its transfer
    VmHWM MB        the installer process's peak resident memory (/proc/PID/status)
    answer ms       the longest the window took to answer another program's message
    load            the 1-minute load average before each run (median)

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

from fixtures import INDEX_PATH, SIGNATURE_PATH  # noqa: E402
from harness import (BUILD, COMPONENTS, INSTALLER_EXE, KEYED_EXE, PRIMARY_PORT, SECONDARY_PORT, SERVER_PATHS,  # noqa: E402
                     TEST_KEY, Display, Machine, WinePrefix, gbk, on_z)
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


def curl_sha256_seconds(url: str) -> float:
    started = time.monotonic()
    curl = subprocess.Popen(["curl", "-sS", url], stdout=subprocess.PIPE)
    subprocess.run(["sha256sum"], stdin=curl.stdout, capture_output=True, check=True)
    curl.stdout.close()
    if curl.wait() != 0:
        raise SystemExit(f"curl {url} failed")
    return time.monotonic() - started


def load() -> float:
    return float(Path("/proc/loadavg").read_text().split()[0])


def cng_seconds(prefix: WinePrefix, size_mb: int) -> float:
    out = prefix.root / "cng.json"
    out.unlink(missing_ok=True)
    if prefix.run([str(BUILD / "norq_cng_sha256.exe"), str(size_mb), on_z(out)], "cng", 300) != 0:
        raise SystemExit(f"norq_cng_sha256 failed, see {prefix.logs / 'cng.log'}")
    return json.loads(out.read_text())["seconds"]


def sign(tree: Path, key: Path) -> None:
    """The tree's index signed with `key`: each keyed installer trusts its own build's key."""
    index = tree / INDEX_PATH[1:]
    subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(key), "-out", str(tree / SIGNATURE_PATH[1:]),
                    str(index)], check=True)


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


def one_run(machine: Machine, site: TimedNginx, installer: Path) -> dict:
    exe = machine.place(gbk("测速版\r\n"), exe=installer)
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


def installers(before: Path | None) -> list[tuple[str, Path, Path]]:
    """(label, exe, the key its index must be signed with)."""
    builds = [("", BUILD, TEST_KEY)]
    if before:
        builds.append(("before ", before, before / "test-key" / "private.pem"))
    chosen = []
    for label, build, key in builds:
        chosen.append((label + "without key", build / INSTALLER_EXE.name, key))
        chosen.append((label + "keyed", build / KEYED_EXE.name, key))
    for _, exe, key in chosen:
        if not exe.exists() or not key.exists():
            raise SystemExit(f"{exe} or {key} is missing: build that folder's win64 preset first")
    return chosen


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes-mb", default="1,500",
                        help="setup program sizes in MB (default 1,500; 2000 for 2 GB needs about 7 GB free in /tmp)")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--before", type=Path, help="another win64 build folder whose installers to measure alongside")
    args = parser.parse_args()
    chosen = installers(args.before.resolve() if args.before else None)
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
                floors: dict[str, list[float]] = {k: [] for k in ("curl", "curl|sha256", "WinINet", "+spool", "CNG")}
                runs: dict[str, list[dict]] = {label: [] for label, _, _ in chosen}
                loads: list[float] = []
                for _ in range(args.runs):
                    loads.append(load())
                    floors["curl"].append(curl_seconds(url))
                    floors["curl|sha256"].append(curl_sha256_seconds(url))
                    floors["WinINet"].append(wininet_seconds(prefix, url))
                    floors["+spool"].append(wininet_seconds(prefix, url, spool=True))
                    floors["CNG"].append(cng_seconds(prefix, size_mb))
                    for label, exe, key in chosen:
                        sign(work / "tree", key)
                        loads.append(load())
                        machine = Machine(prefix, work / f"run{len(loads)}")
                        for name in COMPONENTS:
                            machine.prefix.component_path(name).write_bytes(b"MZ present")
                        runs[label].append(one_run(machine, site, exe) | {"load": loads[-1]})
                        machine.finish()
            finally:
                site.stop()
                shutil.rmtree(work, ignore_errors=True)
            floor = {key: statistics.median(values) for key, values in floors.items()}
            med = {label: {key: statistics.median(r[key] for r in rs) for key in rs[0]} for label, rs in runs.items()}
            rows.append((size_mb, floor, statistics.median(loads), med))
            print(f"{size_mb} MB: {floors}, runs {runs}", flush=True)
    finally:
        prefix.kill_all()
        display.stop()
        shutil.rmtree(root, ignore_errors=True)

    def rate(size_mb: int, seconds: float) -> str:  # nginx times to the millisecond
        return f"{size_mb / seconds:.0f}" if seconds > 0 else "-"

    print(f"\nmedians of {args.runs} runs; MB/s = size / time")
    print(f"{'size':>7} | {'load':>5} | {'curl s':>7} | {'curl MB/s':>9} | {'curl|sha256 s':>13} | {'WinINet s':>9} | "
          f"{'+spool s':>8} | {'CNG s':>6} | {'CNG MB/s':>8}")
    for size_mb, floor, load_median, _ in rows:
        print(f"{size_mb:>4} MB | {load_median:>5.1f} | {floor['curl']:>7.3f} | {rate(size_mb, floor['curl']):>9} | "
              f"{floor['curl|sha256']:>13.3f} | {floor['WinINet']:>9.3f} | {floor['+spool']:>8.3f} | "
              f"{floor['CNG']:>6.3f} | {rate(size_mb, floor['CNG']):>8}")
    print(f"\n{'size':>7} | {'installer':<19} | {'load':>5} | {'transfer s':>10} | {'MB/s':>5} | {'x floor':>7} | "
          f"{'run s':>6} | {'extra s':>7} | {'VmHWM MB':>8} | {'answer ms':>9}")
    smallest = rows[0][3] if rows else {}  # "extra s" is measured from the first size
    for size_mb, floor, _, med in rows:
        for label, m in med.items():
            reference = floor["curl|sha256"] if label.endswith("keyed") else floor["curl"]
            ratio = f"{reference / m['transfer']:.2f}" if m["transfer"] > 0 else "-"
            extra = f"{m['run'] - smallest[label]['run'] - m['transfer']:.2f}" if size_mb > rows[0][0] else "-"
            print(f"{size_mb:>4} MB | {label:<19} | {m['load']:>5.1f} | {m['transfer']:>10.3f} | "
                  f"{rate(size_mb, m['transfer']):>5} | {ratio:>7} | {m['run']:>6.2f} | {extra:>7} | "
                  f"{m['hwm']:>8.1f} | {m['answer']:>9.0f}")


if __name__ == "__main__":
    main()
