"""Driving the installer under Wine the way a user does, and looking at what it shows.

One X server and one Wine prefix serve a whole test run (a new prefix costs
about ten seconds); each case puts the installer where it wants it, starts it,
watches it through the probe (a second Wine program reading the windows) and
screenshots, and the prefix is reset to a known state between cases.

Wine's output always goes to files: the first Wine process of a prefix starts
the wineserver, which inherits its standard handles, so a pipe would stay open
as long as the server lives.
"""
from __future__ import annotations

import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path, PureWindowsPath

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("NORQ_WIN64_BUILD", REPO / "build" / "win64"))
INSTALLER_EXE = BUILD / "norq_installer.exe"
PROBE_EXE = BUILD / "norq_probe.exe"

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

MAIN_CAPTION = "brisel表格快递单打印软件"
MESSAGE_TITLE = "Quovexa"
INSTALLER_NAME = "norq_installer.exe"
# The win64 test build asks these loopback ports for its two pointer pages.
PRIMARY_PORT = 18080
SECONDARY_PORT = 18081

# The shared components the installer puts into the system folder. Wine ships
# files of its own under some of these names; a reset removes all of them and a
# test creates the ones its case needs.
COMPONENTS = (
    "comcat.dll", "MCI32.OCX", "stdole2.tlb", "shdocvw.dll", "shdocvw.oca",
    "msxml3.dll", "MSINET.OCX", "COMDLG32.OCX", "MSADODC.OCX",
)
MARKERS_ON_C = ("norqoem.dat", "norq_url.dat")

# The prefix's UI fonts have no Chinese glyphs: message boxes and dialogs would
# show boxes without these replacements.
CHINESE_FONT = "WenQuanYi Zen Hei"
REPLACED_FONTS = ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "SimSun", "宋体")

POLL = 0.1


class HarnessError(AssertionError):
    """A wait that ran out or a tool that failed: reported as a test failure."""


def wait_until(check, timeout: float, what: str, interval: float = POLL):
    """Polls `check` until it returns something truthy; that value is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


def gbk(text: str) -> bytes:
    """Marker-file bytes as the installer's ANSI code page (936) holds them."""
    return text.encode("gbk")


# --------------------------------------------------------------------------- X


class Display:
    """A private Xvfb; `-displayfd` picks a free number and tells us when it is ready."""

    def __init__(self, workdir: Path, size: str = "1024x768x24"):
        self.workdir = workdir
        self.size = size
        self.process: subprocess.Popen | None = None
        self.name = ""

    def start(self) -> "Display":
        read_end, write_end = os.pipe()
        log = open(self.workdir / "xvfb.log", "wb")
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size, "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(write_end,),
                start_new_session=True)
        finally:
            os.close(write_end)
            log.close()
        with os.fdopen(read_end, "rb") as ready:
            number = ready.readline().strip()
        if not number:
            self.stop()
            raise HarnessError(f"Xvfb did not start, see {self.workdir / 'xvfb.log'}")
        self.name = f":{number.decode()}"
        return self

    def stop(self) -> None:
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def screenshot(self, path: Path) -> "Screenshot":
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-display", self.name, "-window", "root", str(path)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)
        return Screenshot.load(path)


