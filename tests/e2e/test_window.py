"""The window and the first seconds as a user sees them, where only real drives and processes
show the truth: the marker's copies in the ANSI code page, a missing drive, the windows it ends."""
import time

import pytest

from fixtures import INDEX_PATH, NO_SERVER, POINTED, SCRIPTED, SIGNATURE_PATH, flip_byte, nginx_tree, wait_ready
from harness import (BUILD, EDITION_LINE, HEADER, HELP_LINE, KEYED_EXE, LOGO, MESSAGE_TITLE, NOTICE_LINE, PRIMARY_PORT,
                     PROGRESS_BAR, PROGRESS_PANEL, SECONDARY_PORT, SERVER_LINE, START_BUTTON, TRANSFER_LINE, gbk, on_z,
                     require_free_ports, text_pixels, wait_until)

CLIENT_SIZE = (413, 263)  # 6195 x 3945 twips at 96 DPI
WHITE, GREY, GREEN = (255, 255, 255), (128, 128, 128), (125, 204, 174)  # window, app workspace (a fresh prefix), body
# Boxes at 96 DPI relative to the client area: id -> (parent id, left, top, width, height, shown), one of each
# kind: a container beyond the left edge, children of the header and of the hidden progress panel (at their
# container's offset), a self-sizing label (None: position only).
BOXES = {HEADER: (0, -8, 0, 497, 129, True), START_BUTTON: (HEADER, 48, 24, 117, 65, True),
         SERVER_LINE: (HEADER, 216, 128, 189, 12, False), NOTICE_LINE: (0, 16, 136, None, None, True),
         PROGRESS_PANEL: (0, 8, 192, 391, 65, False), TRANSFER_LINE: (PROGRESS_PANEL, 28, 204, 361, 15, False),
         PROGRESS_BAR: (PROGRESS_PANEL, 20, 234, 0, 13, False)}
CHECKING = "稍等，正在检测..."


def middle(rect) -> tuple[float, float]:
    return (rect["left"] + rect["right"]) / 2, (rect["top"] + rect["bottom"]) / 2


def test_the_window_as_designed_while_it_checks_and_closing_the_window_ends_it_at_once(machine, wine, scripted):
    """A primary host that trickles its page holds the window in its check: it paints meanwhile, and
    asks the secondary page once the page's overall deadline (twice the 4 s stall bound) gives the
    primary up, though each 1 KB read completes within that bound; a close ends it at once."""
    primary = scripted({"/quindle_www.html": {"body": "x" * 4000, "rate_bytes_per_s": 300}})
    secondary = scripted({"*": {"silent": True}}, SECONDARY_PORT)  # pending until the client gives up
    app = machine.launch()
    asked = wait_until(lambda: primary.requests() and time.monotonic(), 15, "the primary pointer page's request")
    shot = app.wait_painted(app.wait_main_window().window)
    window = app.main_window()  # again: the window shows before all its controls exist
    assert not secondary.requests(), "the window painted only once the primary page was given up"
    wait_until(lambda: secondary.requests(), 20, "the secondary pointer page's request")
    waited = time.monotonic() - asked
    assert 6.5 <= waited <= 11, f"the secondary page was asked {waited:.1f} s after the primary one"
    started = time.monotonic()
    app.close()  # while the secondary request is pending
    assert app.wait_exit(5) == 0
    assert time.monotonic() - started < 3

    assert (window.client["width"], window.client["height"]) == CLIENT_SIZE
    x, y = middle(window.window)
    assert abs(x - wine.info["screen_width"] / 2) <= 2 and abs(y - wine.info["screen_height"] / 2) <= 2
    for control_id, (parent, left, top, width, height, shown) in BOXES.items():
        c = window.control(control_id)
        seen = (c.parent, c.left, c.top, c.width if width is not None else None,
                c.height if height is not None else None, c.visible)
        assert seen == (parent, left, top, width, height, shown), f"control {control_id}"
    assert window.text(NOTICE_LINE) == "本安装程序每次安装均为最新版本，不用重新下载！"
    assert window.text(HELP_LINE) == "如果安装工作多次无法进行，请联系QQ：4817203695"
    start = window.control(START_BUTTON)
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

    for control_id, background, text in [(NOTICE_LINE, GREEN, WHITE), (HELP_LINE, GREEN, WHITE),
                                         (EDITION_LINE, WHITE, GREY)]:
        counts = colours(control_id)
        assert max(counts, key=counts.get) == background, f"background of {control_id}"
        ink = {colour: n for colour, n in counts.items() if colour != background}
        assert sum(ink.values()) >= 30, f"no text drawn in {control_id}"
        # Smoothed text blends into its background at the edges; its strokes are drawn in its colour.
        assert text_pixels(ink, text, 16 if text == WHITE else 32) >= 10, f"text colour of {control_id}"
    assert len(colours(LOGO)) > 2, "the logo is not drawn"


