"""The installer's first seconds under Wine: the OEM marker and its copies, the
two pointer pages and the server markers, the product's windows it ends, and
the REFRESH start. The pointer hosts are scripted servers on the test build's
loopback ports; their request logs show which pages were asked, in order."""
import time

import pytest

from harness import BUILD, MESSAGE_TITLE, PRIMARY_PORT, SECONDARY_PORT, gbk, wait_until
from servers import ScriptedServer

EDITION, START, SERVER_LINK, STATUS_LINE = 1003, 1004, 1005, 1008
CHECKING, READY = "稍等，正在检测...", "开始安装"
NOT_UNPACKED = "请先解压，而后再安装！"
NO_SERVER = "安装的服务器目前不好用，稍后后再安装！"
PRIMARY_ASKED, SECONDARY_ASKED = "GET /quindle_www.html", "GET /brisel_www.html"
TITLED_WINDOW = "Z:" + str(BUILD / "norq_titled_window.exe").replace("/", "\\")
BODY_GREEN = (125, 204, 174)

SERVER_URL = f"http://127.0.0.1:{PRIMARY_PORT}"  # 22 characters: an accepted reply
MISSING = {"status": 404, "body": "not found"}
SILENT = {"stall_before_headers": True}


def ok(body: str) -> dict:
    return {"status": 200, "body": body}


def reply(length: int) -> str:
    """An address-like reply of exactly `length` characters."""
    return ("http://127.0.0.1:18082/" + "x" * 60)[:length]


class PointerHosts:
    def __init__(self, primary: ScriptedServer, secondary: ScriptedServer):
        self.primary, self.secondary = primary, secondary

    def answer(self, primary: dict = MISSING, secondary: dict = MISSING) -> None:
        self.primary.script({"/quindle_www.html": primary})
        self.secondary.script({"/brisel_www.html": secondary})

    def asked(self) -> tuple[list[str], list[str]]:
        return self.primary.requests(), self.secondary.requests()


@pytest.fixture(scope="module")
def servers(tmp_path_factory):
    primary = ScriptedServer(tmp_path_factory.mktemp("primary"), port=PRIMARY_PORT)
    try:
        secondary = ScriptedServer(tmp_path_factory.mktemp("secondary"), port=SECONDARY_PORT)
    except BaseException:
        primary.stop()
        raise
    yield PointerHosts(primary, secondary)
    primary.stop()
    secondary.stop()


@pytest.fixture
def hosts(servers):
    servers.answer()
    return servers


def wait_ready(app, timeout: float = 30):
    """The window once the check has ended with an accepted reply."""
    def ready():
        app._fail_if_ended("an enabled start button")
        window = app.main_window()
        return window if window and window.control(START).enabled else None
    return wait_until(ready, timeout, "the start button to be enabled")


def url_markers(machine) -> tuple[bytes, bytes]:
    return machine.file(r"C:\norq_url.dat").read_bytes(), machine.file(r"D:\norq_url.dat").read_bytes()


def stop_icon_drawn(app, box) -> bool:
    r = box.window
    shot = app.screenshot("message")
    red = sum(n for (cr, cg, cb), n in shot.colours(r["left"], r["top"], r["right"], r["bottom"]).items()
              if cr >= 180 and cg <= 80 and cb <= 80)
    return red >= 150  # the stop icon is a red disc; a box without it has none


# ------------------------------------------------------------------ OEM marker

OEM_LINES = {
    # marker beside the exe: (bytes of both copies, the title line)
    "gbk-crlf": (gbk("测试版\r\n"), b"\xb2\xe2\xca\xd4\xb0\xe6\r\n", "测试版 专用安装程序"),
    "several-lines": (gbk("甲乙公司\r\n第二行\r\n"), gbk("甲乙公司\r\n"), "甲乙公司 专用安装程序"),
    "lf-only": (gbk("甲乙\n第二行\n"), gbk("甲乙\n第二行\n\r\n"), "甲乙\n第二行\n 专用安装程序"),
    "no-line-end": (gbk("丙丁版"), gbk("丙丁版\r\n"), "丙丁版 专用安装程序"),
    "zero-bytes": (b"", b"\r\n", " 专用安装程序"),
}


@pytest.mark.parametrize("case", OEM_LINES, ids=list(OEM_LINES))
def test_oem_copies_hold_the_first_line_in_gbk(machine, hosts, case):
    oem, copy, title = OEM_LINES[case]
    hosts.answer(primary=ok(SERVER_URL))
    app = machine.launch(oem=oem)
    window = app.wait_main_window()
    assert window.text(EDITION) == title
    assert machine.file(r"C:\norqoem.dat").read_bytes() == copy
    assert machine.file(r"D:\norqoem.dat").read_bytes() == copy


