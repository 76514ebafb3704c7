"""The first seconds where only real drives and processes show the truth: the OEM marker's
copies in the ANSI code page, a missing drive, a marker hidden on disk, the windows it ends."""
from harness import BUILD, MESSAGE_TITLE, gbk, on_z, wait_until
from test_install import EDITION, POINTED, SCRIPTED, scripted, wait_ready  # noqa: F401 (a fixture)

TITLED_WINDOW = on_z(BUILD / "norq_titled_window.exe")


def test_marker_copies_in_gbk_a_missing_d_and_only_windows_titled_exactly_norq_are_ended(machine, scripted):
    scripted(POINTED)
    products = [machine.start(TITLED_WINDOW, "norq") for _ in range(2)]
    other = machine.start(TITLED_WINDOW, "norq 2")

    def titles():
        shown = machine.prefix.probe("windows", "{out}")[1]["windows"]
        return sorted(w["title"] for w in shown if w["title"].startswith("norq"))
    wait_until(lambda: titles() == ["norq", "norq", "norq 2"], 30, "the three titled windows")
    on_d = machine.d_folder / "NORQOEM.DAT"  # Windows names ignore case: this is the copy, and it stays
    on_d.write_bytes(gbk("另一版"))
    machine.file(r"C:\norq_url.dat").write_bytes(b"http://old.example/\r\n")  # always rewritten
    app = machine.launch(oem=gbk("甲乙公司\r\n第二行\r\n"))
    assert wait_ready(app).text(EDITION) == "甲乙公司 专用安装程序"
    for product in products:
        product.wait_exit(10)
    assert other.running and titles() == ["norq 2"]
    assert machine.file(r"C:\norqoem.dat").read_bytes() == b"\xbc\xd7\xd2\xd2\xb9\xab\xcb\xbe\r\n"
    assert on_d.read_bytes() == gbk("另一版")
    assert machine.drive_d_entries() == {"NORQOEM.DAT", "norq_url.dat"}
    for marker in (r"C:\norq_url.dat", r"D:\norq_url.dat"):
        assert machine.file(marker).read_bytes() == SCRIPTED.encode() + b"\r\n"
    app.kill()

    # Without D:, and with a zero-byte marker (an empty first line).
    machine.prefix.reset()
    machine.prefix.unmap_d()
    assert wait_ready(machine.launch(oem=b"")).text(EDITION) == " 专用安装程序"
    assert machine.file(r"C:\norqoem.dat").read_bytes() == b"\r\n"
    assert machine.file(r"C:\norq_url.dat").read_bytes() == SCRIPTED.encode() + b"\r\n"


def test_a_hidden_marker_counts_as_missing_and_only_a_message_shows(machine, scripted):
    pointer = scripted(POINTED)
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
    assert machine.drive_c_entries() == drive_c and machine.drive_d_entries() == set()
    assert pointer.requests() == []
