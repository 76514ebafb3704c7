"""Downloads against the scripted server: failures that stand the walk, live progress, bodies with
and without a usable length, large saves and one cut short by the process's end, a body beyond 4 GiB,
a body longer than its signed size."""
import os
import re
import shutil
import time

import pytest

from fixtures import (COMCAT, FAILED, INDEX_PATH, POINTED, SCRIPTED, SIGNATURE_PATH, registration, registrations, state,
                      temporaries)
from harness import (KEYED_EXE, PERCENT_TEXT, PROGRESS_BAR, PROGRESS_PANEL, SECONDARY_PORT, SERVER_PATHS, STATUS_LINE,
                     TRANSFER_LINE, close_to, text_pixels, wait_until)
from servers import publish

NET_TIMEOUT_S = 4  # the test build's bound on every network step
BAR_TRACK_PX = 389  # 5835 twips at 96 DPI
BAR_COLOUR, FORM_GREEN, NAVY = (10, 84, 146), (125, 204, 174), (0, 0, 128)


def body(size: int, seed: int = 0) -> bytes:
    """Bytes that differ at every position a misplaced piece would land on, after the "MZ"
    every component of a library's or program's name must begin with."""
    return (b"MZ" + bytes((i * 7 + i // 251 + seed) % 256 for i in range(2, size)))[:size]


def wait_requests(server, count: int, timeout: float = 20) -> float:
    wait_until(lambda: len(server.requests()) >= count, timeout, f"{count} requests", interval=0.02)
    return time.monotonic()


def wait_failed(app, timeout: float = NET_TIMEOUT_S + 6) -> None:
    wait_until(lambda: state(app) == FAILED, timeout, "the failure text")


# Each failure's answer, how often it is asked (a body that broke off is tried three more times; without
# a validator or a signed hash, from its start), what the support log says of it after the address, and
# its category and why (a pattern: a stall ends in WinINet's own time-out, Wine's socket code 10060, or in
# the watchdog's).
@pytest.mark.parametrize("answer, tries, logged, reason", [
    ({"status": 404, "body": "not here"}, 1, "HTTP 404, declared 8 bytes, received 0 bytes in", "HTTP status 404"),
    ({"body_hex": body(5000).hex(), "truncate_after": 2000}, 4,
     "HTTP 200, declared 5000 bytes, received 2000 bytes in", "short body"),
    ({"body_hex": body(5000).hex(), "stall_after": 1000}, 4, "HTTP 200, declared 5000 bytes, received 1000 bytes in",
     rf"stall \(Win32 code 10060\): Internet(QueryDataAvailable|ReadFile)"
     rf"|stall: no data within {NET_TIMEOUT_S * 1000 + 500} ms"),
], ids=["404", "truncated", "stalled"])
def test_a_failed_download_reports_and_the_walk_stands(machine, scripted, answer, tries, logged, reason):
    server = scripted(POINTED | {COMCAT: answer})
    app = machine.launch(args="REFRESH")
    asked = wait_requests(server, 2)
    stalls = tries if "stall_after" in answer else 0
    wait_failed(app, (NET_TIMEOUT_S + 1) * stalls + NET_TIMEOUT_S + 6)
    if stalls:  # the bound, not an early give-up, ended each try
        assert (NET_TIMEOUT_S - 1) * stalls <= time.monotonic() - asked <= (NET_TIMEOUT_S + 1) * stalls + 4
    time.sleep(1)  # the walk stands: nothing more is asked
    window = app.main_window()
    assert window.text(STATUS_LINE) == "状态: 检查 comcat.dll ..." and window.control(PROGRESS_PANEL).visible
    assert not machine.prefix.component_path("comcat.dll").exists() and temporaries(machine) == []
    assert server.requests() == ["GET /quindle_www.html"] + [f"GET {COMCAT}"] * tries and app.running
    app.close()
    assert app.wait_exit(10) == 0
    # The screen shows one text for every failure; the support log tells them apart.
    log = machine.prefix.support_log()
    failed = re.search(rf"\] download failed: {re.escape(SCRIPTED + COMCAT)}: (.*) s, failed: (.*)$", log, re.M)
    assert failed and failed[1].startswith(logged) and re.fullmatch(reason, failed[2]), log


def test_live_progress_then_every_body_saved_exactly_with_or_without_a_length(machine, scripted):
    """A slow body with a length shows its progress live and climbs once; then no length, chunked and
    sizes around the 1024-byte pieces the body is written in (one byte to a name that need not be a
    program); then an empty body, which no program is: the walk stands there."""
    bodies = {"comcat.dll": (240_000, {"rate_bytes_per_s": 30_000}), "MCI32.OCX": (70_000, {"content_length": "omit"}),
              "stdole2.tlb": (1, {}), "shdocvw.dll": (90_001, {"chunked": True}), "shdocvw.oca": (1025, {}),
              "msxml3.dll": (2048, {})}
    server = scripted(POINTED | {SERVER_PATHS["MSINET.OCX"]: {"body": ""}}
                      | {SERVER_PATHS[name]: {"body_hex": body(size, i).hex(), **how}
                         for i, (name, (size, how)) in enumerate(bodies.items())})
    app = machine.launch(args="REFRESH", trace="trace+process,trace+win")

    def percent(window) -> int:
        return int(window.text(PERCENT_TEXT).rstrip("%"))

    def midway():
        window = app.main_window()
        shown = window.controls.get(PERCENT_TEXT) if window else None
        return window if shown and shown.text.endswith("%") and 5 <= percent(window) <= 60 else None
    first = wait_until(midway, 20, "a percentage under way")
    shot = app.screenshot("progress")
    time.sleep(1.5)
    second = app.main_window()
    assert 0 < percent(first) < percent(second) < 100
    assert first.text(TRANSFER_LINE) == "正在下载...comcat.dll" and first.control(PROGRESS_PANEL).visible
    bar = first.control(PROGRESS_BAR)
    assert abs(bar.width - BAR_TRACK_PX * percent(first) / 100) <= 4
    # The screenshot follows the dump closely: the bar is drawn from its left end in its colour.
    painted = [x for x in range(8, 400) if close_to(shot.pixel(*first.to_screen(x, 240)), BAR_COLOUR, 8)]
    assert painted and painted[0] == 20 and painted == list(range(20, painted[-1] + 1))
    assert bar.width - 2 <= len(painted) <= BAR_TRACK_PX * percent(second) / 100 + 2
    text = first.control(TRANSFER_LINE)
    left, top = first.to_screen(text.left, text.top)
    ink = {c: n for c, n in shot.colours(left, top, left + text.width, top + text.height).items() if c != FORM_GREEN}
    assert sum(ink.values()) >= 30 and text_pixels(ink, NAVY, 16) >= 10, "no state text drawn"
    drawn = [close_to(shot.pixel(*first.to_screen(21, y)), BAR_COLOUR, 8) for y in (233, 234, 246, 247)]
    assert drawn == [False, True, True, False], "the bar is not 13 pixels high from 234"

    wait_requests(server, len(bodies) + 2, 30)
    wait_failed(app)
    assert state(app, STATUS_LINE) == "状态: 检查 MSINET.OCX ..."
    for i, (name, (size, _)) in enumerate(bodies.items()):
        assert machine.prefix.component_path(name).read_bytes() == body(size, i), f"{name}, {size} bytes"
    assert registrations(app) == [registration(name) for name in bodies]
    assert not machine.prefix.component_path("MSINET.OCX").exists() and temporaries(machine) == []
    log = machine.prefix.support_log()
    assert re.search(r"download failed: \S+/MSINET\.txt: HTTP 200, .* failed: body refused: empty$", log, re.M), log
    # One climb: the save after the body arrived never set the bar or the percentage back. Wine's
    # trace+win holds every value the user was shown, not what a poll saw, up to the next download.
    trace = app.trace_path.read_text(encoding="utf-8", errors="replace").split("MCI32.OCX")[0]
    percentages = [int(p) for p in re.findall(r'set_window_text L"(\d+)%"', trace)]
    widths = [int(w) for w in re.findall(r"NtUserSetWindowPos hwnd \S+ after \(nil\), 0,0 \((\d+)x13\)", trace)]
    assert percentages == sorted(percentages) and percentages[-1] == 100, percentages
    assert len(set(percentages)) >= 5, f"no live progress: {percentages}"
    assert widths == sorted(widths) and widths[-1] == BAR_TRACK_PX, widths  # the one control 13 px high: the bar


LARGE = 200 * 2**20
ANSWER_BOUND_MS = 200


def test_the_window_answers_through_large_saves_and_one_cut_short_leaves_no_temporary(machine, scripted, tmp_path):
    """Through a large body with a length and one without, the window answers another program's
    message within the bound (the probe asks every 25 ms) until the process is ended at once, as
    Windows ends one at log-off, while it saves a third body beside its target."""
    large, cut = tmp_path / "large.bin", tmp_path / "cut.bin"
    large.write_bytes(body(2**20, 5) * (LARGE // 2**20))
    with open(cut, "wb") as f:  # sparse: costs the server nothing; a program's first bytes
        f.write(b"MZ")
        os.truncate(f.fileno(), 400 * 2**20)
    server = scripted(POINTED | {COMCAT: {"body_file": str(large)},
                                 SERVER_PATHS["MCI32.OCX"]: {"body_file": str(large), "content_length": "omit"},
                                 SERVER_PATHS["stdole2.tlb"]: {"body_file": str(cut)}})
    watch = machine.prefix.watch_answers(300)  # watching before the installer starts
    with machine.prefix.watch_user_temp() as in_temp:
        started = time.monotonic()
        app = machine.launch(args="REFRESH")
        saved = wait_requests(server, 4, timeout=240) - started  # the third is asked once both are saved
        wait_until(lambda: any(p.stat().st_size for p in machine.prefix.system_folder.glob("stdole2.tlb.*.tmp")), 60,
                   "the third body landing beside its target")
        app.kill()
    # Each body lands once, beside its target: nothing goes through the user's temporary folder.
    assert in_temp == set(), in_temp
    answers = watch.result()
    print(f"\n2 x {LARGE} bytes saved after {saved:.1f} s; the window answered {answers['asked']} times in "
          f"{answers['watched_ms']} ms, the longest wait {answers['longest_ms']} ms; [at, took]: {answers['slow']}")
    for name in ("comcat.dll", "MCI32.OCX"):
        assert machine.prefix.component_path(name).stat().st_size == LARGE, name
    assert answers["gone"], "the probe's time ran out before the window went"
    assert answers["longest_ms"] < ANSWER_BOUND_MS, answers
    wait_until(lambda: temporaries(machine) == [], 10, "the temporary file to go with the process")
    assert not machine.prefix.component_path("stdole2.tlb").exists()
    large.unlink()


BIG = 4 * 2**30 + 4097  # beyond 32-bit sizes, and not a whole number of pieces
SAMPLES = (0, 2**31 - 512, 2**32 - 512, BIG - 4096)


def test_a_body_beyond_4_gib(machine, scripted, tmp_path):
    # The body lands once, beside its target.
    free = shutil.disk_usage(machine.prefix.root).free
    if free < BIG + 2 * 2**30:
        pytest.skip(f"needs {BIG / 2**30 + 2:.0f} GiB free for the file, has {free / 2**30:.1f}")
    source = tmp_path / "big.bin"
    with open(source, "wb") as f:  # sparse: costs the server side nothing
        os.truncate(f.fileno(), BIG)
        for offset in SAMPLES:
            f.seek(offset)
            f.write(body(4096, offset % 251))
    server = scripted(POINTED | {COMCAT: {"body_file": str(source)}})
    target = machine.prefix.component_path("comcat.dll")

    def landed():
        return [p for p in machine.prefix.temporaries() if p.stat().st_size >= 2**30]

    started = time.monotonic()
    app = machine.launch(args="REFRESH")
    # 64-bit sizes keep the percentage rising between 0% and 100% while the body arrives, and the bar on its track.
    arriving, landing = [], False
    while len(server.requests()) < 3:  # the next component is asked once this one is saved
        assert time.monotonic() < started + 1800, "the big body was not saved in 30 minutes"
        window = app.main_window()
        shown = window.controls if window else {}
        if shown.keys() >= {TRANSFER_LINE, PERCENT_TEXT, PROGRESS_BAR} \
                and shown[TRANSFER_LINE].text == "正在下载...comcat.dll" \
                and shown[PERCENT_TEXT].text:
            arriving.append(int(shown[PERCENT_TEXT].text.rstrip("%")))
            landing = landing or bool(landed())
            assert 0 <= shown[PROGRESS_BAR].width <= BAR_TRACK_PX
    print(f"\n{BIG} bytes saved after {time.monotonic() - started:.0f} s")
    assert target.stat().st_size == BIG
    assert any(0 < p < 100 for p in arriving) and arriving == sorted(arriving) and arriving[-1] <= 100, arriving
    with open(source, "rb") as want, open(target, "rb") as got:
        for offset in SAMPLES:
            want.seek(offset)
            got.seek(offset)
            assert got.read(8192) == want.read(8192), offset
    # It arrived beside its target and became the target, with nothing left beside it.
    assert landing, "no landing file seen beside the target"
    assert not [p for p in machine.prefix.temporaries() if p.name.startswith("comcat.dll.")]
    assert not [p for p in machine.prefix.user_temp_files() if p.stat().st_size >= 2**30]
    assert app.running
    app.close()


@pytest.mark.parametrize("how", [{"content_length": "omit"}, {}], ids=["no-length", "declared-length"])
def test_a_body_longer_than_signed_stops_at_its_signed_size_and_nothing_is_written(machine, sources, scripted, how):
    """The signed bytes of comcat.dll and 300 MB more: read one byte beyond the signed size, or, when
    the reply declares its length, not at all; the walk stands and nothing is left beside the target."""
    tree = machine.workdir / "tree"
    publish(sources, SCRIPTED, tree)
    signed = tree / COMCAT[1:]
    longer = machine.workdir / "longer.bin"
    with open(longer, "wb") as f:  # sparse beyond the signed bytes: costs the server nothing
        f.write(signed.read_bytes())
        os.truncate(f.fileno(), 300 * 2**20)
    server = scripted({"/quindle_www.html": {"body": SCRIPTED}, INDEX_PATH: {"body_file": str(tree / INDEX_PATH[1:])},
                       SIGNATURE_PATH: {"body_file": str(tree / SIGNATURE_PATH[1:])},
                       COMCAT: {"body_file": str(longer), **how}})
    with machine.prefix.watch_user_temp() as in_temp:
        app = machine.start(machine.place(exe=KEYED_EXE), "REFRESH")
        wait_until(lambda: state(app) == FAILED, 20, "the failure text")
        time.sleep(1)  # the walk stands: nothing more is asked
        assert server.requests() == [f"GET {path}" for path in ("/quindle_www.html", INDEX_PATH, SIGNATURE_PATH, COMCAT)]
        assert state(app, STATUS_LINE) == "状态: 检查 comcat.dll ..." and app.running
        assert not machine.prefix.component_path("comcat.dll").exists() and temporaries(machine) == []
        app.close()
        assert app.wait_exit(10) == 0
    assert in_temp == set(), in_temp
    size = signed.stat().st_size
    declared, received = ("no length", size + 1) if how else (f"{300 * 2**20} bytes", 0)
    failed = re.search(rf"\] download failed: {re.escape(SCRIPTED + COMCAT)}: HTTP 200, declared {declared}, "
                       rf"received (\d+) bytes in \d+\.\d+ s, failed: (.*)$", machine.prefix.support_log(), re.M)
    assert failed and int(failed[1]) == received, machine.prefix.support_log()
    assert failed[2] == f"body refused: longer than its signed {size} bytes"


PORTAL_PAGE = "<!DOCTYPE html><html><body>Welcome to the hotel's Wi-Fi: please log in</body></html>"


def test_the_log_names_a_name_that_does_not_resolve_and_a_login_page_for_a_component(machine, sources, scripted):
    """The first pointer page names a host no resolver knows, so its index cannot be fetched; the
    second names a server whose comcat.dll is a hotel's login page, served with 200 as portals do.
    The window shows its one failure text; the log says which kind of failure each was."""
    nowhere, second = "http://norq-nowhere.invalid", f"http://127.0.0.1:{SECONDARY_PORT}"
    tree = machine.workdir / "tree"
    publish(sources, second, tree)
    scripted({"/quindle_www.html": {"body": nowhere}})
    scripted({"/brisel_www.html": {"body": second}, INDEX_PATH: {"body_file": str(tree / INDEX_PATH[1:])},
              SIGNATURE_PATH: {"body_file": str(tree / SIGNATURE_PATH[1:])},
              COMCAT: {"body": PORTAL_PAGE, "headers": [("Content-Type", "text/html")]}}, SECONDARY_PORT)
    app = machine.start(machine.place(exe=KEYED_EXE), "REFRESH")
    wait_until(lambda: state(app) == FAILED, 30, "the failure text")
    assert not machine.prefix.component_path("comcat.dll").exists() and temporaries(machine) == []
    app.close()
    assert app.wait_exit(10) == 0
    log = machine.prefix.support_log()
    assert re.search(rf"\] server {re.escape(nowhere)} not used: no index, {re.escape(nowhere + INDEX_PATH)}: "
                     r"no HTTP status, declared no length, received 0 bytes in \d+\.\d+ s, "
                     r"failed: name not resolved \(Win32 code 12007\): HttpSendRequestW$", log, re.M), log
    assert re.search(rf"\] download failed: {re.escape(second + COMCAT)}: HTTP 200, declared {len(PORTAL_PAGE)} bytes, "
                     rf"received {len(PORTAL_PAGE)} bytes in \d+\.\d+ s, "
                     r"failed: a web page where a program was expected: not a program$", log, re.M), log