@dataclass
class Screenshot:
    path: Path
    width: int
    height: int
    pixels: bytes  # RGB, row by row

    @classmethod
    def load(cls, path: Path) -> "Screenshot":
        ppm = subprocess.run(["convert", str(path), "-depth", "8", "ppm:-"],
                             check=True, capture_output=True, timeout=30).stdout
        # P6 header: magic, width, height, maxval, each after whitespace; then one byte of whitespace.
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            if ppm[pos:pos + 1] == b"#":
                pos = ppm.index(b"\n", pos)
                continue
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise HarnessError(f"unexpected picture format from convert: {fields}")
        width, height = int(fields[1]), int(fields[2])
        return cls(path, width, height, ppm[pos + 1:pos + 1 + width * height * 3])

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise HarnessError(f"pixel {x},{y} lies outside the {self.width}x{self.height} screen")
        i = (y * self.width + x) * 3
        return self.pixels[i], self.pixels[i + 1], self.pixels[i + 2]

    def region(self, left: int, top: int, right: int, bottom: int) -> bytes:
        rows = []
        for y in range(max(top, 0), min(bottom, self.height)):
            start = (y * self.width + max(left, 0)) * 3
            rows.append(self.pixels[start:(y * self.width + min(right, self.width)) * 3])
        return b"".join(rows)

    def colours(self, left: int, top: int, right: int, bottom: int) -> dict[tuple[int, int, int], int]:
        """How often each colour occurs in a box given in screen pixels (right, bottom exclusive)."""
        counts: dict[tuple[int, int, int], int] = {}
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                colour = self.pixel(x, y)
                counts[colour] = counts.get(colour, 0) + 1
        return counts


def close_to(colour, expected, tolerance: int = 0) -> bool:
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


# ------------------------------------------------------------------ windows seen


@dataclass
class Control:
    id: int
    cls: str
    text: str
    visible: bool
    own_visible: bool
    enabled: bool
    parent: int
    left: int
    top: int
    width: int
    height: int


@dataclass
class WindowDump:
    """The installer's main window as the probe saw it; rects in screen pixels."""
    raw: dict
    controls: dict[int, Control] = field(default_factory=dict)

    @classmethod
    def parse(cls, raw: dict) -> "WindowDump":
        dump = cls(raw)
        for c in raw["controls"]:
            r = c["rect"]
            dump.controls.setdefault(c["id"], Control(
                c["id"], c["class"], c["text"], c["visible"], c["own_visible"], c["enabled"], c["parent"],
                r["left"], r["top"], r["width"], r["height"]))
        return dump

    @property
    def pid(self) -> int:
        return self.raw["pid"]

    @property
    def window(self) -> dict:
        return self.raw["window"]

    @property
    def client(self) -> dict:
        return self.raw["client"]

    def control(self, control_id: int) -> Control:
        if control_id not in self.controls:
            raise HarnessError(f"no child window with id {control_id}; ids seen: {sorted(self.controls)}")
        return self.controls[control_id]

    def text(self, control_id: int) -> str:
        return self.control(control_id).text

    def to_screen(self, x: int, y: int) -> tuple[int, int]:
        """A point given relative to the client area's origin, on the screen."""
        return self.client["left"] + x, self.client["top"] + y


@dataclass
class MessageBox:
    title: str
    text: str
    buttons: list[dict]
    pid: int
    window: dict

    @property
    def button_texts(self) -> list[str]:
        return [b["text"] for b in self.buttons]


# --------------------------------------------------------------- trace parsing

_CMDLINE = re.compile(r'CreateProcessInternalW .*?cmdline L"((?:[^"\\]|\\.)*)"(\.\.\.)?')


