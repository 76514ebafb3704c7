"""One X server and one Wine prefix per run; a fresh, reset view of them for every case; the
vendor's files; scripted servers."""
from __future__ import annotations

import os
import re
import shutil
import tempfile
from pathlib import Path

import pytest

from harness import BUILD, COMPONENTS, PRIMARY_PORT, REPO, Display, Machine, WinePrefix
from servers import ScriptedServer

FAILURE_SHOTS = REPO / "out" / "e2e"


@pytest.fixture(scope="session")
def wine():
    root = Path(tempfile.mkdtemp(prefix="norq-e2e-"))
    prefix = WinePrefix(root, Display(root).start())
    try:
        prefix.create()  # Wine's slow first start, paid once
        yield prefix
    finally:
        prefix.kill_all()
        prefix.display.stop()
        if os.environ.get("NORQ_E2E_KEEP"):
            print(f"\nkept the Wine prefix and logs in {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)


@pytest.fixture(scope="session")
def sources(tmp_path_factory):
    """The files a vendor publishes: the proof setup program and a copy of the proof
    component per name, each with a trailer naming it (a PE file ignores what follows its sections)."""
    folder = tmp_path_factory.mktemp("sources")
    dll = (BUILD / "norq_proof_component.dll").read_bytes()
    for name in COMPONENTS:
        (folder / name).write_bytes(dll + b"\0norq e2e component " + name.encode())
    shutil.copy(BUILD / "norq_proof_setup.exe", folder / "norq_setup.exe")
    return folder


@pytest.fixture
def machine(wine, tmp_path, request):
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


@pytest.fixture
def scripted():
    servers = []

    def start(answers: dict, port: int = PRIMARY_PORT) -> ScriptedServer:
        servers.append(ScriptedServer(port, answers))
        return servers[-1]
    yield start
    for server in servers:
        server.stop()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    report = (yield).get_result()
    if report.when == "call":
        item.call_report = report
