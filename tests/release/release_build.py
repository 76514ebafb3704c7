"""The win32-release build the release tests look at (scripts/test.sh makes it first)."""
import os
import re
import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
RELEASE = Path(os.environ.get("NORQ_RELEASE_BUILD", REPO / "build" / "win32-release"))
EXE = RELEASE / "norq_installer.exe"
NOTES = RELEASE / "norq_installer.release.txt"


def cached(name: str) -> str:
    match = re.search(rf"^{name}:[A-Z]+=(.*)$", (RELEASE / "CMakeCache.txt").read_text(), re.M)
    return match.group(1) if match else ""


def output(*command, **options) -> bytes:
    return subprocess.run(command, capture_output=True, check=True, **options).stdout
