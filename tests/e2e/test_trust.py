"""Trust under Wine. The keyed installer uses a server only when the tree's index
verifies under its key, and saves only bodies that match their line; every build
starts cmd.exe in the system folder, never
loads a DLL planted beside it, gives up a pointer host that trickles, leaves no
temporary file when it is ended mid-save and refuses a redirect from https to http."""
from __future__ import annotations

import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from harness import BUILD, KEYED_EXE, WINE, PRIMARY_PORT, SECONDARY_PORT, wait_until
from servers import ScriptedServer
from test_install import (INDEX_PATH, INSTALL_DIR, PROOF_DIR, SERVER_PATHS, SETUP_PATH, SIGNATURE_PATH, SYSTEM_DIR,
                          controls, install_dir, nginx_tree, registration, setup_started, temporaries)
from test_transfers import FAILED, state

START, SERVER_LINK = 1004, 1005
NO_SERVER = "安装的服务器目前不好用，稍后后再安装！"
POINTER_PAGES = ["/quindle_www.html", "/brisel_www.html"]
COMCAT = SERVER_PATHS["comcat.dll"]


def flip_byte(path, offset: int = 100) -> None:
    data = bytearray(path.read_bytes())
    data[offset] ^= 1
    path.write_bytes(bytes(data))


# --------------------------------------------------------- the signed index

def test_a_setup_program_unlike_its_index_line_is_never_started(machine, sources):
    """Every component before it is checked and saved; the changed setup program is not."""
    folder = install_dir(machine)
    with nginx_tree(machine, sources, edit=lambda tree: flip_byte(tree / SETUP_PATH[1:])) as site:
        app = machine.launch(args="REFRESH", exe=KEYED_EXE)
        wait_until(lambda: state(app) == FAILED, 20, "the failure text")
        assert site.paths() == [POINTER_PAGES[0], INDEX_PATH, SIGNATURE_PATH, *SERVER_PATHS.values()]
        assert app.running
    for name in list(SERVER_PATHS)[:-1]:
        assert machine.prefix.component_path(name).read_bytes() == (sources / name).read_bytes()
    assert not (folder / "norq_setup.exe").exists()
    assert not machine.file(PROOF_DIR + r"\setup_started.txt").exists()
    assert temporaries(machine) == []


def test_a_server_whose_index_was_changed_after_signing_is_not_used(machine, sources):
    install_dir(machine)
    with nginx_tree(machine, sources, edit=lambda tree: flip_byte(tree / INDEX_PATH[1:], 20)) as site:
        app = machine.launch(args="REFRESH", exe=KEYED_EXE)
        box = app.wait_message_box()
        assert box.text == NO_SERVER
        # Both pointer pages name the same server; neither page's server is used.
        paths = site.paths()
        assert [p for p in paths if p in POINTER_PAGES] == POINTER_PAGES, paths
        assert set(paths) <= {*POINTER_PAGES, INDEX_PATH, SIGNATURE_PATH}, paths
        app.press_ok()
        assert app.wait_exit(10) == 0
    assert not machine.file(r"C:\norq_url.dat").exists()
    assert not machine.file(r"D:\norq_url.dat").exists()
    assert machine.prefix.components() == []


# --------------------------------------------------- rules for every build

@pytest.fixture
def stand_in_cmd(machine):
    """The prefix's cmd.exe replaced by one that records its current folder and command line."""
    cmd = machine.prefix.system_folder / "cmd.exe"
    kept = machine.workdir / "cmd.exe.wine"
    shutil.copy2(cmd, kept)
    shutil.copy2(BUILD / "norq_stand_in_cmd.exe", cmd)
    yield machine.file(PROOF_DIR + r"\cmd_started.txt")
    shutil.copy2(kept, cmd)


def test_planted_dlls_never_load_and_cmd_starts_in_the_system_folder(machine, sources, stand_in_cmd):
    folder = install_dir(machine)
    exe = machine.place(oem=b"x\r\n", exe=KEYED_EXE)
    for name in ("wininet.dll", "bcrypt.dll"):
        shutil.copy2(BUILD / "norq_planted_dll.dll", folder / name)
    # Wine searches the program's folder first for a DLL allowed to be native, as Windows does
    # for one that is not a known DLL; cmd.exe=n runs the stand-in instead of Wine's own.
    overrides = {"WINEDLLOVERRIDES": "mscoree,mshtml=;wininet,bcrypt=n,b;cmd.exe=n"}
    with nginx_tree(machine, sources):
        app = machine.start(exe, "REFRESH", env=overrides)
        assert app.wait_exit(60) == 0
        setup_started(machine)
    planted = machine.file(PROOF_DIR + r"\planted.txt")
    assert not planted.exists(), planted.read_text(encoding="utf-8")
    # Each stand-in writes its line when it runs; two started close together may write in either order.
    started = sorted(stand_in_cmd.read_text(encoding="utf-8").splitlines())
    assert started == sorted(f"{SYSTEM_DIR}|{registration(name)}" for name in SERVER_PATHS if name != "norq_setup.exe")
    # The planted DLL does load, under these overrides, into a program that asks for it there.
    with open(machine.workdir / "rundll32.log", "wb") as log:
        subprocess.run([*WINE, "rundll32", INSTALL_DIR + r"\wininet.dll,x"], env=machine.prefix.env(**overrides),
                       stdout=log, stderr=log, timeout=60)
    assert planted.exists()


