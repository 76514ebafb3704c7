"""What the end-to-end cases share beyond the harness: the servers' addresses and paths, the
installer's texts for a failure, and the helpers that set up a case or read what it left."""
import contextlib

from harness import INSTALL_FOLDER, PRIMARY_PORT, SECONDARY_PORT, SERVER_PATHS, START_BUTTON, TRANSFER_LINE, wait_until
from servers import NginxSite, publish

FAILED, NO_SERVER = "与主机通讯时出现了错误", "安装的服务器目前不好用，稍后后再安装！"
BASE = "http://127.0.0.1:18082"  # the download server nginx serves the tree on
SCRIPTED = f"http://127.0.0.1:{PRIMARY_PORT}"  # a scripted server on the primary pointer port
POINTED = {"/quindle_www.html": {"body": SCRIPTED}}  # ... whose pointer page names itself
PROOF_DIR = r"C:\norq_proof"
# What the system folder is to every process. A 32-bit one's files there land in
# syswow64 (SYSTEM_FOLDER), and the regsvr32 it starts is 32-bit too.
SYSTEM_DIR = r"C:\windows\system32"
REGSVR32 = SYSTEM_DIR + r"\regsvr32.exe"
COMCAT, SETUP_PATH = SERVER_PATHS["comcat.dll"], SERVER_PATHS["norq_setup.exe"]
INDEX_PATH, SIGNATURE_PATH = "/norq/Soft/norq_index.txt", "/norq/Soft/norq_index.sig"


def registration(name: str) -> str:
    return f'"{REGSVR32}" /s "{SYSTEM_DIR}\\{name}"'


def registrations(app) -> list[str]:
    """The registrations the installer started: the tool by its full path, never a command interpreter."""
    started = app.started_programs()
    assert not [start for start in started if "cmd" in f"{start[0]} {start[1]}".lower()], started
    return [cmdline for program, cmdline in started if program == REGSVR32]


def registered(machine, count: int) -> list[str]:
    """The components whose DllRegisterServer ran, once `count` of them have (each started, not waited for)."""
    proof = machine.file(PROOF_DIR + r"\registered.txt")
    lines = lambda: proof.read_text(encoding="utf-8").splitlines() if proof.exists() else []
    wait_until(lambda: len(lines()) >= count, 20, f"{count} registrations")
    return sorted(lines())


@contextlib.contextmanager
def nginx_tree(machine, sources, base=BASE, edit=lambda tree: None, primary: int = PRIMARY_PORT):
    """nginx serving the tree published for `base`; `edit(tree)` changes it after it was signed."""
    tree = machine.workdir / "tree"
    publish(sources, base, tree)
    edit(tree)
    site = NginxSite(machine.workdir, tree, primary, SECONDARY_PORT, int(BASE.rsplit(":", 1)[1]))
    try:
        yield site
    finally:
        site.stop()


def flip_byte(path, offset: int) -> None:
    path.write_bytes(bytes(byte ^ (i == offset) for i, byte in enumerate(path.read_bytes())))


def state(app, control: int = TRANSFER_LINE) -> str | None:
    """A control's text now; None while the window is not shown, or the control not yet made."""
    window = app.main_window()
    shown = window.controls.get(control) if window else None
    return shown.text if shown else None


def install_dir(machine):
    machine.folders.append(PROOF_DIR)  # what the proofs write goes with the case's other leftovers
    return machine.file(INSTALL_FOLDER)


def temporaries(machine) -> list[str]:
    folders = (machine.prefix.system_folder, machine.file(INSTALL_FOLDER))
    return [p.name for folder in folders for p in folder.glob("*.tmp")]


def wait_ready(app, timeout: float = 30):
    """The window once the check has ended with an accepted reply."""
    def ready():
        app._fail_if_ended("an enabled start button")
        window = app.main_window()
        start = window.controls.get(START_BUTTON) if window else None
        return window if start and start.enabled else None
    return wait_until(ready, timeout, "the start button to be enabled")
