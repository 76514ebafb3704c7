"""The vendor's check of a deployed server, `norq-publish --verify`, against nginx serving a
published tree: it passes a server of the signed tree and names each fault in one line. No Wine:
the tool runs on the vendor's Linux machine."""
import os
import re
import subprocess
from pathlib import Path

import pytest

from fixtures import BASE, COMCAT, INDEX_PATH, SETUP_PATH, SIGNATURE_PATH, flip_byte
from harness import PRIMARY_PORT, PUBLISH, SECONDARY_PORT, manifest, wait_until
from servers import NginxSite

DOWNLOAD_PORT = int(BASE.rsplit(":", 1)[1])
SETUP_SIZE = 2 + (3 << 20)  # "MZ" and random bytes
HALF = SETUP_SIZE // 2  # where --verify asks the setup program to continue from


@pytest.fixture
def vendor(tmp_path):
    """A key pair and stand-ins for the ten files (the setup program large enough to be cut)."""
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", tmp_path / "key.pem"],
                   check=True)
    subprocess.run(["openssl", "ec", "-in", tmp_path / "key.pem", "-pubout", "-out", tmp_path / "public.pem"],
                   check=True, capture_output=True)
    files = tmp_path / "files"
    files.mkdir()
    for name, _, _ in manifest():
        (files / name).write_bytes(b"MZ stand-in for " + name.encode())
    (files / "norq_setup.exe").write_bytes(b"MZ" + os.urandom(SETUP_SIZE - 2))
    return tmp_path


def publish(vendor: Path) -> Path:
    tree = vendor / "tree"
    subprocess.run([PUBLISH, "--components", vendor / "files", "--base", BASE, "--out", tree, "--replace",
                    "--serial", "5", "--sign", vendor / "key.pem"], check=True, capture_output=True)
    return tree


def verify(vendor: Path, *options: str) -> tuple[int, list[str]]:
    done = subprocess.run([PUBLISH, "--verify", BASE, "--key", vendor / "public.pem", *options],
                          capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout.splitlines()


@pytest.fixture
def served(vendor):
    """nginx with the sample configuration, changed as a case wants (NginxSite's `http`, `edit`), serving `tree`."""
    sites = []

    def serve(tree: Path, **config) -> NginxSite:
        sites.append(NginxSite(vendor / f"site{len(sites)}", tree, PRIMARY_PORT, SECONDARY_PORT, DOWNLOAD_PORT,
                               **config))
        return sites[-1]
    yield serve
    for site in sites:
        site.stop()


def test_a_server_of_the_signed_tree_passes_and_honours_a_range(vendor, served):
    site = served(publish(vendor))
    status, lines = verify(vendor, "--min-serial", "5")
    assert status == 0, lines
    assert len(lines) == 1 and lines[0].startswith(f"{BASE} serves the signed tree: product norq, serial 5,"), lines
    # Every file once whole, and the setup program's second half once more. nginx logs a request
    # once it has finished it, which can be just after the client has all the bytes.
    ranged = f'{DOWNLOAD_PORT} "GET {SETUP_PATH} HTTP/1.1" 206 {SETUP_SIZE - HALF}'
    wait_until(lambda: ranged in site.requests(), 5, "nginx to log the range request")
    assert sorted(site.paths()) == sorted([INDEX_PATH, SIGNATURE_PATH, *(path for _, path, _ in manifest()), SETUP_PATH])


def test_a_changed_file_and_a_stale_index_each_fail_with_their_line(vendor, served):
    tree = publish(vendor)
    flip_byte(tree / COMCAT[1:], 5)
    served(tree)
    assert verify(vendor) == (1, [f"{COMCAT}: its SHA-256 is not the index's (a changed file: publish again)"])
    # An older tree than the one just published, as a cache that was not purged serves it.
    status, lines = verify(vendor, "--min-serial", "6")
    assert status == 1 and lines[0] == (f"{INDEX_PATH}: installers would refuse it: "
                                        "the index's serial 5 is below this installer's minimum 6"), lines
    # An index re-signed with an expiry long past.
    index = tree / INDEX_PATH[1:]
    index.write_bytes(re.sub(rb"(?m)^expires .*$", b"expires 2020-01-01T00:00:00Z", index.read_bytes()))
    subprocess.run(["openssl", "dgst", "-sha256", "-sign", vendor / "key.pem", "-out", tree / SIGNATURE_PATH[1:], index],
                   check=True)
    status, lines = verify(vendor)
    assert status == 1 and lines[0].startswith(f"{INDEX_PATH}: installers would refuse it: "
                                               "the index expired at 2020-01-01T00:00:00Z;"), lines


def test_a_server_that_compresses_txt_or_ignores_a_range_fails(vendor, served):
    def gzip_txt(config: str) -> str:
        return config.replace("location /norq/Soft/ { }", "location /norq/Soft/ { }\n        location ~ [.]txt$ "
                              "{ gzip on; gzip_types application/octet-stream; gzip_min_length 1; }", 1)
    tree = publish(vendor)
    compressing = served(tree, edit=gzip_txt)
    assert verify(vendor) == (1, [f"{INDEX_PATH}: sent with Content-Encoding: gzip; serve it byte for byte (gzip off)"])
    compressing.stop()
    # A cache that answers every range with the whole file: a broken download starts over.
    served(tree, http="max_ranges 0;")
    assert verify(vendor) == (1, [f"{SETUP_PATH}: a request for bytes={HALF}- was answered with status 200, not 206 "
                                  "(a download that breaks must then start again from byte 0)"])