def test_a_trickling_pointer_host_is_given_up(machine, tmp_path):
    primary = ScriptedServer(tmp_path / "primary", PRIMARY_PORT)
    secondary = ScriptedServer(tmp_path / "secondary", SECONDARY_PORT)
    try:
        # 4000 bytes at 300 a second: each 1 KB read the installer makes completes within its 4 s
        # stall bound, so only the page's overall deadline (twice that bound) ends it before 13 s.
        primary.script({"/quindle_www.html": {"body": "x" * 4000, "rate_bytes_per_s": 300}})
        secondary.script({"/brisel_www.html": {"body": secondary.base}})
        app = machine.launch()
        asked = wait_until(lambda: primary.requests() and time.monotonic(), 15, "the primary pointer page")
        wait_until(lambda: secondary.requests(), 30, "the secondary pointer page")
        waited = time.monotonic() - asked
        assert 6.5 <= waited <= 11, f"the secondary page was asked {waited:.1f} s after the primary one"
        wait_until(lambda: (start := controls(app).get(START)) and start.enabled, 10, "start enabled")
        assert controls(app)[SERVER_LINK].text == secondary.base
        assert machine.file(r"D:\norq_url.dat").read_bytes() == secondary.base.encode() + b"\r\n"
    finally:
        primary.stop()
        secondary.stop()


def test_a_save_cut_short_by_the_process_ending_leaves_no_temporary(machine, tmp_path):
    install_dir(machine)
    big = tmp_path / "big.bin"
    with open(big, "wb") as f:  # sparse: costs the server nothing; a program's first bytes
        f.write(b"MZ")
        os.truncate(f.fileno(), 400 * 2**20)
    server = ScriptedServer(tmp_path / "server", PRIMARY_PORT)
    try:
        server.script({"/quindle_www.html": {"body": server.base}, COMCAT: {"body_file": str(big)}})
        app = machine.launch(args="REFRESH")
        wait_until(lambda: any(p.stat().st_size > 0 for p in machine.prefix.system_folder.glob("comcat.dll.*.tmp")),
                   60, "the body being saved beside its target")
        # As Windows ends a process at log-off: at once, whatever it is doing.
        app.kill()
        wait_until(lambda: temporaries(machine) == [], 10, "the temporary file to go with the process")
        assert not machine.prefix.component_path("comcat.dll").exists()
    finally:
        server.stop()


HTTPS_PORT = 18443
HOST_BUNDLE = Path("/etc/ssl/certs/ca-certificates.crt")  # where Wine reads the host's trusted roots
TLS_SITE = """daemon on; pid {run}/nginx.pid; error_log {run}/error.log;
events {{}}
http {{
  access_log {run}/access.log;
  client_body_temp_path {run}/body; proxy_temp_path {run}/proxy; fastcgi_temp_path {run}/fastcgi;
  uwsgi_temp_path {run}/uwsgi; scgi_temp_path {run}/scgi;
  server {{
    listen 127.0.0.1:{port} ssl;
    server_name localhost;
    ssl_certificate {run}/server.crt;
    ssl_certificate_key {run}/server.key;
    location /to-http/ {{ rewrite ^/to-http(/.*)$ http://127.0.0.1:{port_http}$1 redirect; }}
    location /to-https/ {{ return 302 https://localhost:{port}/body; }}
    location = /body {{ default_type application/octet-stream; return 200 "MZ a component"; }}
  }}
}}
"""


@pytest.fixture
def tls_site(tmp_path):
    """nginx on https://localhost:18443 with a certificate of a test CA, and the host's CA bundle
    with that CA added, for Wine processes started in a mount namespace that shows it."""
    if subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
        pytest.skip("needs a mount namespace of its own (unshare -m, as root) to trust the test CA")
    run = tmp_path / "tls"
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
    config = run / "nginx.conf"
    config.write_text(TLS_SITE.format(run=run, port=HTTPS_PORT, port_http=PRIMARY_PORT))
    subprocess.run(["nginx", "-p", str(run), "-c", str(config)], check=True, capture_output=True)
    wrapper = ("unshare", "-m", "sh", "-c", f'mount --bind "{bundle}" {HOST_BUNDLE} && exec "$@"', "sh")
    yield wrapper
    subprocess.run(["nginx", "-p", str(run), "-c", str(config), "-s", "stop"], capture_output=True)


@pytest.mark.parametrize("redirect, refused", [("to-https", False), ("to-http", True)])
def test_a_redirect_from_https_to_http_is_refused(machine, tmp_path, tls_site, redirect, refused):
    install_dir(machine)
    base = f"https://localhost:{HTTPS_PORT}/{redirect}"
    server = ScriptedServer(tmp_path / "server", PRIMARY_PORT)
    try:
        # The plain http server offers a program under the same path: only the refusal keeps it out.
        server.script({"/quindle_www.html": {"body": base}, COMCAT: {"body": "MZ over plain http"}})
        app = machine.start(machine.place(), "REFRESH", wrapper=tls_site)
        if refused:
            wait_until(lambda: state(app) == FAILED, 20, "the failure text")
            # WinINet follows the redirect before the installer sees where it ended; the body goes unused.
            assert server.requests() == ["GET /quindle_www.html", f"GET {COMCAT}"]
            assert not machine.prefix.component_path("comcat.dll").exists()
            assert temporaries(machine) == []
        else:  # the same https server, trusted, whose redirect stays https: the body is saved
            comcat = machine.prefix.component_path("comcat.dll")
            wait_until(lambda: comcat.exists(), 20, "comcat.dll")
            assert comcat.read_bytes() == b"MZ a component"
    finally:
        server.stop()
