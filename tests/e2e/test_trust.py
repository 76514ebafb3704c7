"""Trust: the keyed installer uses a server only when the tree's index verifies under its key, and
saves only bodies that match their line; every build starts cmd.exe in the system folder, never loads
a DLL planted beside it, gives up a pointer host that trickles and refuses a redirect from https to http."""
from __future__ import annotations

import shutil
import subprocess
import time
from pathlib import Path

import pytest

from harness import BUILD, COMPONENTS, INSTALL_FOLDER, KEYED_EXE, SECONDARY_PORT, SERVER_PATHS, WINE, wait_until
from servers import NginxSite
from test_install import (COMCAT, FAILED, INDEX_PATH, NO_SERVER, PROOF_DIR, SCRIPTED, SERVER_LINK,
                          SETUP_PATH, SIGNATURE_PATH, SYSTEM_DIR, install_dir, nginx_tree, registration, scripted,
                          state, temporaries, wait_ready)  # noqa: F401 (a fixture)

POINTER_PAGES = ["/quindle_www.html", "/brisel_www.html"]


def flip_byte(path, offset: int) -> None:
    data = bytearray(path.read_bytes())
    data[offset] ^= 1
    path.write_bytes(bytes(data))


def test_a_server_whose_index_was_changed_after_signing_is_not_used(machine, sources):
    with nginx_tree(machine, sources, edit=lambda tree: flip_byte(tree / INDEX_PATH[1:], 20)) as site:
        app = machine.launch(args="REFRESH", exe=KEYED_EXE)
        assert app.wait_message_box().text == NO_SERVER
        # Both pointer pages name the same server; neither page's server is used.
        paths = site.paths()
        assert [p for p in paths if p in POINTER_PAGES] == POINTER_PAGES, paths
        assert set(paths) <= {*POINTER_PAGES, INDEX_PATH, SIGNATURE_PATH}, paths
        app.press_ok()
        assert app.wait_exit(10) == 0
    assert not machine.file(r"C:\norq_url.dat").exists() and not machine.file(r"D:\norq_url.dat").exists()
    assert machine.prefix.components() == []


@pytest.fixture
def stand_in_cmd(machine):
    """The prefix's cmd.exe replaced by one that records its current folder and command line."""
    cmd, kept = machine.prefix.system_folder / "cmd.exe", machine.workdir / "cmd.exe.wine"
    shutil.copy2(cmd, kept)
    shutil.copy2(BUILD / "norq_stand_in_cmd.exe", cmd)
    yield machine.file(PROOF_DIR + r"\cmd_started.txt")
    shutil.copy2(kept, cmd)


def test_planted_dlls_never_load_cmd_starts_in_the_system_folder_and_a_setup_unlike_its_line_never_starts(
        machine, sources, stand_in_cmd):
    """Every component before the changed setup program is checked, saved and registered."""
    folder = install_dir(machine)
    exe = machine.place(exe=KEYED_EXE)
    for name in ("wininet.dll", "bcrypt.dll"):
        shutil.copy2(BUILD / "norq_planted_dll.dll", folder / name)
    # Wine searches the program's folder first for a DLL allowed to be native, as Windows does
    # for one that is not a known DLL; cmd.exe=n runs the stand-in instead of Wine's own.
    overrides = {"WINEDLLOVERRIDES": "mscoree,mshtml=;wininet,bcrypt=n,b;cmd.exe=n"}
    with nginx_tree(machine, sources, edit=lambda tree: flip_byte(tree / SETUP_PATH[1:], 100)) as site:
        app = machine.start(exe, "REFRESH", env=overrides)
        wait_until(lambda: state(app) == FAILED, 20, "the failure text")
        assert site.paths() == [POINTER_PAGES[0], INDEX_PATH, SIGNATURE_PATH, *SERVER_PATHS.values()]
        assert app.running
    for name in COMPONENTS:
        assert machine.prefix.component_path(name).read_bytes() == (sources / name).read_bytes()
    assert not (folder / "norq_setup.exe").exists() and not machine.file(PROOF_DIR + r"\setup_started.txt").exists()
    assert temporaries(machine) == []
    planted = machine.file(PROOF_DIR + r"\planted.txt")
    assert not planted.exists(), planted.read_text(encoding="utf-8")
    # Each stand-in writes its line when it runs; two started close together may write in either order.
    def cmd_lines():
        return stand_in_cmd.read_text(encoding="utf-8").splitlines() if stand_in_cmd.exists() else []
    wait_until(lambda: len(cmd_lines()) >= len(COMPONENTS), 10, "a cmd.exe for every component")
    assert sorted(cmd_lines()) == sorted(f"{SYSTEM_DIR}|{registration(name)}" for name in COMPONENTS)
    # The planted DLL does load, under these overrides, into a program that asks for it there.
    with open(machine.workdir / "rundll32.log", "wb") as log:
        subprocess.run([*WINE, "rundll32", INSTALL_FOLDER + r"\wininet.dll,x"], env=machine.prefix.env(**overrides),
                       stdout=log, stderr=log, timeout=60)
    assert planted.exists()


