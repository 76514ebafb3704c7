"""The installer's window and its first seconds, as a user sees them."""
import pytest

from harness import (MAIN_CAPTION, MESSAGE_TITLE, PRIMARY_PORT, SECONDARY_PORT, Machine, SilentServer,
                     close_to, gbk, require_free_ports, wait_until)

HEADER, LOGO, EDITION, START = 1001, 1002, 1003, 1004
SERVER_LINK, NOTICE, CONTACT, STATUS_LINE = 1005, 1006, 1007, 1008
PROGRESS_PANEL, STATE_TEXT, PERCENT, BAR, COMMAND2 = 1009, 1010, 1011, 1012, 1013

CLIENT_SIZE = (413, 263)  # 6195 x 3945 twips at 96 DPI
WINDOW_WHITE = (255, 255, 255)  # COLOR_WINDOW in a fresh prefix
APP_WORKSPACE = (128, 128, 128)  # COLOR_APPWORKSPACE in a fresh prefix
BODY_GREEN = (125, 204, 174)

# Boxes at 96 DPI relative to the client area's origin: id -> (parent id, left, top, width, height,
# shown). Children of the header and of the progress panel sit at their container's offset.
# Self-sizing labels are checked by position only (None width).
BOXES = {
    HEADER: (0, -8, 0, 497, 129, True),
    LOGO: (HEADER, 232, 8, 150, 108, True),
    EDITION: (HEADER, 8, 104, 217, 13, True),
    START: (HEADER, 48, 24, 117, 65, True),
    SERVER_LINK: (HEADER, 216, 128, 189, 12, False),
    NOTICE: (0, 16, 136, None, None, True),
    CONTACT: (0, 16, 152, None, None, True),
    STATUS_LINE: (0, 16, 168, None, None, True),
    PROGRESS_PANEL: (0, 8, 192, 391, 65, False),
    STATE_TEXT: (PROGRESS_PANEL, 28, 204, 361, 15, False),
    PERCENT: (PROGRESS_PANEL, 364, 206, 37, 13, False),
    BAR: (PROGRESS_PANEL, 20, 234, 0, 13, False),
    COMMAND2: (0, 370, 102, 43, 27, False),
}

CHECKING = "稍等，正在检测..."
NO_SERVER = "安装的服务器目前不好用，稍后后再安装！"


@pytest.fixture(scope="class")
def checking_window(wine, tmp_path_factory):
    """The window while it asks for its pointer pages: hosts that accept and never answer
    keep it in that state for the length of the installer's network time-out."""
    case = Machine(wine, tmp_path_factory.mktemp("checking"))
    with SilentServer(PRIMARY_PORT) as primary, SilentServer(SECONDARY_PORT):
        app = case.launch(oem=gbk("测试版\r\n"))
        wait_until(lambda: primary.connections, 15, "the request for the primary pointer page")
        window = app.wait_main_window()
        shot = app.wait_painted(window.window)
        yield window, shot
        case.finish()


class TestWindowWhileChecking:
    def test_caption_client_size_and_centred(self, checking_window, wine):
        window, _ = checking_window
        assert window.raw["title"] == MAIN_CAPTION
        assert (window.client["width"], window.client["height"]) == CLIENT_SIZE
        middle_x = (window.window["left"] + window.window["right"]) / 2
        middle_y = (window.window["top"] + window.window["bottom"]) / 2
        assert abs(middle_x - wine.info["screen_width"] / 2) <= 2
        assert abs(middle_y - wine.info["screen_height"] / 2) <= 2

    def test_controls_sit_in_their_designed_boxes(self, checking_window):
        window, _ = checking_window
        for control_id, (parent, left, top, width, height, shown) in BOXES.items():
            c = window.control(control_id)
            seen = (c.parent, c.left, c.top, c.width if width is not None else None,
                    c.height if height is not None else None, c.visible)
            assert seen == (parent, left, top, width, height, shown), f"control {control_id}"

    def test_texts_and_the_start_button_during_the_check(self, checking_window):
        window, _ = checking_window
        assert window.text(EDITION) == "测试版 专用安装程序"
        assert window.text(CONTACT) == "如果安装工作多次无法进行，请联系QQ：4817203695"
        assert window.text(NOTICE) == "本安装程序每次安装均为最新版本，不用重新下载！"
        start = window.control(START)
        assert (start.text, start.enabled, start.visible) == (CHECKING, False, True)

    def test_colours_of_header_body_and_labels(self, checking_window):
        window, shot = checking_window

        def at(x, y):
            return shot.pixel(*window.to_screen(x, y))

        # The header runs from beyond the left edge to the right one; its lower edge is at 129 px.
        for x, y in [(0, 0), (200, 3), (412, 5), (408, 60), (30, 122), (4, 128)]:
            assert at(x, y) == WINDOW_WHITE, f"header at {x},{y}"
        for x, y in [(0, 129), (412, 131), (205, 185), (205, 225), (2, 262), (412, 262)]:
            assert at(x, y) == BODY_GREEN, f"body at {x},{y}"

        def text_colours(control_id, background):
            c = window.control(control_id)
            left, top = window.to_screen(c.left, c.top)
            counts = shot.colours(left, top, left + c.width, top + c.height)
            assert max(counts, key=counts.get) == background, f"background of {control_id}"
            ink = {colour: n for colour, n in counts.items() if colour != background}
            assert sum(ink.values()) >= 30, f"no text drawn in {control_id}"
            return max(ink, key=ink.get)

        assert close_to(text_colours(NOTICE, BODY_GREEN), WINDOW_WHITE, 16)
        assert close_to(text_colours(CONTACT, BODY_GREEN), WINDOW_WHITE, 16)
        assert close_to(text_colours(EDITION, WINDOW_WHITE), APP_WORKSPACE, 32)
        logo = window.control(LOGO)
        left, top = window.to_screen(logo.left, logo.top)
        assert len(shot.colours(left, top, left + logo.width, top + logo.height)) > 2, "the logo is not drawn"


def test_unreachable_pointer_hosts_end_in_a_message(machine):
    require_free_ports(PRIMARY_PORT, SECONDARY_PORT)
    app = machine.launch(oem=gbk("测试版\r\n"))
    window = app.wait_main_window()
    box = app.wait_message_box(MESSAGE_TITLE, timeout=30)
    assert (box.text, box.pid) == (NO_SERVER, window.pid)
    assert [b["id"] for b in box.buttons] == [1]  # one OK button
    assert app.main_window() is not None, "the window should stay behind the message"
    app.press_ok()
    assert app.wait_exit(10) == 0


def test_closing_the_window_ends_the_process_at_once(machine):
    with SilentServer(PRIMARY_PORT), SilentServer(SECONDARY_PORT):
        app = machine.launch()
        app.wait_main_window()
        app.close()
        assert app.wait_exit(5) == 0