def _unescape_wine(text: str) -> str:
    """Undoes Wine's debugstr_w: \\n \\r \\t \\" \\\\ and \\XXXX for anything not printable ASCII."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 >= len(text):
            out.append(c)
            i += 1
            continue
        nxt = text[i + 1]
        simple = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
        if nxt in simple:
            out.append(simple[nxt])
            i += 2
        elif re.fullmatch(r"[0-9a-fA-F]{4}", text[i + 1:i + 5]):
            out.append(chr(int(text[i + 1:i + 5], 16)))
            i += 5
        else:
            out.append(c)
            i += 1
    return "".join(out)


@dataclass
class StartedProcess:
    cmdline: str
    truncated: bool  # Wine shortens long strings in its traces


def started_processes(trace: str) -> list[StartedProcess]:
    """Every command line a `WINEDEBUG=trace+process` log shows being started, in order."""
    found = []
    for match in _CMDLINE.finditer(trace):
        found.append(StartedProcess(_unescape_wine(match.group(1)), bool(match.group(2))))
    return found


# ---------------------------------------------------------------------- Wine


class WinePrefix:
    """One prefix for the run: made once, then reset between cases."""

    def __init__(self, root: Path, display: Display, probe: Path = PROBE_EXE):
        self.root = root
        self.path = root / "prefix"
        self.logs = root / "logs"
        self.display = display
        self.probe_exe = probe
        self.originals = root / "wine-originals"
        self._server: subprocess.Popen | None = None
        self.info: dict = {}

    # -- environment and paths

    def env(self, **extra: str) -> dict[str, str]:
        env = dict(os.environ)
        for key in ("LANGUAGE", "LC_CTYPE", "LC_MESSAGES"):
            env.pop(key, None)
        env.update({
            "WINEPREFIX": str(self.path),
            "WINEDEBUG": "-all",
            "WINEARCH": "win64",
            # Without these Wine offers to download Mono and Gecko in a dialog.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            # The ANSI code page follows the locale: 936 (GBK) as on the target systems.
            "LANG": "zh_CN.UTF-8",
            "LC_ALL": "zh_CN.UTF-8",
            "DISPLAY": self.display.name,
        })
        env.update(extra)
        return env

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    @property
    def system32(self) -> Path:
        return self.drive_c / "windows" / "system32"

    @property
    def d_link(self) -> Path:
        return self.path / "dosdevices" / "d:"

    def unix_path(self, windows_path: str) -> Path:
        """C:\\a\\b -> the prefix's file; D:\\... -> the folder D: points at."""
        p = PureWindowsPath(windows_path)
        drive = p.drive.lower()
        link = self.path / "dosdevices" / drive
        if not link.exists():
            raise HarnessError(f"drive {p.drive} is not mapped in the prefix")
        return link.resolve().joinpath(*p.parts[1:])

    # -- the drive D:

    def map_d(self, folder: Path) -> None:
        folder.mkdir(parents=True, exist_ok=True)
        self.unmap_d()
        self.d_link.symlink_to(folder)

    def unmap_d(self) -> None:
        """A machine without D:."""
        if self.d_link.is_symlink() or self.d_link.exists():
            self.d_link.unlink()

    # -- running Wine programs

    def run(self, args: list[str], name: str, timeout: float = 60, cwd: Path | None = None,
            **env: str) -> int:
        """Runs a Wine program to its end; its output goes to logs/NAME.log."""
        self.logs.mkdir(parents=True, exist_ok=True)
        with open(self.logs / f"{name}.log", "ab") as log:
            return subprocess.run([WINE, *args], env=self.env(**env), stdin=subprocess.DEVNULL,
                                  stdout=log, stderr=log, cwd=cwd or self.root, timeout=timeout).returncode

    def probe(self, *args: str, timeout: float = 20) -> tuple[int, dict | None]:
        """Runs the probe; returns its exit code and the JSON it wrote, if any."""
        out = self.root / "probe.json"
        out.unlink(missing_ok=True)
        win_out = "Z:" + str(out).replace("/", "\\")
        argv = [str(self.probe_exe), *[win_out if a == "{out}" else a for a in args]]
        code = self.run(argv, "probe", timeout=timeout)
        data = json.loads(out.read_text(encoding="utf-8")) if out.exists() else None
        if code == 2:
            raise HarnessError(f"probe {' '.join(args)} failed, see {self.logs / 'probe.log'}")
        return code, data

    def start_server(self) -> None:
        """A wineserver that outlives short gaps between cases keeps every start in this prefix fast."""
        if self._server and self._server.poll() is None:
            return
        self.logs.mkdir(parents=True, exist_ok=True)
        log = open(self.logs / "wineserver.log", "ab")
        self._server = subprocess.Popen([WINESERVER, "-f", "-p30"], env=self.env(), stdin=subprocess.DEVNULL,
                                        stdout=log, stderr=log)
        log.close()

    def kill_all(self) -> None:
        """Ends every Windows process of the prefix, and its wineserver."""
        subprocess.run([WINESERVER, "-k"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if self._server:
            try:
                self._server.wait(10)
            except subprocess.TimeoutExpired:
                self._server.kill()
                self._server.wait()
            self._server = None

    # -- making and resetting

    def create(self) -> None:
        if not self.probe_exe.exists():
            raise HarnessError(f"{self.probe_exe} is missing: build it with `cmake --build --preset win64`")
        self.root.mkdir(parents=True, exist_ok=True)
        self.start_server()
        if self.run(["wineboot", "-i"], "wineboot", timeout=180) != 0:
            raise HarnessError(f"wineboot failed, see {self.logs / 'wineboot.log'}")
        self._replace_fonts()
        self._keep_originals()
        _, info = self.probe("info", "{out}")
        if not info or info["acp"] != 936:
            raise HarnessError(f"Wine's ANSI code page is {info and info['acp']}, not 936: is the "
                               "zh_CN.UTF-8 locale generated (scripts/setup.sh)?")
        self.info = info

    def _replace_fonts(self) -> None:
        lines = ["Windows Registry Editor Version 5.00", "",
                 r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
        lines += [f'"{font}"="{CHINESE_FONT}"' for font in REPLACED_FONTS]
        reg = self.root / "fonts.reg"
        reg.write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-16"))
        win_reg = "Z:" + str(reg).replace("/", "\\")
        if self.run(["regedit", "/S", win_reg], "regedit") != 0:
            raise HarnessError(f"regedit failed, see {self.logs / 'regedit.log'}")

    def _keep_originals(self) -> None:
        self.originals.mkdir(exist_ok=True)
        for entry in self.system32.iterdir():
            if entry.name.lower() in {c.lower() for c in COMPONENTS}:
                shutil.copy2(entry, self.originals / entry.name.lower())

    def wine_original(self, component: str) -> bytes | None:
        """The file Wine itself shipped under a component's name, if any."""
        kept = self.originals / component.lower()
        return kept.read_bytes() if kept.exists() else None

    def component_path(self, component: str) -> Path:
        return self.system32 / component

    def reset(self, extra_folders: tuple[str, ...] = ()) -> None:
        """Removes what the installer may have written: markers, components, given folders, D:'s contents."""
        for name in MARKERS_ON_C:
            for entry in self.drive_c.iterdir():
                if entry.name.lower() == name:
                    entry.unlink()
        names = {c.lower() for c in COMPONENTS}
        for entry in self.system32.iterdir():
            if entry.name.lower() in names:
                shutil.rmtree(entry) if entry.is_dir() and not entry.is_symlink() else entry.unlink()
        for folder in extra_folders:
            target = self.unix_path(folder)
            if target.is_dir() and not target.is_symlink():
                shutil.rmtree(target)
        if self.d_link.exists():
            for entry in self.d_link.resolve().iterdir():
                if entry.is_dir() and not entry.is_symlink():
                    shutil.rmtree(entry)
                else:
                    entry.unlink()


# -------------------------------------------------------------------- servers


class SilentServer:
    """A loopback host that accepts connections and never answers: a request to it
    stays pending until the client's own time-out."""

    def __init__(self, port: int, host: str = "127.0.0.1"):
        self.address = (host, port)
        self._listener: socket.socket | None = None
        self._held: list[socket.socket] = []
        self._thread: threading.Thread | None = None
        self._stopping = threading.Event()

    def __enter__(self) -> "SilentServer":
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            listener.bind(self.address)
        except OSError as error:
            listener.close()
            raise HarnessError(f"cannot listen on {self.address[0]}:{self.address[1]} ({error}); "
                               "run the suite in its own network namespace (scripts/test.sh does)") from None
        listener.listen(16)
        listener.settimeout(0.2)
        self._listener = listener
        self._thread = threading.Thread(target=self._hold, daemon=True)
        self._thread.start()
        return self

    def _hold(self) -> None:
        while not self._stopping.is_set():
            try:
                connection, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            self._held.append(connection)

    @property
    def connections(self) -> int:
        return len(self._held)

    def __exit__(self, *exc) -> None:
        self._stopping.set()
        if self._thread:
            self._thread.join(2)
        for connection in self._held:
            connection.close()
        if self._listener:
            self._listener.close()


def require_free_ports(*ports: int, host: str = "127.0.0.1") -> None:
    """A case that needs nobody to answer on these ports fails early if something does."""
    for port in ports:
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.settimeout(1)
            if s.connect_ex((host, port)) == 0:
                raise HarnessError(f"something listens on {host}:{port}; run the suite in its own "
                                   "network namespace (scripts/test.sh does)")


# ------------------------------------------------------------------ installer


class Installer:
    """One run of the installer: the Wine process and what a user sees of it."""

    def __init__(self, prefix: WinePrefix, process: subprocess.Popen, logdir: Path, trace: Path | None):
        self.prefix = prefix
        self.process = process
        self.logdir = logdir
        self.trace_path = trace

    # -- seeing

    def main_window(self, shown_only: bool = True) -> WindowDump | None:
        """The main window as the probe sees it; a hidden one counts only with shown_only=False."""
        code, data = self.prefix.probe("dump", MAIN_CAPTION, "{out}")
        if code != 0 or not data or not data.get("found"):
            return None
        if shown_only and not data["visible"]:
            return None
        return WindowDump.parse(data)

    def wait_main_window(self, timeout: float = 30) -> WindowDump:
        def shown():
            self._fail_if_ended("its main window")
            return self.main_window()
        return wait_until(shown, timeout, f'the window "{MAIN_CAPTION}"')

    def message_box(self, title: str = MESSAGE_TITLE) -> MessageBox | None:
        code, data = self.prefix.probe("msgbox", title, "{out}")
        if code != 0 or not data or not data.get("found"):
            return None
        return MessageBox(data["title"], data["text"], data["buttons"], data["pid"], data["window"])

    def wait_message_box(self, title: str = MESSAGE_TITLE, timeout: float = 30) -> MessageBox:
        def shown():
            self._fail_if_ended(f'a message box "{title}"')
            return self.message_box(title)
        return wait_until(shown, timeout, f'a message box titled "{title}"')

    def screenshot(self, name: str = "screen") -> Screenshot:
        return self.prefix.display.screenshot(self.logdir / f"{name}.png")

    def wait_painted(self, rect: dict | None = None, timeout: float = 10) -> Screenshot:
        """A screenshot taken once the box (the main window by default) looks the same twice running."""
        if rect is None:
            rect = self.wait_main_window(timeout).window
        box = (rect["left"], rect["top"], rect["right"], rect["bottom"])
        last: list[bytes] = []

        def settled():
            shot = self.screenshot("painted")
            pixels = shot.region(*box)
            same = bool(last) and last[0] == pixels
            last[:] = [pixels]
            return shot if same else None
        return wait_until(settled, timeout, "the window to finish painting", interval=0.2)

    # -- acting

    def press_ok(self, title: str = MESSAGE_TITLE) -> None:
        code, _ = self.prefix.probe("press-ok", title)
        if code != 0:
            raise HarnessError(f'no message box "{title}" to press OK on')

    def click(self, control_id: int, title: str = MAIN_CAPTION) -> None:
        code, _ = self.prefix.probe("click", title, str(control_id))
        if code != 0:
            raise HarnessError(f'no button {control_id} in "{title}" to click')

    def close(self, title: str = MAIN_CAPTION) -> None:
        code, _ = self.prefix.probe("close", title)
        if code != 0:
            raise HarnessError(f'no window "{title}" to close')

    # -- ending

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

    # -- its traces

    def trace(self) -> str:
        if not self.trace_path:
            raise HarnessError("the installer was started without trace=True")
        return self.trace_path.read_text(encoding="utf-8", errors="replace")

    def started_processes(self) -> list[StartedProcess]:
        return started_processes(self.trace())


class Machine:
    """One test case's view of the prefix: places and starts installers, resets after."""

    def __init__(self, prefix: WinePrefix, workdir: Path):
        self.prefix = prefix
        self.workdir = workdir
        self.d_folder = workdir / "drive_d"
        self.folders: list[str] = []
        self.files: list[Path] = []
        self.installers: list[Installer] = []
        prefix.reset()  # a case starts from a machine without markers or components
        prefix.map_d(self.d_folder)

    def place(self, folder: str = r"C:\norq_e2e", oem: bytes | None = b"",
              exe: Path = INSTALLER_EXE) -> str:
        """Puts the installer (and, unless oem is None, a norqoem.dat with those bytes) in a Windows folder."""
        if not exe.exists():
            raise HarnessError(f"{exe} is missing: build it with `cmake --build --preset win64`")
        target = self.prefix.unix_path(folder)
        target.mkdir(parents=True, exist_ok=True)
        placed = [target / INSTALLER_NAME]
        shutil.copy2(exe, placed[0])
        if oem is not None:
            placed.append(target / "norqoem.dat")
            placed[-1].write_bytes(oem)
        if PureWindowsPath(folder).parts[1:]:
            self.folders.append(folder)
        else:  # a drive's root: only what was put there goes afterwards
            self.files += placed
        return str(PureWindowsPath(folder) / INSTALLER_NAME)

    def start(self, exe: str, args: list[str] | str = (), trace: bool = False, **env: str) -> Installer:
        """Starts a placed installer; `args` words are joined by blanks into its command line."""
        words = args.split() if isinstance(args, str) else list(args)
        logdir = self.workdir / f"run{len(self.installers) + 1}"
        logdir.mkdir(parents=True, exist_ok=True)
        trace_path = logdir / "trace.log" if trace else None
        if trace:
            env.setdefault("WINEDEBUG", "trace+process")
        cwd = self.prefix.unix_path(str(PureWindowsPath(exe).parent))
        with open(logdir / "stdout.log", "wb") as out, open(trace_path or logdir / "stderr.log", "wb") as err:
            process = subprocess.Popen([WINE, exe, *words], env=self.prefix.env(**env), cwd=cwd,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        installer = Installer(self.prefix, process, logdir, trace_path)
        self.installers.append(installer)
        return installer

    def launch(self, oem: bytes | None = gbk("测试版\r\n"), folder: str = r"C:\norq_e2e",
               args: list[str] | str = (), trace: bool = False) -> Installer:
        return self.start(self.place(folder, oem), args, trace)

    def file(self, windows_path: str) -> Path:
        return self.prefix.unix_path(windows_path)

    def drive_c_entries(self) -> set[str]:
        return {e.name for e in self.prefix.drive_c.iterdir()}

    def drive_d_entries(self) -> set[str]:
        return {e.name for e in self.d_folder.iterdir()} if self.d_folder.exists() else set()

    def finish(self) -> None:
        """Ends what the case left running and removes what it wrote."""
        for installer in self.installers:
            installer.kill()
        # A process the installer started (or a window left over) must not meet the next case.
        _, seen = self.prefix.probe("windows", "{out}")
        if seen and seen["windows"]:
            self.prefix.kill_all()
            self.prefix.start_server()
        for placed in self.files:
            placed.unlink(missing_ok=True)
        self.prefix.map_d(self.d_folder)
        self.prefix.reset(tuple(self.folders))


def make_session_root() -> Path:
    base = os.environ.get("NORQ_E2E_TMP")
    return Path(tempfile.mkdtemp(prefix="norq-e2e-", dir=base))


def remove_tree(path: Path) -> None:
    shutil.rmtree(path, ignore_errors=True)