def test_existing_copies_stay_and_a_missing_d_is_skipped(machine, hosts):
    hosts.answer(primary=ok(SERVER_URL))
    on_c = machine.file(r"C:\norqoem.dat")
    on_c.write_bytes(gbk("旧版本\r\n"))
    on_d = machine.d_folder / "NORQOEM.DAT"  # Windows names ignore case
    on_d.write_bytes(gbk("另一版"))
    app = machine.launch(oem=gbk("测试版\r\n"))
    wait_ready(app)
    assert on_c.read_bytes() == gbk("旧版本\r\n")
    assert on_d.read_bytes() == gbk("另一版")
    assert machine.drive_d_entries() == {"NORQOEM.DAT", "norq_url.dat"}
    app.kill()

    machine.prefix.reset()
    machine.prefix.unmap_d()
    app = machine.launch(oem=gbk("测试版\r\n"))
    window = wait_ready(app)
    assert window.text(SERVER_LINK) == SERVER_URL
    assert machine.file(r"C:\norqoem.dat").read_bytes() == gbk("测试版\r\n")
    assert machine.file(r"C:\norq_url.dat").read_bytes() == SERVER_URL.encode() + b"\r\n"


@pytest.mark.parametrize("marker", ["absent", "hidden", "system", "folder"])
def test_without_a_plain_marker_only_a_message_shows(machine, hosts, marker):
    hosts.answer(primary=ok(SERVER_URL), secondary=ok(SERVER_URL))
    exe = machine.place(oem=None if marker in ("absent", "folder") else gbk("测试版\r\n"))
    if marker == "folder":
        machine.file(r"C:\norq_e2e\norqoem.dat").mkdir()
    elif marker != "absent":
        flag = "+h" if marker == "hidden" else "+s"
        assert machine.prefix.run(["attrib", flag, r"C:\norq_e2e\norqoem.dat"], "attrib") == 0
    drive_c = machine.drive_c_entries()
    app = machine.start(exe)
    box = app.wait_message_box()
    assert (box.title, box.text, [b["id"] for b in box.buttons]) == (MESSAGE_TITLE, NOT_UNPACKED, [1])
    assert stop_icon_drawn(app, box), "no stop icon in the message box"
    assert app.main_window() is None, "the window shows behind the message"
    app.press_ok()
    assert app.wait_exit(10) == 0
    assert machine.drive_c_entries() == drive_c
    assert machine.drive_d_entries() == set()
    assert hosts.asked() == ([], [])


# --------------------------------------------------------------- pointer pages

ACCEPTED = {
    # primary page, secondary page, the reply taken, whether the secondary page was asked
    "primary-16": (ok(reply(16)), MISSING, reply(16), False),
    "primary-49": (ok(reply(49)), MISSING, reply(49), False),
    "primary-15-secondary-16": (ok(reply(15)), ok(reply(16)), reply(16), True),
    "primary-50-secondary-49": (ok(reply(50)), ok(reply(49)), reply(49), True),
    "primary-500": ({"status": 500, "body": reply(20)}, ok(reply(30)), reply(30), True),
    "primary-bar": (ok("http://127.0.0.1|18082/b"), ok(reply(30)), reply(30), True),
    "primary-line-break": (ok(SERVER_URL + "\r\n"), MISSING, SERVER_URL + "\r\n", False),
    "secondary-line-break": (MISSING, ok(SERVER_URL + "\r\n"), SERVER_URL + "\r\n", True),
}


@pytest.mark.parametrize("case", ACCEPTED, ids=list(ACCEPTED))
def test_an_accepted_pointer_reply_is_kept_and_enables_start(machine, hosts, case):
    primary, secondary, taken, secondary_asked = ACCEPTED[case]
    hosts.answer(primary, secondary)
    machine.file(r"C:\norq_url.dat").write_bytes(b"http://old.example/\r\n")  # always rewritten
    app = machine.launch()
    window = wait_ready(app)
    assert (window.text(START), window.text(SERVER_LINK)) == (READY, taken)
    assert url_markers(machine) == (taken.encode() + b"\r\n",) * 2
    assert hosts.asked() == ([PRIMARY_ASKED], [SECONDARY_ASKED] if secondary_asked else [])


