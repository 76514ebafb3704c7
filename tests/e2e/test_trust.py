"""Trust: the keyed installer uses only a server whose signed index names this product and that
server, recent and unexpired, and saves only bodies that match their index line; cmd.exe starts in
the system folder, a DLL planted beside the installer never loads, a redirect from https to http is
refused."""
import datetime
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from harness import BUILD, COMPONENTS, INSTALL_FOLDER, KEYED_EXE, KEYED_NEXT_EXE, SERVER_PATHS, TEST_KEY, WINE, wait_until
from servers import NginxSite, publish
from test_install import (BASE, COMCAT, FAILED, INDEX_PATH, NO_SERVER, PROOF_DIR, SCRIPTED, SETUP_PATH, SIGNATURE_PATH,
                          START, SYSTEM_DIR, flip_byte, install_dir, nginx_tree, registration, scripted, state,
                          temporaries)  # noqa: F401

EXPIRED = "2020-01-01T00:00:00Z"
MARKERS = (r"C:\norq_url.dat", r"D:\norq_url.dat")


def expire(tree: Path) -> None:
    """The tree's index with an expiry long past, signed with the vendor's key as it was then."""
    index, signature = tree / INDEX_PATH[1:], tree / SIGNATURE_PATH[1:]
    index.write_bytes(re.sub(rb"(?m)^expires .*$", f"expires {EXPIRED}".encode(), index.read_bytes()))
    subprocess.run(["openssl", "dgst", "-sha256", "-sign", TEST_KEY, "-out", signature, index], check=True)


def mirror(scripted, tree: Path):
    """A host of someone else's on the primary pointer port: its page names itself, and it serves
    the index of `tree` with the vendor's signature."""
    served = {path: {"body_hex": (tree / path[1:]).read_bytes().hex()} for path in (INDEX_PATH, SIGNATURE_PATH)}
    return scripted({"/quindle_www.html": {"body": SCRIPTED}, **served})


def refusals(machine) -> list[str]:
    """Why the support log says each server was not used."""
    return [line.split("] ", 1)[1] for line in machine.prefix.support_log().splitlines() if " not used: " in line]


def test_an_index_for_another_product_or_expired_is_refused_like_a_bad_signature(machine, sources, scripted):
    other = machine.workdir / "other"
    publish(sources, SCRIPTED, other, "--product", "other")
    mirror(scripted, other)
    with nginx_tree(machine, sources, edit=expire, primary=18090) as site:
        app = machine.launch(exe=KEYED_EXE)
        assert app.wait_message_box().text == NO_SERVER
        assert site.paths() == ["/brisel_www.html", INDEX_PATH, SIGNATURE_PATH]
        app.press_ok()
        assert app.wait_exit(10) == 0
    product, expired = refusals(machine)
    assert product == f'server {SCRIPTED} not used: the index is for the product "other", this installer is for "norq"'
    # Both dates, so that support sees at once whether the tree or the user's clock is wrong.
    clock = re.fullmatch(rf"server {BASE} not used: the index expired at {EXPIRED}; this computer's clock says (.*)",
                         expired)
    assert clock, expired
    said = datetime.datetime.strptime(clock[1], "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=datetime.timezone.utc)
    assert abs(said - datetime.datetime.now(datetime.timezone.utc)) < datetime.timedelta(minutes=5)
    assert not any(machine.file(marker).exists() for marker in MARKERS)


@pytest.mark.parametrize("exe", [KEYED_EXE, KEYED_NEXT_EXE], ids=["mirrored-on-another-host", "replayed-older-serial"])
def test_a_signed_tree_from_another_host_or_older_than_the_build_is_refused_and_the_secondary_used(
        machine, sources, scripted, exe):
    with nginx_tree(machine, sources, primary=18090) as site:
        if exe == KEYED_EXE:  # the current tree, signed for BASE, served by a host of its own
            mirror(scripted, machine.workdir / "tree")
            why = f'the index is for the base address "{BASE}", not "{SCRIPTED}"'
        else:  # an older tree the vendor signed for that host, below the newer build's minimum
            publish(sources, SCRIPTED, machine.workdir / "old", "--serial", "1")
            mirror(scripted, machine.workdir / "old")
            why = "the index's serial 1 is below this installer's minimum 2"
        app = machine.launch(exe=exe)
        wait_until(lambda: state(app, START) == "开始安装", 20, "the start button")
        assert site.paths() == ["/brisel_www.html", INDEX_PATH, SIGNATURE_PATH]
        app.close()
        assert app.wait_exit(10) == 0
    assert refusals(machine) == [f"server {SCRIPTED} not used: {why}"]
    # The markers name only the server whose index the vendor signed for it.
    assert [machine.file(marker).read_bytes() for marker in MARKERS] == [BASE.encode() + b"\r\n"] * 2


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
        assert site.paths() == ["/quindle_www.html", INDEX_PATH, SIGNATURE_PATH, *SERVER_PATHS.values()]
        assert app.running
    for name in COMPONENTS:
        assert machine.prefix.component_path(name).read_bytes() == (sources / name).read_bytes()
    assert not (folder / "norq_setup.exe").exists() and not machine.file(PROOF_DIR + r"\setup_started.txt").exists()
    assert temporaries(machine) == []
    planted = machine.file(PROOF_DIR + r"\planted.txt")
    assert not planted.exists(), planted.read_text(encoding="utf-8")

    def cmd_lines():  # each stand-in writes its line when it runs, two started close together in either order
        return stand_in_cmd.read_text(encoding="utf-8").splitlines() if stand_in_cmd.exists() else []
    wait_until(lambda: len(cmd_lines()) >= len(COMPONENTS), 10, "a cmd.exe for every component")
    assert sorted(cmd_lines()) == sorted(f"{SYSTEM_DIR}|{registration(name)}" for name in COMPONENTS)
    # The planted DLL does load, under these overrides, into a program that asks for it there.
    with open(machine.workdir / "rundll32.log", "wb") as log:
        subprocess.run([*WINE, "rundll32", INSTALL_FOLDER + r"\wininet.dll,x"], env=machine.prefix.env(**overrides),
                       stdout=log, stderr=log, timeout=60)
    assert planted.exists()


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

    def certificate(args: str) -> None:
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-days", "2", *args.split()], check=True, capture_output=True, cwd=run)
    certificate("-keyout ca.key -out ca.crt -subj /CN=norq-test-CA -addext basicConstraints=critical,CA:TRUE "
                "-addext keyUsage=critical,keyCertSign")
    certificate("-keyout server.key -out server.crt -subj /CN=localhost -CA ca.crt -CAkey ca.key -addext "
                "basicConstraints=CA:FALSE -addext subjectAltName=DNS:localhost -addext extendedKeyUsage=serverAuth")
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
