"""The installer's first seconds under Wine where only real drives and processes show
the truth: the OEM marker's copies in the ANSI code page, a drive that is missing, a
marker hidden on disk, and the product's running windows it ends."""
import pytest

from harness import BUILD, MESSAGE_TITLE, PRIMARY_PORT, gbk, wait_until
from servers import ScriptedServer

EDITION, START = 1003, 1004
TITLED_WINDOW = "Z:" + str(BUILD / "norq_titled_window.exe").replace("/", "\\")
SERVER_URL = f"http://127.0.0.1:{PRIMARY_PORT}"


@pytest.fixture(scope="module")
def server(tmp_path_factory):
    primary = ScriptedServer(tmp_path_factory.mktemp("primary"), port=PRIMARY_PORT)
    yield primary
    primary.stop()


@pytest.fixture
def pointer(server):
    """The primary pointer host, naming SERVER_URL; its log holds this case's requests."""
    server.script({"/quindle_www.html": {"body": SERVER_URL}})
    return server


def wait_ready(app, timeout: float = 30):
    """The window once the check has ended with an accepted reply."""
    def ready():
        app._fail_if_ended("an enabled start button")
        window = app.main_window()
        start = window.controls.get(START) if window else None  # the window shows before its controls
        return window if start and start.enabled else None
    return wait_until(ready, timeout, "the start button to be enabled")


def test_marker_copies_are_written_in_gbk_and_a_missing_d_is_skipped(machine, pointer):
    on_d = machine.d_folder / "NORQOEM.DAT"  # Windows names ignore case: this is the copy, and it stays
    on_d.write_bytes(gbk("另一版"))
    machine.file(r"C:\norq_url.dat").write_bytes(b"http://old.example/\r\n")  # always rewritten
    app = machine.launch(oem=gbk("甲乙公司\r\n第二行\r\n"))
    window = wait_ready(app)
    assert window.text(EDITION) == "甲乙公司 专用安装程序"
    assert machine.file(r"C:\norqoem.dat").read_bytes() == b"\xbc\xd7\xd2\xd2\xb9\xab\xcb\xbe\r\n"
    assert on_d.read_bytes() == gbk("另一版")
    assert machine.drive_d_entries() == {"NORQOEM.DAT", "norq_url.dat"}
    for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
        assert machine.file(marker).read_bytes() == SERVER_URL.encode() + b"\r\n"
    app.kill()

    # Without D:, and with a zero-byte marker (an empty first line).
    machine.prefix.reset()
    machine.prefix.unmap_d()
    app = machine.launch(oem=b"")
    window = wait_ready(app)
    assert window.text(EDITION) == " 专用安装程序"
    assert machine.file(r"C:\norqoem.dat").read_bytes() == b"\r\n"
    assert machine.file(r"C:\norq_url.dat").read_bytes() == SERVER_URL.encode() + b"\r\n"


def test_a_hidden_marker_counts_as_missing_and_only_a_message_shows(machine, pointer):
    exe = machine.place(oem=gbk("测试版\r\n"))
    assert machine.prefix.run(["attrib", "+h", r"C:\norq_e2e\norqoem.dat"], "attrib") == 0
    drive_c = machine.drive_c_entries()
    app = machine.start(exe)
    box = app.wait_message_box()
    assert (box.title, box.text, [b["id"] for b in box.buttons]) == (MESSAGE_TITLE, "请先解压，而后再安装！", [1])
    r = box.window
    red = sum(n for (cr, cg, cb), n in app.screenshot("message").colours(
        r["left"], r["top"], r["right"], r["bottom"]).items() if cr >= 180 and cg <= 80 and cb <= 80)
    assert red >= 150, "no stop icon (a red disc) in the message box"
    assert app.main_window() is None, "the window shows behind the message"
    app.press_ok()
    assert app.wait_exit(10) == 0
    assert machine.drive_c_entries() == drive_c
    assert machine.drive_d_entries() == set()
    assert pointer.requests() == []


def test_only_windows_titled_exactly_norq_are_ended(machine, pointer):
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
