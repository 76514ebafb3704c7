"""The installation walk against nginx serving a published tree: the round trip, and a component
that cannot be written."""
import os
import re
import shutil
import subprocess

import pytest

from fixtures import (BASE, COMCAT, INDEX_PATH, PROOF_DIR, SIGNATURE_PATH, SYSTEM_DIR, install_dir, nginx_tree,
                      registered, registration, registrations, temporaries)
from harness import COMPONENTS, INSTALL_FOLDER, INSTALLER_EXE, KEYED_EXE, REPO, SERVER_PATHS, SYSTEM_FOLDER, wait_until

WINE_BUILT_IN = {"comcat.dll", "stdole2.tlb", "shdocvw.dll", "msxml3.dll"}  # what Wine loads instead of the file


def signed_installer(folder):
    """The installer signed as a vendor ships it: the loader must skip the certificate table."""
    pki, unsigned, signed = folder / "pki", folder / "unsigned", folder / "signed"
    subprocess.run(["bash", REPO / "tests/release/make-test-pki.sh", pki], check=True)
    unsigned.mkdir()
    shutil.copy(INSTALLER_EXE, unsigned)
    subprocess.run(["bash", REPO / "scripts/sign-release.sh", "--pkcs12", pki / "signer.p12", "--password-file",
                    pki / "password", "--exe", unsigned / INSTALLER_EXE.name, "--out", signed],
                   check=True, stdout=subprocess.DEVNULL)
    return signed / INSTALLER_EXE.name


def hide_as_present(machine, name: str) -> None:
    """An earlier copy of a component, hidden, system and read-only: it counts as present.
    Wine keeps hidden and system in this attribute (its attrib.exe does not set them) and
    read-only in the mode; Wine's own attrib shows what Windows programs see."""
    path = machine.prefix.component_path(name)
    path.write_bytes(b"MZ installed earlier")
    os.setxattr(path, "user.DOSATTRIB", b"0x7")
    path.chmod(0o444)
    listing = machine.prefix.drive_c / "attrib.txt"
    # The 64-bit cmd.exe reaches a 32-bit program's system folder by its real name.
    machine.prefix.run(["cmd", "/c", f"attrib C:\\windows\\{SYSTEM_FOLDER}\\{name} > C:\\attrib.txt"], "attrib")
    assert listing.read_bytes().startswith(b"AS  HR "), listing.read_bytes()
    listing.unlink()


