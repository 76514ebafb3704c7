"""Fixtures of the end-to-end suite: one X server and one Wine prefix per run,
a fresh, reset view of them for every case."""
from __future__ import annotations

import os
import re
import shutil
import tempfile
import time
from pathlib import Path

import pytest

from harness import REPO, Display, Machine, WinePrefix

FAILURE_SHOTS = REPO / "out" / "e2e"
_timings: dict[str, float] = {}


@pytest.fixture(scope="session")
def display():
    root = Path(tempfile.mkdtemp(prefix="norq-e2e-"))
    screen = Display(root).start()
    yield screen
    screen.stop()
    shutil.rmtree(root, ignore_errors=True)


@pytest.fixture(scope="session")
def wine(display):
    """The run's prefix; making it pays Wine's slow first start once."""
    root = Path(tempfile.mkdtemp(prefix="norq-e2e-"))
    prefix = WinePrefix(root, display)
    started = time.monotonic()
    try:
        prefix.create()
        _timings["Wine prefix made"] = time.monotonic() - started
        yield prefix
    finally:
        prefix.kill_all()
        if os.environ.get("NORQ_E2E_KEEP"):
            print(f"\nkept the Wine prefix and logs in {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)


@pytest.fixture
def machine(wine, tmp_path, request):
    """The prefix as this case sees it: its own D:, everything it wrote removed afterwards."""
    case = Machine(wine, tmp_path)
    yield case
    report = getattr(request.node, "call_report", None)
    if report is not None and report.failed:
        name = re.sub(r"[^\w.-]+", "_", request.node.name)
        try:
            wine.display.screenshot(FAILURE_SHOTS / f"{name}.png")
        except Exception as error:  # a failed screenshot must not hide the test's own failure
            print(f"no screenshot of the failure: {error}")
        # The installer's own account of the case, kept before the reset removes it.
        (FAILURE_SHOTS / f"{name}.log").write_text(wine.support_log(), encoding="utf-8")
    case.finish()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    report = (yield).get_result()
    if report.when == "call":
        item.call_report = report


def pytest_terminal_summary(terminalreporter):
    if _timings:  # the cases' own times: pytest --durations
        terminalreporter.write_line(
            "timings: " + ", ".join(f"{name} in {seconds:.1f} s" for name, seconds in _timings.items()))
