"""The installer's window and its first seconds, as a user sees them."""
import time

from harness import (MAIN_CAPTION, MESSAGE_TITLE, PRIMARY_PORT, SECONDARY_PORT, SilentServer, close_to, gbk,
                     require_free_ports, wait_until)
from servers import ScriptedServer

HEADER, LOGO, EDITION, START = 1001, 1002, 1003, 1004
SERVER_LINK, NOTICE, CONTACT = 1005, 1006, 1007
PROGRESS_PANEL, STATE_TEXT, BAR = 1009, 1010, 1012

CLIENT_SIZE = (413, 263)  # 6195 x 3945 twips at 96 DPI
WINDOW_WHITE = (255, 255, 255)  # COLOR_WINDOW in a fresh prefix
APP_WORKSPACE = (128, 128, 128)  # COLOR_APPWORKSPACE in a fresh prefix
BODY_GREEN = (125, 204, 174)

# Boxes at 96 DPI relative to the client area's origin: id -> (parent id, left, top, width, height,
# shown), one of each kind: a container beyond the left edge, children of the header and of the
# hidden progress panel (at their container's offset), a self-sizing label (None: position only).
BOXES = {
    HEADER: (0, -8, 0, 497, 129, True),
    START: (HEADER, 48, 24, 117, 65, True),
    SERVER_LINK: (HEADER, 216, 128, 189, 12, False),
    NOTICE: (0, 16, 136, None, None, True),
    PROGRESS_PANEL: (0, 8, 192, 391, 65, False),
    STATE_TEXT: (PROGRESS_PANEL, 28, 204, 361, 15, False),
    BAR: (PROGRESS_PANEL, 20, 234, 0, 13, False),
}

CHECKING = "稍等，正在检测..."
NO_SERVER = "安装的服务器目前不好用，稍后后再安装！"


def test_the_window_as_designed_while_it_checks_and_closing_the_window_ends_it_at_once(machine, wine):
    """Hosts that accept and never answer hold the window in its check: it paints meanwhile,
    asks the secondary page once the primary one is given up, and a close ends it at once."""
    with SilentServer(PRIMARY_PORT) as primary, SilentServer(SECONDARY_PORT) as secondary:
        app = machine.launch(oem=gbk("测试版\r\n"))
        asked = wait_until(lambda: primary.connections and time.monotonic(), 15, "the primary pointer page's request")
        shot = app.wait_painted(app.wait_main_window().window)
        window = app.main_window()  # again: the window shows before all its controls exist
        assert not secondary.connections, "the window painted only once the primary page was given up"
        wait_until(lambda: secondary.connections, 20, "the secondary pointer page's request")
        waited = time.monotonic() - asked
        assert 2.5 <= waited <= 10, f"the secondary page was asked {waited:.1f} s after the primary one"
        started = time.monotonic()
        app.close()  # while the secondary request is pending
        assert app.wait_exit(5) == 0
        assert time.monotonic() - started < 3

    assert window.raw["title"] == MAIN_CAPTION
    assert (window.client["width"], window.client["height"]) == CLIENT_SIZE
    middle = ((window.window["left"] + window.window["right"]) / 2, (window.window["top"] + window.window["bottom"]) / 2)
    assert abs(middle[0] - wine.info["screen_width"] / 2) <= 2 and abs(middle[1] - wine.info["screen_height"] / 2) <= 2
    for control_id, (parent, left, top, width, height, shown) in BOXES.items():
        c = window.control(control_id)
        seen = (c.parent, c.left, c.top, c.width if width is not None else None,
                c.height if height is not None else None, c.visible)
        assert seen == (parent, left, top, width, height, shown), f"control {control_id}"
    assert window.text(EDITION) == "测试版 专用安装程序"
    assert window.text(CONTACT) == "如果安装工作多次无法进行，请联系QQ：4817203695"
    assert window.text(NOTICE) == "本安装程序每次安装均为最新版本，不用重新下载！"
    start = window.control(START)
    assert (start.text, start.enabled, start.visible) == (CHECKING, False, True)

    def at(x, y):
        return shot.pixel(*window.to_screen(x, y))

    # The header runs from beyond the left edge to the right one; its lower edge is at 129 px.
    for x, y in [(0, 0), (200, 3), (412, 5), (408, 60), (30, 122), (4, 128)]:
        assert at(x, y) == WINDOW_WHITE, f"header at {x},{y}"
    for x, y in [(0, 129), (412, 131), (205, 185), (205, 225), (2, 262), (412, 262)]:
        assert at(x, y) == BODY_GREEN, f"body at {x},{y}"

    def text_colour(control_id, background):
        c = window.control(control_id)
        left, top = window.to_screen(c.left, c.top)
        counts = shot.colours(left, top, left + c.width, top + c.height)
        assert max(counts, key=counts.get) == background, f"background of {control_id}"
        ink = {colour: n for colour, n in counts.items() if colour != background}
        assert sum(ink.values()) >= 30, f"no text drawn in {control_id}"
        return max(ink, key=ink.get)

    assert close_to(text_colour(NOTICE, BODY_GREEN), WINDOW_WHITE, 16)
    assert close_to(text_colour(CONTACT, BODY_GREEN), WINDOW_WHITE, 16)
    assert close_to(text_colour(EDITION, WINDOW_WHITE), APP_WORKSPACE, 32)
    logo = window.control(LOGO)
    left, top = window.to_screen(logo.left, logo.top)
    assert len(shot.colours(left, top, left + logo.width, top + logo.height)) > 2, "the logo is not drawn"


def test_no_usable_server_ends_in_a_message_over_the_window(machine, tmp_path):
    """The primary host refuses the connection, the secondary answers with an error status."""
    require_free_ports(PRIMARY_PORT)
    secondary = ScriptedServer(tmp_path / "secondary", SECONDARY_PORT)
    try:
        secondary.script({"/brisel_www.html": {"status": 500, "body": secondary.base}})
        old = b"http://old.example/\r\n"
        for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
            machine.file(marker).write_bytes(old)
        app = machine.launch(oem=gbk("测试版\r\n"))
        box = app.wait_message_box(MESSAGE_TITLE, timeout=30)
        window = app.main_window()
        assert window is not None, "the window should stay visible behind the message"
        assert (box.text, box.pid, [b["id"] for b in box.buttons]) == (NO_SERVER, window.pid, [1])
        middle = ((box.window["left"] + box.window["right"]) / 2, (box.window["top"] + box.window["bottom"]) / 2)
        assert window.window["left"] <= middle[0] <= window.window["right"]
        assert window.window["top"] <= middle[1] <= window.window["bottom"]
        assert (window.text(START), window.control(START).enabled) == (CHECKING, False)
        assert secondary.requests() == ["GET /brisel_www.html"]
        app.press_ok()
        assert app.wait_exit(10) == 0
    finally:
        secondary.stop()
    assert machine.file(r"D:\norqoem.dat").read_bytes() == gbk("测试版\r\n")
    assert [machine.file(m).read_bytes() for m in (r"C:\norq_url.dat", r"D:\norq_url.dat")] == [old, old]