def test_no_usable_server_ends_in_a_message_over_the_window(machine, sources):
    """The primary host refuses the connection; the server the secondary page names has its index
    changed after signing, so the keyed installer does not use it."""
    require_free_ports(PRIMARY_PORT)
    old = b"http://old.example/\r\n"
    for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
        machine.file(marker).write_bytes(old)
    with nginx_tree(machine, sources, edit=lambda tree: flip_byte(tree / INDEX_PATH[1:], 20), primary=18090) as site:
        app = machine.launch(exe=KEYED_EXE)
        box = app.wait_message_box()
        window = app.main_window()
        assert (box.text, box.pid, [b["id"] for b in box.buttons]) == (NO_SERVER, window.pid, [1])
        x, y, frame = *middle(box.window), window.window  # the window stays visible behind the message
        assert frame["left"] <= x <= frame["right"] and frame["top"] <= y <= frame["bottom"]
        assert (window.text(START_BUTTON), window.control(START_BUTTON).enabled) == (CHECKING, False)
        assert site.paths() == ["/brisel_www.html", INDEX_PATH, SIGNATURE_PATH]
        app.press_ok()
        assert app.wait_exit(10) == 0
    assert machine.file(r"D:\norqoem.dat").read_bytes() == gbk("测试版\r\n")
    assert [machine.file(m).read_bytes() for m in (r"C:\norq_url.dat", r"D:\norq_url.dat")] == [old, old]
    assert machine.prefix.components() == []


def test_marker_copies_in_gbk_a_missing_d_and_only_windows_titled_exactly_norq_are_ended(machine, scripted):
    scripted(POINTED)
    titled = on_z(BUILD / "norq_titled_window.exe")
    products, other = [machine.start(titled, "norq") for _ in range(2)], machine.start(titled, "norq 2")

    def titles():
        shown = machine.prefix.probe("info", "{out}")[1]["windows"]
        return sorted(w["title"] for w in shown if w["title"].startswith("norq"))
    wait_until(lambda: titles() == ["norq", "norq", "norq 2"], 30, "the three titled windows")
    on_d = machine.d_folder / "NORQOEM.DAT"  # Windows names ignore case: this is the copy, and it stays
    on_d.write_bytes(gbk("另一版"))
    machine.file(r"C:\norq_url.dat").write_bytes(b"http://old.example/\r\n")  # always rewritten
    app = machine.launch(oem=gbk("甲乙公司\r\n第二行\r\n"))
    assert wait_ready(app).text(EDITION_LINE) == "甲乙公司 专用安装程序"
    for product in products:
        product.wait_exit(10)
    assert other.running and titles() == ["norq 2"]
    assert machine.file(r"C:\norqoem.dat").read_bytes() == b"\xbc\xd7\xd2\xd2\xb9\xab\xcb\xbe\r\n"
    assert on_d.read_bytes() == gbk("另一版")
    assert {e.name for e in machine.d_folder.iterdir()} == {"NORQOEM.DAT", "norq_url.dat"}
    for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
        assert machine.file(marker).read_bytes() == SCRIPTED.encode() + b"\r\n"
    app.kill()

    # Without D:, and with an empty first line: the edition name is empty.
    machine.prefix.reset()
    machine.prefix.unmap_d()
    assert wait_ready(machine.launch(oem=b"\r\n")).text(EDITION_LINE) == " 专用安装程序"
    assert machine.file(r"C:\norqoem.dat").read_bytes() == b"\r\n"
    assert machine.file(r"C:\norq_url.dat").read_bytes() == SCRIPTED.encode() + b"\r\n"


@pytest.mark.parametrize("damage", ["hidden", "zero-byte"])
def test_a_hidden_or_empty_marker_counts_as_missing_and_only_a_message_shows(machine, scripted, damage):
    pointer = scripted(POINTED)
    exe = machine.place(oem=gbk("测试版\r\n") if damage == "hidden" else b"")
    if damage == "hidden":
        assert machine.prefix.run(["attrib", "+h", r"C:\norq_e2e\norqoem.dat"], "attrib") == 0
    drive_c = set(machine.prefix.drive_c.iterdir())
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
    assert set(machine.prefix.drive_c.iterdir()) == drive_c and not any(machine.d_folder.iterdir())
    assert pointer.requests() == []
