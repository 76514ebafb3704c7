"""The release as a vendor makes it: one version everywhere, the same bytes from
another folder at another time, and an Authenticode signature that verifies
against its CA and breaks when one byte changes.

Run after the win32-release build (scripts/test.sh does both); the rebuild takes
its hosts and key from that build's cache."""

import os
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from release_build import EXE, NOTES, REPO, cached, output

pytestmark = pytest.mark.usefixtures("release_exe")


def notes(path: Path = NOTES) -> dict[str, str]:
    lines = path.read_text().splitlines()
    return {"title": lines[0], **dict(line.split(": ", 1) for line in lines[1:])}


def sha256(path: Path) -> str:
    return output("sha256sum", path).split()[0].decode()


def test_the_notes_name_version_hosts_key_and_exe_as_the_exe_holds_them():
    version = re.search(r"project\(norq_installer VERSION ([0-9.]+)", (REPO / "CMakeLists.txt").read_text()).group(1)
    texts = set(output("strings", "-el", EXE, text=True).split("\n"))
    assert f"{version}.0" in texts  # FileVersion and ProductVersion
    assert f"norq_installer/{version}" in texts  # the HTTP User-Agent
    found = notes()
    assert found["title"] == f"norq_installer {version}"
    assert found["primary pointer host"] == cached("NORQ_PRIMARY_HOST")
    assert found["secondary pointer host"] == cached("NORQ_SECONDARY_HOST")
    key = cached("NORQ_INDEX_KEY")
    expected = (output("sha256sum", input=output("openssl", "pkey", "-pubin", "-in", key, "-outform", "DER"))
                .split()[0].decode() if key else "none (unsigned tree allowed)")
    assert found["index key SHA-256 (DER SubjectPublicKeyInfo)"] == expected
    assert found["index product"] == cached("NORQ_PRODUCT_NAME")
    assert found["minimum index serial"] == cached("NORQ_MIN_INDEX_SERIAL")
    assert found["unsigned exe SHA-256"] == sha256(EXE)


def test_a_rebuild_elsewhere_gives_the_same_bytes(tmp_path):
    """Another folder of another depth, later: what anyone checking a published exe
    does. The files as they are now, so a change in progress is compared with its
    own build."""
    source = tmp_path / "a" / "different" / "checkout"
    tracked = output("git", "ls-files", "-z", "--cached", "--others", "--exclude-standard", cwd=REPO)
    for name in filter(None, tracked.decode().split("\0")):
        if (REPO / name).is_file():
            (source / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(REPO / name, source / name)
    args = [f"-D{name}={cached(name)}" for name in ("NORQ_PRIMARY_HOST", "NORQ_SECONDARY_HOST", "NORQ_INDEX_KEY",
                                                    "NORQ_ALLOW_UNSIGNED_TREE") if cached(name)]
    for command in (["cmake", "--preset", "win32-release", *args], ["cmake", "--build", "--preset", "win32-release"]):
        subprocess.run(["nice", *command], cwd=source, check=True, stdout=subprocess.DEVNULL)
    rebuilt = source / "build" / "win32-release"
    assert sha256(rebuilt / EXE.name) == sha256(EXE), "two builds of the same source differ"
    assert notes(rebuilt / NOTES.name) == {key: value for key, value in notes().items() if not key.startswith("signed")}


@pytest.fixture(scope="module")
def pki(tmp_path_factory):
    folder = tmp_path_factory.mktemp("pki")
    subprocess.run(["bash", REPO / "tests/release/make-test-pki.sh", folder], check=True)
    return folder


def sign(pki: Path, exe: Path, out: Path, password: str | None = None):
    """Signs with the password from its file, or with `password` from the environment."""
    command = ["bash", REPO / "scripts/sign-release.sh", "--pkcs12", pki / "signer.p12", "--exe", exe, "--out", out]
    if password is None:
        command += ["--password-file", pki / "password"]
    env = {**os.environ, **({} if password is None else {"NORQ_SIGN_PASSWORD": password})}
    return subprocess.run(command, env=env, capture_output=True, text=True)


def verify(exe: Path, ca: Path) -> bool:
    return subprocess.run(["osslsigncode", "verify", "-in", exe, "-CAfile", ca],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def test_signing_verifies_against_its_ca_and_a_changed_byte_fails(pki, tmp_path):
    shutil.copy(EXE, tmp_path)
    shutil.copy(NOTES, tmp_path)
    exe = tmp_path / EXE.name
    result = sign(pki, exe, tmp_path / "signed")
    assert result.returncode == 0, result.stderr
    signed = tmp_path / "signed" / EXE.name
    assert verify(signed, pki / "ca.pem")
    assert exe.read_bytes() == EXE.read_bytes(), "the unsigned exe must stay for comparison with a rebuild"
    assert notes(tmp_path / NOTES.name)["signed exe SHA-256"] == sha256(signed)
    # Whoever rebuilds to check a published exe compares it without its signature.
    stripped = tmp_path / "stripped.exe"
    output("osslsigncode", "remove-signature", "-in", signed, "-out", stripped)
    assert stripped.read_bytes() == EXE.read_bytes()
    # One byte of code changed after signing: the digest no longer matches.
    data = bytearray(signed.read_bytes())
    data[0x400] ^= 0x01
    (tmp_path / "tampered.exe").write_bytes(data)
    assert not verify(tmp_path / "tampered.exe", pki / "ca.pem")


def test_the_password_comes_from_the_environment_and_a_wrong_one_signs_nothing(pki, tmp_path):
    shutil.copy(EXE, tmp_path)
    exe = tmp_path / EXE.name
    assert sign(pki, exe, tmp_path / "env", (pki / "password").read_text().rstrip("\n")).returncode == 0
    assert verify(tmp_path / "env" / EXE.name, pki / "ca.pem")
    assert sign(pki, exe, tmp_path / "wrong", "wrong").returncode != 0
    assert not (tmp_path / "wrong" / EXE.name).exists()
    assert sign(pki, exe, tmp_path / "none", "").returncode != 0
