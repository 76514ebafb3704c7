"""Driving the installer under Wine the way a user does, and looking at what it shows.

Wine's output always goes to files: the first Wine process of a prefix starts the
wineserver, which inherits its standard handles, so a pipe would stay open as long
as the server lives.
"""
from __future__ import annotations

import contextlib
import functools
import json
import os
import re
import shutil
import socket
import subprocess
import threading
import time
from collections import Counter
from pathlib import Path, PureWindowsPath
from types import SimpleNamespace

REPO = Path(__file__).resolve().parents[2]
# scripts/test-i686.sh runs the suite on the width that ships: the i686 build
# under 32-bit Wine in a chroot, where a 32-bit program's system folder is syswow64.
I686_CHROOT = os.environ.get("NORQ_E2E_I686_CHROOT")
if I686_CHROOT:
    BUILD, SYSTEM_FOLDER = REPO / "build" / "win32-test", "syswow64"
    WINE, WINESERVER = ([str(REPO / "tests" / "i686" / "wine-in-chroot"), p] for p in ("wine64", "wineserver"))
else:
    BUILD, SYSTEM_FOLDER = REPO / "build" / "win64", "system32"
    WINE, WINESERVER = ["/usr/lib/wine/wine64"], ["/usr/lib/wine/wineserver"]
INSTALLER_EXE = BUILD / "norq_installer.exe"
KEYED_EXE = BUILD / "norq_installer_keyed.exe"
# ... and with a minimum index serial one above the build's own (2 in the test builds).
KEYED_NEXT_EXE = BUILD / "norq_installer_keyed_next.exe"
TEST_KEY = BUILD / "test-key" / "private.pem"
PROBE_EXE = BUILD / "norq_probe.exe"
PUBLISH = REPO / "build" / "native" / "norq-publish"

MAIN_CAPTION = "brisel表格快递单打印软件"
MESSAGE_TITLE = "Quovexa"
(HEADER, LOGO, EDITION_LINE, START_BUTTON, SERVER_LINE, NOTICE_LINE, HELP_LINE, STATUS_LINE,
 PROGRESS_PANEL, TRANSFER_LINE, PERCENT_TEXT, PROGRESS_BAR) = range(1001, 1013)
INSTALL_FOLDER = r"C:\norq_e2e"
PRIMARY_PORT, SECONDARY_PORT = 18080, 18081
NAMESPACE_HINT = "run the suite in its own network namespace (scripts/test.sh does)"
LANDED = re.compile(r"\.[0-9a-f]{16}\.tmp$")  # a body's file beside its target


class HarnessError(AssertionError):
    pass


@functools.cache
def manifest() -> tuple[tuple[str, str, str], ...]:
    """(file name, server path, "system" or "installer") in the installer's order, from the manifest table."""
    try:
        listed = subprocess.run([str(PUBLISH), "--list"], capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        raise HarnessError(f"{PUBLISH} --list failed ({error}): build it with `cmake --build --preset native`") from None
    return tuple(tuple(line.split("\t")) for line in listed.splitlines())


def __getattr__(name: str):
    # Asked for on import by the cases, not when the demo imports this before building.
    if name == "COMPONENTS":  # the shared components the installer puts into the system folder
        return tuple(file for file, _, where in manifest() if where == "system")
    if name == "SERVER_PATHS":  # every file's server path, in the installer's order
        return {file: path for file, path, _ in manifest()}
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def wait_until(check, timeout: float, what: str, interval: float = 0.1):
    deadline = time.monotonic() + timeout
    while not (value := check()):
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)
    return value


def gbk(text: str) -> bytes:
    return text.encode("gbk")


def on_z(path: Path) -> str:
    return "Z:" + str(path).replace("/", "\\")


def close_to(colour, expected, tolerance: int = 0) -> bool:
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def text_pixels(counts: dict, colour, tolerance: int) -> int:
    return sum(n for c, n in counts.items() if close_to(c, colour, tolerance))