def test_a_trickling_pointer_host_is_given_up(machine, scripted):
    # 4000 bytes at 300 a second: each 1 KB read the installer makes completes within its 4 s
    # stall bound, so only the page's overall deadline (twice that bound) ends it before 13 s.
    primary = scripted({"/quindle_www.html": {"body": "x" * 4000, "rate_bytes_per_s": 300}})
    other = f"http://127.0.0.1:{SECONDARY_PORT}"
    secondary = scripted({"/brisel_www.html": {"body": other}}, SECONDARY_PORT)
    app = machine.launch()
    asked = wait_until(lambda: primary.requests() and time.monotonic(), 15, "the primary pointer page")
    wait_until(lambda: secondary.requests(), 30, "the secondary pointer page")
    waited = time.monotonic() - asked
    assert 6.5 <= waited <= 11, f"the secondary page was asked {waited:.1f} s after the primary one"
    assert wait_ready(app, 10).text(SERVER_LINK) == other
    assert machine.file(r"D:\norq_url.dat").read_bytes() == other.encode() + b"\r\n"


HTTPS = "https://localhost:18443"
HOST_BUNDLE = Path("/etc/ssl/certs/ca-certificates.crt")  # where Wine reads the host's trusted roots
MCI32 = SERVER_PATHS["MCI32.OCX"]
# comcat's address redirects within https; MCI32's to plain http, where the scripted server offers a program.
TLS_SERVER = f"""server {{ listen 127.0.0.1:18443 ssl; ssl_certificate @RUN@/server.crt;
    ssl_certificate_key @RUN@/server.key; location = /body {{ return 200 "MZ a component"; }}
    location = {COMCAT} {{ return 302 {HTTPS}/body; }} location = {MCI32} {{ return 302 {SCRIPTED}{MCI32}; }} }}"""


@pytest.fixture
def trusted_tls(tmp_path):
    """nginx on HTTPS with a certificate of a test CA; yields a command that runs a program in a
    mount namespace where the host's trusted roots hold that CA too."""
    if subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
        pytest.skip("needs a mount namespace of its own (unshare -m, as root) to trust the test CA")
    run = tmp_path / "nginx"
    run.mkdir()

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=run)
    ec = ("-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes")
    openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=norq test CA",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
    openssl("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost")
    (run / "ext").write_text("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "server.crt", "-days", "2", "-extfile", "ext")
    bundle = run / "bundle.crt"
    bundle.write_bytes(HOST_BUNDLE.read_bytes() + (run / "ca.crt").read_bytes())
    (tmp_path / "tree").mkdir()
    site = NginxSite(tmp_path, tmp_path / "tree", 18090, 18091, 18092, http=TLS_SERVER)  # ports nothing asks
    yield "unshare", "-m", "sh", "-c", f'mount --bind "{bundle}" {HOST_BUNDLE} && exec "$@"', "sh"
    site.stop()


def test_a_redirect_from_https_to_http_is_refused(machine, scripted, trusted_tls):
    server = scripted({"/quindle_www.html": {"body": HTTPS}, MCI32: {"body": "MZ over plain http"}})
    app = machine.start(machine.place(), "REFRESH", wrapper=trusted_tls)
    wait_until(lambda: state(app) == FAILED, 20, "the failure text")
    # Trusted, a redirect that stays https is followed and its body saved.
    assert machine.prefix.component_path("comcat.dll").read_bytes() == b"MZ a component"
    # WinINet follows the redirect before the installer sees where it ended; the body goes unused.
    assert server.requests() == ["GET /quindle_www.html", f"GET {MCI32}"]
    assert not machine.prefix.component_path("MCI32.OCX").exists() and temporaries(machine) == []