@pytest.mark.parametrize("keyed", [False, True], ids=["signed-exe-base-ending-in-slash", "keyed-pointer-line-break"])
def test_round_trip_downloads_registers_and_starts_setup(machine, sources, tmp_path, keyed):
    folder = install_dir(machine)
    fetched = dict(SERVER_PATHS)
    if keyed:  # a pointer page may end in a line break: the requests go without it, the markers keep it
        exe, pointer, asked = KEYED_EXE, f"{BASE}\r\n", [INDEX_PATH, SIGNATURE_PATH]
        hide_as_present(machine, "MSADODC.OCX")
        del fetched["MSADODC.OCX"]
    else:  # nginx merges the doubled slashes that a base address ending in "/" gives
        exe, pointer, asked = signed_installer(tmp_path), f"{BASE}/", []
        folder.mkdir(parents=True, exist_ok=True)  # an older, longer setup program: replaced entirely
        (folder / "norq_setup.exe").write_bytes(b"MZ older setup " + b"\xee" * 300_000)
    base = pointer.strip()
    with nginx_tree(machine, sources, base, lambda tree: (tree / "quindle_www.html").write_text(pointer)) as site:
        app = machine.launch(args="REFRESH", trace=True, exe=exe)
        assert app.wait_exit(60) == 0
        proof = machine.file(PROOF_DIR + r"\setup_started.txt")
        wait_until(lambda: proof.exists() and proof.stat().st_size, 20, "the setup program to start")
        assert proof.read_text(encoding="utf-8") == INSTALL_FOLDER + r"\norq_setup.exe"
        # Started by its full path, shown, and held: another program could neither open it
        # for writing nor rename it (32: ERROR_SHARING_VIOLATION) until its process had started.
        setup = INSTALL_FOLDER + r"\norq_setup.exe"
        assert [start for start in app.started_programs() if "norq_setup" in start[1]] == [(setup, f'"{setup}"')]
        assert machine.file(PROOF_DIR + r"\setup_hold.txt").read_text() == "write 32\nrename 32\n"
        # A keyed installer fetches the tree's index once, after the pointer page and before any body.
        slash = "/" if base.endswith("/") else ""
        assert site.paths() == ["/quindle_www.html", *(slash + path for path in [*asked, *fetched.values()])]
    for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
        assert machine.file(marker).read_bytes() == pointer.encode() + b"\r\n"
    for name in COMPONENTS:
        expected = (sources / name).read_bytes() if name in fetched else b"MZ installed earlier"
        assert machine.prefix.component_path(name).read_bytes() == expected, name
    assert (folder / "norq_setup.exe").read_bytes() == (sources / "norq_setup.exe").read_bytes()
    assert registrations(app) == [registration(name) for name in COMPONENTS]
    assert temporaries(machine) == []
    # The support log: one timestamped line per step, from the version to how the run ended.
    stamp = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] "
    logged = machine.prefix.support_log().splitlines()
    assert all(re.match(stamp, line) for line in logged), logged
    lines = [re.sub(stamp, "", line) for line in logged]
    version = re.search(r"project\(norq_installer VERSION ([\d.]+)", (REPO / "CMakeLists.txt").read_text())[1]
    assert lines[0] == f"norq_installer {version} started in {INSTALL_FOLDER}"
    assert lines[-1] == f"end: the setup program {INSTALL_FOLDER}\\norq_setup.exe was started"
    assert sum(line.startswith("downloaded http://") for line in lines) == len(fetched), lines
    # ... in the folder the installer made for it, and nothing of it in the user's temporary folder.
    folder = machine.prefix.support_log_folder
    assert not folder.is_symlink() and [p.name for p in folder.iterdir()] == ["norq_installer.log"]
    assert not [p for p in machine.prefix.user_temp_files() if p.name.startswith("norq_installer.log")]
    # Each component the installer saved really registered. Wine loads its own library for a
    # name it has built in, and one present earlier here is no library.
    own = [name for name in fetched if name not in WINE_BUILT_IN and name != "norq_setup.exe"]
    assert registered(machine, len(own)) == sorted(f"register {SYSTEM_DIR}\\{name}" for name in own)


def test_a_folder_under_a_components_name_ends_in_an_error_report(machine, sources):
    blocker = machine.prefix.component_path("MCI32.OCX")
    blocker.mkdir()
    # A file planted under the support log's name (a second name of it) is not written,
    # and a log that cannot be written changes nothing.
    planted = machine.workdir / "planted.txt"
    planted.write_bytes(b"not the log\r\n")
    machine.prefix.block_support_log(planted)
    with nginx_tree(machine, sources) as site:
        app = machine.launch(args="REFRESH", trace=True)
        box = app.wait_message_box("norq_installer")
        reason = f"SetFileInformationByHandle {SYSTEM_DIR}\\MCI32.OCX (5)"
        assert box.text == f"实时错误 '70':\n\n拒绝的权限\n\n{reason}"
        # A folder is not a component, so it is fetched; the file cannot replace the folder.
        assert site.paths() == ["/quindle_www.html", COMCAT, SERVER_PATHS["MCI32.OCX"]]
        assert blocker.is_dir() and list(blocker.iterdir()) == []
        assert temporaries(machine) == []
        app.press_ok("norq_installer")
        assert app.wait_exit(10) == 0
        assert len(site.paths()) == 3
    assert registrations(app) == [registration("comcat.dll")]
    assert planted.read_bytes() == b"not the log\r\n"
