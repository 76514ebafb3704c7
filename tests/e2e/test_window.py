"""The installer's window and its first seconds, as a user sees them."""
import time

from harness import MAIN_CAPTION, PRIMARY_PORT, SECONDARY_PORT, SilentServer, close_to, gbk, require_free_ports, wait_until
from test_install import (BAR, CONTACT, EDITION, HEADER, LOGO, NO_SERVER, NOTICE, PANEL, SERVER_LINK, START,
                          STATE_TEXT, scripted)  # noqa: F401 (a fixture)

CLIENT_SIZE = (413, 263)  # 6195 x 3945 twips at 96 DPI
WHITE, GREY, GREEN = (255, 255, 255), (128, 128, 128), (125, 204, 174)  # window, app workspace (a fresh prefix), body
# Boxes at 96 DPI relative to the client area: id -> (parent id, left, top, width, height, shown), one of each
# kind: a container beyond the left edge, children of the header and of the hidden progress panel (at their
# container's offset), a self-sizing label (None: position only).
BOXES = {HEADER: (0, -8, 0, 497, 129, True), START: (HEADER, 48, 24, 117, 65, True),
         SERVER_LINK: (HEADER, 216, 128, 189, 12, False), NOTICE: (0, 16, 136, None, None, True),
         PANEL: (0, 8, 192, 391, 65, False), STATE_TEXT: (PANEL, 28, 204, 361, 15, False),
         BAR: (PANEL, 20, 234, 0, 13, False)}
CHECKING = "稍等，正在检测..."


def middle(rect) -> tuple[float, float]:
    return (rect["left"] + rect["right"]) / 2, (rect["top"] + rect["bottom"]) / 2


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
    x, y = middle(window.window)
    assert abs(x - wine.info["screen_width"] / 2) <= 2 and abs(y - wine.info["screen_height"] / 2) <= 2
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
    # The header runs from beyond the left edge to the right one; its lower edge is at 129 px.
    for colour, points in [(WHITE, [(0, 0), (200, 3), (412, 5), (408, 60), (30, 122), (4, 128)]),
                           (GREEN, [(0, 129), (412, 131), (205, 185), (205, 225), (2, 262), (412, 262)])]:
        for x, y in points:
            assert shot.pixel(*window.to_screen(x, y)) == colour, f"{x},{y}"

    def colours(control_id):
        c = window.control(control_id)
        left, top = window.to_screen(c.left, c.top)
        return shot.colours(left, top, left + c.width, top + c.height)

    for control_id, background, text in [(NOTICE, GREEN, WHITE), (CONTACT, GREEN, WHITE), (EDITION, WHITE, GREY)]:
        counts = colours(control_id)
        assert max(counts, key=counts.get) == background, f"background of {control_id}"
        ink = {colour: n for colour, n in counts.items() if colour != background}
        assert sum(ink.values()) >= 30, f"no text drawn in {control_id}"
        assert close_to(max(ink, key=ink.get), text, 16 if text == WHITE else 32), f"text colour of {control_id}"
    assert len(colours(LOGO)) > 2, "the logo is not drawn"


def test_no_usable_server_ends_in_a_message_over_the_window(machine, scripted):
    """The primary host refuses the connection, the secondary answers with an error status."""
    require_free_ports(PRIMARY_PORT)
    secondary = scripted({"/brisel_www.html": {"status": 500, "body": "http://127.0.0.1:18081"}}, SECONDARY_PORT)
    old = b"http://old.example/\r\n"
    for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
        machine.file(marker).write_bytes(old)
    app = machine.launch(oem=gbk("测试版\r\n"))
    box = app.wait_message_box()
    window = app.main_window()
    assert window is not None, "the window should stay visible behind the message"
    assert (box.text, box.pid, [b["id"] for b in box.buttons]) == (NO_SERVER, window.pid, [1])
    x, y = middle(box.window)
    assert window.window["left"] <= x <= window.window["right"] and window.window["top"] <= y <= window.window["bottom"]
    assert (window.text(START), window.control(START).enabled) == (CHECKING, False)
    assert secondary.requests() == ["GET /brisel_www.html"]
    app.press_ok()
    assert app.wait_exit(10) == 0
    assert machine.file(r"D:\norqoem.dat").read_bytes() == gbk("测试版\r\n")
    assert [machine.file(m).read_bytes() for m in (r"C:\norq_url.dat", r"D:\norq_url.dat")] == [old, old]
