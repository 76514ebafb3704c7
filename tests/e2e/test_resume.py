"""A body whose connection breaks is continued from where it stopped, with Range and If-Range: against
the scripted server, and through a caching edge server in front of an origin, as a CDN stands."""
import hashlib
import os
import re

import pytest

from fixtures import (BASE, COMCAT, FAILED, INDEX_PATH, POINTED, PROOF_DIR, SCRIPTED, SETUP_PATH, SIGNATURE_PATH,
                      install_dir, registration, registrations, state, temporaries)
from harness import COMPONENTS, KEYED_EXE, PRIMARY_PORT, SERVER_PATHS, wait_until
from servers import CachingEdge, publish

SIZE = 3 * 2**20
ETAG = '"norq-e2e-1"'
SLICE = 256 * 1024  # the edge's cache keeps files in pieces of this size
NEXT = SERVER_PATHS[COMPONENTS[1]]  # asked once comcat.dll is in place


def part(cut: float | None = None, **how) -> dict:
    """The body with its ETag, ranges honoured, cut off at `cut` of its length."""
    return {"ranges": True, "headers": [("ETag", ETAG)], "rate_bytes_per_s": 4 * 2**20, **how} | \
        ({"truncate_after": int(SIZE * cut)} if cut else {})


# The answers to comcat.dll's tries, whether it completes, where each further try starts, and how
# many times the body's size the server sent in all (None: not counted).
@pytest.mark.parametrize("tries, completes, resumed, sent_share", [
    ([part(0.3), part(0.7), part()], True, [0.3, 0.7], 1.0),
    ([part(0.5), part(ranges=False)], True, [0.5], 1.5),
    ([part(0.5), part(ranges="wrong")], False, [0.5, 0.5, 0.5], None),
    ([part(0.2), part(0.4), part(0.6), part(0.8)], False, [0.2, 0.4, 0.6], 0.8),
], ids=["cut-at-30-and-70", "range-answered-200", "wrong-content-range", "four-drops"])
def test_a_broken_body_is_continued_where_it_stopped(machine, scripted, tmp_path, tries, completes, resumed,
                                                     sent_share):
    payload = tmp_path / "comcat.bin"
    payload.write_bytes(b"MZ" + os.urandom(SIZE - 2))
    server = scripted(POINTED | {COMCAT: [{"body_file": str(payload), **how} for how in tries]})
    app = machine.launch(args="REFRESH", trace="trace+process,trace+win")
    asked = 1 + len(resumed) + 1
    if completes:
        wait_until(lambda: f"GET {NEXT}" in server.requests(), 30, "the next component to be asked")
        assert machine.prefix.component_path("comcat.dll").read_bytes() == payload.read_bytes()
        assert registrations(app)[:1] == [registration("comcat.dll")]
    else:
        wait_until(lambda: state(app) == FAILED, 30, "the failure text")
        assert not machine.prefix.component_path("comcat.dll").exists() and temporaries(machine) == []
    assert server.requests()[:asked + completes] == \
        ["GET /quindle_www.html"] + [f"GET {COMCAT}"] * (asked - 1) + [f"GET {NEXT}"] * completes
    headers = server.request_headers()[2:asked]
    assert [(h.get("Range"), h.get("If-Range")) for h in headers] == \
        [(f"bytes={int(SIZE * cut)}-", ETAG) for cut in resumed]
    sent = server.bytes_sent(COMCAT)
    print(f"\n{len(resumed) + 1} tries: {sent} body bytes sent for a body of {SIZE} ({sent / SIZE:.3f}x)")
    if sent_share:
        assert int(sent_share * SIZE) <= sent <= sent_share * SIZE + 64 * 1024
    app.close()
    assert app.wait_exit(10) == 0
    log = machine.prefix.support_log()
    url = re.escape(SCRIPTED + COMCAT)
    froms = [int(n) for n in re.findall(rf"\] download {url}: try \d of 4 in \d+ ms, from byte (\d+) ", log)]
    assert froms == [int(SIZE * cut) for cut in resumed], log
    assert len(re.findall(rf"\] download {url}: try \d answered HTTP", log)) == len(resumed), log
    assert bool(re.search(rf"\] download failed: {url}", log)) != completes, log
    # Progress climbs once through every try: the values the user was shown, from Wine's trace.
    trace = app.trace_path.read_text(encoding="utf-8", errors="replace").split(COMPONENTS[1])[0]
    percentages = [int(p) for p in re.findall(r'set_window_text L"(\d+)%"', trace)]
    widths = [int(w) for w in re.findall(r"NtUserSetWindowPos hwnd \S+ after \(nil\), 0,0 \((\d+)x13\)", trace)]
    assert percentages == sorted(percentages) and widths == sorted(widths), (percentages, widths)
    # Each try shows its connection's states, then "正在下载...comcat.dll" again.
    downloading = re.findall(r'set_window_text L"([^"]*)\.\.\.comcat\.dll"', trace)
    assert len(downloading) == len(resumed) + 1, downloading
    assert percentages[-1] == 100 if completes else percentages[-1] >= 100 * resumed[-1] - 1, percentages