@pytest.mark.parametrize("primary, secondary", [(MISSING, ok(reply(50))), (ok(reply(15)), ok(reply(15) + "|"))],
                         ids=["404-and-50", "15-and-bar"])
def test_no_accepted_reply_ends_in_a_message_over_the_window(machine, hosts, primary, secondary):
    hosts.answer(primary, secondary)
    old = b"http://old.example/\r\n"
    machine.file(r"C:\norq_url.dat").write_bytes(old)
    machine.file(r"D:\norq_url.dat").write_bytes(old)
    app = machine.launch(oem=gbk("测试版\r\n"))
    box = app.wait_message_box()
    window = app.main_window()
    assert window is not None, "the window should stay visible behind the message"
    assert (box.text, box.pid, [b["id"] for b in box.buttons]) == (NO_SERVER, window.pid, [1])
    middle = ((box.window["left"] + box.window["right"]) / 2, (box.window["top"] + box.window["bottom"]) / 2)
    assert window.window["left"] <= middle[0] <= window.window["right"]
    assert window.window["top"] <= middle[1] <= window.window["bottom"]
    assert (window.text(START), window.control(START).enabled) == (CHECKING, False)
    assert hosts.asked() == ([PRIMARY_ASKED], [SECONDARY_ASKED])
    app.press_ok()
    assert app.wait_exit(10) == 0
    assert machine.file(r"C:\norqoem.dat").read_bytes() == gbk("测试版\r\n")
    assert machine.file(r"D:\norqoem.dat").read_bytes() == gbk("测试版\r\n")
    assert url_markers(machine) == (old, old)


def test_a_silent_pointer_host_is_given_up_while_the_window_paints(machine, hosts):
    hosts.answer(primary=SILENT, secondary=SILENT)
    app = machine.launch()
    wait_until(lambda: hosts.primary.requests(), 15, "the request for the primary pointer page")
    window = app.wait_main_window()
    shot = app.wait_painted(window.window)
    assert not hosts.secondary.requests(), "the window painted only once the primary page was given up"
    assert shot.pixel(*window.to_screen(205, 225)) == BODY_GREEN
    assert window.text(START) == CHECKING
    wait_until(lambda: hosts.secondary.requests(), 20, "the request for the secondary pointer page")
    # Each log was last written by its one request: their times are the requests' times.
    waited = hosts.secondary.log.stat().st_mtime - hosts.primary.log.stat().st_mtime
    assert 2.5 <= waited <= 10, f"the secondary page was asked {waited:.1f} s after the primary one"
    started = time.monotonic()
    app.close()  # while the secondary request is pending
    assert app.wait_exit(5) == 0
    assert time.monotonic() - started < 3


# ------------------------------------------------------- product windows, REFRESH


def test_only_windows_titled_exactly_norq_are_ended(machine, hosts):
    hosts.answer(primary=ok(SERVER_URL))
    products = [machine.start(TITLED_WINDOW, "norq") for _ in range(2)]
    other = machine.start(TITLED_WINDOW, "norq 2")

    def titles():
        _, seen = machine.prefix.probe("windows", "{out}")
        return [w["title"] for w in seen["windows"]]
    wait_until(lambda: sorted(t for t in titles() if t.startswith("norq")) == ["norq", "norq", "norq 2"], 30,
               "the three titled windows")
    app = machine.launch()
    wait_ready(app)
    for product in products:
        product.wait_exit(10)
    assert other.running
    assert [t for t in titles() if t.startswith("norq")] == ["norq 2"]


@pytest.mark.parametrize("args, starts", [("REFRESH", True), ("refresh", False), ("REFRESH X", False)])
def test_only_the_exact_word_refresh_starts_the_installation(machine, hosts, args, starts):
    hosts.answer(primary=ok(SERVER_URL))
    app = machine.launch(args=args)

    def installing():
        app._fail_if_ended("the installation")
        window = app.main_window()
        return window if window and window.text(STATUS_LINE).startswith("状态:") else None
    if starts:
        window = wait_until(installing, 30, "the status line of a started installation")
        assert not window.control(START).enabled
        wait_until(lambda: any(r.startswith("GET /Soft/System/") for r in hosts.primary.requests()), 15,
                   "a component request")
        return
    wait_ready(app)
    time.sleep(2)  # a started installation shows its status well within this
    window = app.main_window()
    assert (window.text(STATUS_LINE), window.control(START).enabled, window.text(START)) == ("", True, READY)
    assert hosts.asked() == ([PRIMARY_ASKED], [])
