"""A release cannot be configured by mistake without the vendor's pointer hosts or index key:
a build that asked no real host, or trusted any tree, must not be made at all."""
import subprocess

import pytest

from release_build import REPO

HOSTS = ["-DNORQ_PRIMARY_HOST=pointer1.example.com", "-DNORQ_SECONDARY_HOST=pointer2.example.com"]


@pytest.mark.parametrize("missing, expected, args", [
    ("pointer hosts", "A release build needs -DNORQ_PRIMARY_HOST", []),
    ("an index key", "A release build needs the vendor", HOSTS),
], ids=["without-hosts", "without-index-key"])
def test_the_release_refuses_to_configure(tmp_path, missing, expected, args):
    result = subprocess.run(["cmake", "--preset", "win32-release", "-B", tmp_path / "build", *args], cwd=REPO,
                            capture_output=True, text=True)
    log = result.stdout + result.stderr
    assert result.returncode != 0, f"win32-release configured without {missing}:\n{log}"
    assert expected in log, f"win32-release failed without {missing}, but not for that reason:\n{log}"