def test_through_a_caching_edge_a_drop_is_continued_with_range(machine, sources, scripted, tmp_path):
    """nginx caches the origin's files in slices, as an edge server of a CDN does, and the whole
    installation goes through it. Its connection breaks while the setup program arrives; the installer's
    next try asks the edge for the rest, and the keyed installer checks the joined body."""
    padded = tmp_path / "sources"
    padded.mkdir()
    for source in sources.iterdir():
        (padded / source.name).write_bytes(source.read_bytes())
    with open(padded / "norq_setup.exe", "ab") as setup:  # a program ignores what follows its sections
        setup.write(os.urandom(SIZE))
    tree = machine.workdir / "tree"
    publish(padded, BASE, tree)

    def served(path: str) -> dict:
        file = tree / path.lstrip("/")
        return {"body_file": str(file), "ranges": True,
                "headers": [("ETag", f'"{hashlib.sha256(file.read_bytes()).hexdigest()[:16]}"')]}
    server = scripted({"/quindle_www.html": {"body": BASE}}
                      | {path: served(path) for path in [INDEX_PATH, SIGNATURE_PATH, *SERVER_PATHS.values()]})
    setup_size = (tree / SETUP_PATH.lstrip("/")).stat().st_size
    edge = CachingEdge(machine.workdir, int(BASE.rsplit(":", 1)[1]), PRIMARY_PORT, f"{SLICE // 1024}k", "2m")
    try:
        folder = install_dir(machine)
        app = machine.start(machine.place(exe=KEYED_EXE), "REFRESH")

        def landed() -> int:
            return sum(p.stat().st_size for p in folder.glob("norq_setup.exe.*.tmp"))
        wait_until(lambda: landed() >= setup_size * 0.4, 90, "the setup program to be under way")
        edge.drop()
        assert app.wait_exit(60) == 0
        proof = machine.file(PROOF_DIR + r"\setup_started.txt")
        wait_until(lambda: proof.exists() and proof.stat().st_size, 20, "the setup program to start")
        assert (folder / "norq_setup.exe").read_bytes() == (tree / SETUP_PATH.lstrip("/")).read_bytes()
        for name in COMPONENTS:
            assert machine.prefix.component_path(name).read_bytes() == (padded / name).read_bytes(), name
        # The dropped answer is not in the log: its worker died with it.
        logged = [re.fullmatch(r'"GET (\S+) HTTP/1\.1" "([^"]*)" "([^"]*)" (\d+) (\d+)', line)
                  for line in edge.requests()]
        setup = [m.groups()[1:] for m in logged if m and m[1] == SETUP_PATH]
        origin = [r for r in server.requests() if r == f"GET {SETUP_PATH}"]
        print(f"\nthe edge's log of the setup program: {setup}; the origin sent it in {len(origin)} slices, "
              f"{server.bytes_sent(SETUP_PATH)} bytes for {setup_size}")
        [(asked, validator, status, sent)] = setup
        start = int(re.fullmatch(r"bytes=(\d+)-", asked)[1])
        assert start >= setup_size * 0.4 and validator == served(SETUP_PATH)["headers"][0][1].replace('"', "\\x22")
        assert status == "206" and int(sent) == setup_size - start, setup
        # The edge kept the slices it had: the origin sent the body about once.
        assert len(origin) <= -(-setup_size // SLICE) + 1 and server.bytes_sent(SETUP_PATH) <= setup_size + SLICE
    finally:
        edge.stop()