class Display:
    """A private Xvfb, or with `name` one that is already there (the demo on the user's screen)."""

    def __init__(self, workdir: Path, name: str = ""):
        self.workdir, self.name, self.process = workdir, name, None

    def start(self) -> "Display":
        read_end, write_end = os.pipe()
        with open(self.workdir / "xvfb.log", "wb") as log:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(write_end,), start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as ready:
            number = ready.readline().strip()
        if not number:
            self.stop()
            raise HarnessError(f"Xvfb did not start, see {self.workdir / 'xvfb.log'}")
        self.name = f":{number.decode()}"
        return self

    def stop(self) -> None:
        if self.process:
            self.process.terminate()
            self.process.wait(5)

    def capture(self, path: Path, box: str = "") -> None:
        path.parent.mkdir(parents=True, exist_ok=True)
        crop = ["-crop", box, "+repage"] if box else []
        subprocess.run(["import", "-display", self.name, "-window", "root", *crop, str(path)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)

    def screenshot(self, path: Path) -> "Screenshot":
        self.capture(path)
        return Screenshot(path)


class Screenshot:
    """A screenshot's RGB pixels, row by row; boxes are (left, top, right, bottom), the last two exclusive."""

    def __init__(self, path: Path):
        ppm = subprocess.run(["convert", str(path), "-depth", "8", "ppm:-"], check=True, capture_output=True,
                             timeout=30).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        if not header:
            raise HarnessError(f"unexpected picture format from convert: {ppm[:20]!r}")
        self.path, self.width, self.height = path, int(header[1]), int(header[2])
        self.pixels = ppm[header.end():]

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise HarnessError(f"pixel {x},{y} lies outside the {self.width}x{self.height} screen")
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def rows(self, left: int, top: int, right: int, bottom: int):
        left, right = max(left, 0), min(right, self.width)
        for y in range(max(top, 0), min(bottom, self.height)):
            yield self.pixels[(y * self.width + left) * 3:(y * self.width + right) * 3]

    def colours(self, *box: int) -> dict[tuple[int, int, int], int]:
        return Counter(tuple(row[i:i + 3]) for row in self.rows(*box) for i in range(0, len(row), 3))


class WindowDump:
    """The main window as the probe saw it: rects in screen pixels; each control's id, text,
    visible, enabled, parent and box (left, top, width, height) relative to the client area."""

    def __init__(self, raw: dict):
        self.pid, self.window, self.client = raw["pid"], raw["window"], raw["client"]
        self.controls: dict[int, SimpleNamespace] = {}
        for c in raw["controls"]:
            self.controls.setdefault(c["id"], SimpleNamespace(**{k: v for k, v in c.items() if k != "rect"}, **c["rect"]))

    def control(self, control_id: int) -> SimpleNamespace:
        if control_id not in self.controls:
            raise HarnessError(f"no child window with id {control_id}; ids seen: {sorted(self.controls)}")
        return self.controls[control_id]

    def text(self, control_id: int) -> str:
        return self.control(control_id).text

    def to_screen(self, x: int, y: int) -> tuple[int, int]:
        return self.client["left"] + x, self.client["top"] + y


class WinePrefix:
    def __init__(self, root: Path, display: Display, desktop: str = ""):
        """`desktop` ("1024x768"): a virtual desktop, where Wine draws captions and frames as Windows does."""
        self.root, self.display, self.path, self.logs = root, display, root / "prefix", root / "logs"
        self.desktop = desktop
        self.drive_c = self.path / "drive_c"
        self.system_folder = self.drive_c / "windows" / SYSTEM_FOLDER
        self.d_link = self.path / "dosdevices" / "d:"
        self.server: subprocess.Popen | None = None
        self.info: dict = {}

    def env(self, **extra: str) -> dict[str, str]:
        env = {k: v for k, v in os.environ.items() if k not in ("LANGUAGE", "LC_CTYPE", "LC_MESSAGES")}
        # Without the overrides Wine offers to download Mono and Gecko in a dialog; the ANSI
        # code page follows the locale: 936 (GBK) as on the target systems.
        return env | {"WINEPREFIX": str(self.path), "WINEDEBUG": "-all", "WINEARCH": "win64",
                      "WINEDLLOVERRIDES": "mscoree,mshtml=", "LANG": "zh_CN.UTF-8", "LC_ALL": "zh_CN.UTF-8",
                      "DISPLAY": self.display.name} | extra

    def unix_path(self, windows_path: str) -> Path:
        """C:\\a\\b -> the prefix's file; D:\\... -> the folder D: points at."""
        p = PureWindowsPath(windows_path)
        return (self.path / "dosdevices" / p.drive.lower()).resolve().joinpath(*p.parts[1:])

    def map_d(self, folder: Path) -> None:
        folder.mkdir(parents=True, exist_ok=True)
        self.unmap_d()
        self.d_link.symlink_to(folder)

    def unmap_d(self) -> None:
        self.d_link.unlink(missing_ok=True)

    def spawn(self, command: list[str], name: str) -> subprocess.Popen:
        with open(self.logs / f"{name}.log", "ab") as log:
            return subprocess.Popen(command, env=self.env(), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                    cwd=self.root)

    def run(self, args: list[str], name: str, timeout: float = 60) -> int:
        with self.spawn([*WINE, *args], name) as process:
            try:
                return process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                raise

    def probe(self, *args: str) -> tuple[int, dict | None]:
        """Runs the probe ("{out}" stands for its output file); returns its exit code and JSON."""
        out = self.root / "probe.json"
        out.unlink(missing_ok=True)
        code = self.run([str(PROBE_EXE), *[on_z(out) if a == "{out}" else a for a in args]], "probe", 20)
        if code == 2:
            raise HarnessError(f"probe {' '.join(args)} failed, see {self.logs / 'probe.log'}")
        return code, json.loads(out.read_text(encoding="utf-8")) if out.exists() else None

    def watch_answers(self, seconds: float) -> SimpleNamespace:
        out = self.root / f"answer-{time.monotonic_ns()}.json"
        process = self.spawn([*WINE, str(PROBE_EXE), "answer", MAIN_CAPTION, f"{seconds:g}", on_z(out)], "probe-answer")
        # Ready once it looks for the window: a window made before would be watched too late.
        wait_until(lambda: out.exists() or process.poll() is not None, 30, "the answer probe to start", 0.02)

        def result(timeout: float = 30) -> dict:
            try:
                code = process.wait(seconds + timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                raise HarnessError("the answer probe did not end") from None
            if code != 0 or not out.exists():
                raise HarnessError(f"the answer probe failed (exit code {code})")
            return json.loads(out.read_text(encoding="utf-8"))
        return SimpleNamespace(result=result)

    def start_server(self) -> None:
        """A wineserver that outlives short gaps between cases keeps every start in this prefix fast."""
        self.path.mkdir(parents=True, exist_ok=True)  # else it cannot start in the new prefix
        self.server = self.spawn([*WINESERVER, "-f", "-p30"], "wineserver")

    def kill_all(self) -> None:
        subprocess.run([*WINESERVER, "-k"], env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        if self.server:
            self.server.wait(10)

    def create(self) -> None:
        for exe in (INSTALLER_EXE, PROBE_EXE):
            if not exe.exists():
                raise HarnessError(f"{exe} is missing: build it with `cmake --build --preset win64`")
        self.logs.mkdir(parents=True, exist_ok=True)
        self.start_server()
        # The prefix's UI fonts have no Chinese glyphs: message boxes would show boxes.
        reg = self.root / "fonts.reg"
        fonts = ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "SimSun", "宋体")
        # Windows draws text with ClearType; without smoothing Chinese glyphs come out jagged.
        smoothing = (r"[HKEY_CURRENT_USER\Control Panel\Desktop]", '"FontSmoothing"="2"',
                     '"FontSmoothingType"=dword:00000002', '"FontSmoothingGamma"=dword:00000578',
                     '"FontSmoothingOrientation"=dword:00000001', "")
        desktop = (r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="Default"', "",
                   r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", f'"Default"="{self.desktop}"',
                   "") if self.desktop else ()
        reg.write_bytes("\r\n".join(["Windows Registry Editor Version 5.00", "",
                                     r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
                                     *(f'"{font}"="WenQuanYi Micro Hei"' for font in fonts), "",
                                     *smoothing, *desktop]).encode("utf-16"))
        for args, name, timeout in ((["wineboot", "-i"], "wineboot", 180), (["regedit", "/S", on_z(reg)], "regedit", 60)):
            if self.run(args, name, timeout) != 0:
                raise HarnessError(f"{name} failed, see {self.logs / name}.log")
        # Caption buttons are glyphs of Wine's Marlett, which this Wine finds only in the prefix.
        marlett = Path(I686_CHROOT or "/") / "usr/share/wine/fonts/marlett.ttf"
        if marlett.exists():
            shutil.copy(marlett, self.drive_c / "windows" / "Fonts")
        if self.desktop:
            # wineboot made the default desktop before the setting existed: a new server makes it anew.
            self.kill_all()
            self.start_server()
        _, self.info = self.probe("info", "{out}")
        if self.info["acp"] != 936:
            raise HarnessError(f"Wine's ANSI code page is {self.info['acp']}, not 936: is the "
                               "zh_CN.UTF-8 locale generated (scripts/setup.sh)?")

    def components(self) -> list[Path]:
        names = {file.lower() for file, _, where in manifest() if where == "system"}
        return [e for e in self.system_folder.iterdir() if e.name.lower() in names]

    def component_path(self, component: str) -> Path:
        return self.system_folder / component

    @property
    def support_log_folder(self) -> Path:
        return self.drive_c / "ProgramData" / "norq"

    def support_logs(self) -> list[Path]:
        return sorted(self.support_log_folder.glob("norq_installer.log*"))

    def support_log(self) -> str:
        logs = [p for p in self.support_logs() if p.name == "norq_installer.log" and p.is_file()]
        return logs[0].read_text(encoding="utf-8") if logs else ""

    def block_support_log(self, link_to: Path | None = None) -> None:
        """The log's folder made beforehand (by the user's own account, as Wine sees every file),
        holding a folder where the log would go; or, with `link_to`, a second name of that file,
        which the log must leave alone."""
        self.support_log_folder.mkdir(exist_ok=True)
        log = self.support_log_folder / "norq_installer.log"
        os.link(link_to, log) if link_to else log.mkdir()

    def temporaries(self) -> list[Path]:
        folders = (self.system_folder, self.unix_path(INSTALL_FOLDER))
        return [p for folder in folders if folder.is_dir() for p in folder.iterdir() if LANDED.search(p.name)]

    def user_temp_files(self) -> set[Path]:
        found = set()
        for pattern in ("users/*/Temp", "users/*/AppData/Local/Temp"):
            for folder in self.drive_c.glob(pattern):
                found.update(p for p in folder.rglob("*") if not p.is_dir())
        return found

    @contextlib.contextmanager
    def watch_user_temp(self, every: float = 0.02):
        """Yields the set of files that appear in the users' temporary folders while the block runs."""
        before, seen, stop = self.user_temp_files(), set(), threading.Event()

        def look():
            while True:
                with contextlib.suppress(OSError):
                    seen.update(self.user_temp_files() - before)
                if stop.wait(every):
                    break
        watcher = threading.Thread(target=look, daemon=True)
        watcher.start()
        try:
            yield seen
        finally:
            stop.set()
            watcher.join()
            seen.update(self.user_temp_files() - before)

    def reset(self, extra_folders: tuple[str, ...] = ()) -> None:
        markers = [e for e in self.drive_c.iterdir() if e.name.lower() in ("norqoem.dat", "norq_url.dat")]
        d_entries = list(self.d_link.resolve().iterdir()) if self.d_link.exists() else []
        log_folder = [self.support_log_folder] if os.path.lexists(self.support_log_folder) else []
        for entry in [*markers, *log_folder, *self.temporaries(), *self.components(),
                      *map(self.unix_path, extra_folders), *d_entries]:
            if entry.is_dir() and not entry.is_symlink():
                shutil.rmtree(entry)
            else:
                entry.unlink(missing_ok=True)


def port_taken(port: int) -> bool:
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def require_free_ports(*ports: int) -> None:
    for port in filter(port_taken, ports):
        raise HarnessError(f"something listens on 127.0.0.1:{port}; {NAMESPACE_HINT}")


class Installer:
    def __init__(self, prefix: WinePrefix, process: subprocess.Popen, logdir: Path, trace: Path | None):
        self.prefix, self.process, self.logdir, self.trace_path = prefix, process, logdir, trace

    def main_window(self) -> WindowDump | None:
        code, data = self.prefix.probe("dump", MAIN_CAPTION, "{out}")
        return WindowDump(data) if code == 0 and data["visible"] else None

    def message_box(self, title: str = MESSAGE_TITLE) -> SimpleNamespace | None:
        """A shown message box: its title, text, buttons ({id, text}), pid and window rect."""
        code, data = self.prefix.probe("msgbox", title, "{out}")
        return SimpleNamespace(**data) if code == 0 else None

    def _wait_shown(self, look, what: str, timeout: float):
        return wait_until(lambda: self._fail_if_ended(what) or look(), timeout, what)

    def wait_main_window(self, timeout: float = 30) -> WindowDump:
        return self._wait_shown(self.main_window, f'the window "{MAIN_CAPTION}"', timeout)

    def wait_message_box(self, title: str = MESSAGE_TITLE, timeout: float = 30) -> SimpleNamespace:
        return self._wait_shown(lambda: self.message_box(title), f'a message box titled "{title}"', timeout)

    def screenshot(self, name: str = "screen") -> Screenshot:
        return self.prefix.display.screenshot(self.logdir / f"{name}.png")

    def wait_painted(self, rect: dict, timeout: float = 10) -> Screenshot:
        box = (rect["left"], rect["top"], rect["right"], rect["bottom"])
        last: list[list[bytes]] = []

        def settled():
            shot = self.screenshot("painted")
            pixels = list(shot.rows(*box))
            same, last[:] = last == [pixels], [pixels]
            return shot if same else None
        return wait_until(settled, timeout, "the window to finish painting", interval=0.2)

    def _post(self, command: str, title: str, what: str, *more: str) -> None:
        # A probe that misses once (Wine starting it slowly, say) gets a few more tries.
        deadline = time.monotonic() + 5
        while self.prefix.probe(command, title, *more)[0] != 0:
            if time.monotonic() > deadline or not self.running:
                ended = "still runs" if self.running else f"had ended with exit code {self.process.returncode}"
                raise HarnessError(f'no {what} "{title}"; the installer {ended}; logs in {self.logdir}')
            time.sleep(0.2)

    def press_ok(self, title: str = MESSAGE_TITLE) -> None:
        self._post("press-ok", title, "message box to press OK on:")

    def click(self, control_id: int) -> None:
        self._post("click", MAIN_CAPTION, f"enabled button {control_id} in the window", str(control_id))

    def close(self, title: str = MAIN_CAPTION) -> None:
        self._post("close", title, "window to close:")

    @property
    def running(self) -> bool:
        return self.process.poll() is None

    def wait_exit(self, timeout: float = 15) -> int:
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"the installer still runs {timeout:.1f} s later") from None

    def kill(self) -> None:
        if self.running:
            self.process.kill()
            self.process.wait()

    def _fail_if_ended(self, what: str) -> None:
        if not self.running:
            raise HarnessError(f"the installer ended (exit code {self.process.returncode}) "
                               f"before showing {what}; logs in {self.logdir}")

    def started_programs(self) -> list[tuple[str | None, str]]:
        """(program, command line) of each start in its trace, in order; the program is None
        where the start named none and left the system to search for it."""
        trace = self.trace_path.read_text(encoding="utf-8", errors="replace")
        # Wine's debugstr_w writes \n \r \t \" \\ and \XXXX for what is not printable ASCII,
        # and (null) for a null string.
        def unescape(m):
            return chr(int(m[1], 16)) if len(m[1]) == 4 else {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1])

        def text(wide: str | None) -> str | None:
            return None if wide is None else re.sub(r"\\([0-9a-fA-F]{4}|.)", unescape, wide)
        wide = r'(?:L"((?:[^"\\]|\\.)*)"|\(null\))'
        starts = re.finditer(rf"CreateProcessInternalW app {wide} cmdline {wide}", trace)
        return [(text(m[1]), text(m[2])) for m in starts]


class Machine:
    def __init__(self, prefix: WinePrefix, workdir: Path):
        self.prefix, self.workdir, self.d_folder = prefix, workdir, workdir / "drive_d"
        self.folders, self.installers = [INSTALL_FOLDER], []
        prefix.reset()  # a case starts from a machine without markers or components
        prefix.map_d(self.d_folder)

    def place(self, oem: bytes | None = gbk("测试版\r\n"), exe: Path = INSTALLER_EXE) -> str:
        target = self.file(INSTALL_FOLDER)
        target.mkdir(parents=True, exist_ok=True)
        shutil.copy2(exe, target / INSTALLER_EXE.name)
        if oem is not None:
            (target / "norqoem.dat").write_bytes(oem)
        return str(PureWindowsPath(INSTALL_FOLDER) / INSTALLER_EXE.name)

    def start(self, exe: str, args: str = "", trace: bool | str = False, env: dict | None = None,
              wrapper: tuple[str, ...] = ()) -> Installer:
        """Starts a Windows program; `args` words are joined by blanks into its command line.
        `trace` logs Wine's process starts (True) or the given WINEDEBUG channels to trace.log;
        `env` adds to (or overrides) Wine's environment; `wrapper` is a command that execs Wine."""
        logdir = self.workdir / f"run{len(self.installers) + 1}"
        logdir.mkdir(parents=True, exist_ok=True)
        trace_path = logdir / "trace.log" if trace else None
        channels = "trace+process" if trace is True else trace
        env = self.prefix.env(**({"WINEDEBUG": channels} if channels else {}), **(env or {}))
        with open(logdir / "stdout.log", "wb") as out, open(trace_path or logdir / "stderr.log", "wb") as err:
            process = subprocess.Popen([*wrapper, *WINE, exe, *args.split()], env=env, stdin=subprocess.DEVNULL,
                                       cwd=self.file(str(PureWindowsPath(exe).parent)), stdout=out, stderr=err)
        self.installers.append(Installer(self.prefix, process, logdir, trace_path))
        return self.installers[-1]

    def launch(self, oem: bytes | None = gbk("测试版\r\n"), args: str = "", trace: bool | str = False,
               exe: Path = INSTALLER_EXE, env: dict | None = None):
        return self.start(self.place(oem, exe), args, trace, env)

    def file(self, windows_path: str) -> Path:
        return self.prefix.unix_path(windows_path)

    def finish(self) -> None:
        for installer in self.installers:
            installer.kill()
        # Wine removes a killed installer's delete-on-close temporaries a moment after the kill.
        with contextlib.suppress(HarnessError):
            wait_until(lambda: not self.prefix.temporaries(), 10, "the killed installer's temporaries to go")
        # A process the installer started (or a window left over) must not meet the next case.
        if self.prefix.probe("info", "{out}")[1]["windows"]:
            self.prefix.kill_all()
            self.prefix.start_server()
        self.prefix.map_d(self.d_folder)
        self.prefix.reset(tuple(self.folders))
