"""quorhub's console end to end: the real program (and its test-only twin with a
fake service) under Wine, driven from outside through its windows."""
import argparse
import os
import shutil
import subprocess
import sys
import struct
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "quorhub"))
import quorhub_run  # noqa: E402

ARGS = None
READY_INI = """[Server Configuration]
Local User Name=Admin
{extra}
[Applications]
HTTP=YES

[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port=18080
TCP/IP Connections=4

[HTTP Cache]
Cache=NO

[Network Interface - Line 1]
Phonebook Entry=none
"""


class Hub(quorhub_run.Gateway):
    """A gateway run of the real program or of the test-only one (fake=True)."""

    def __init__(self, name, ini, fake):
        super().__init__(ARGS.build, ARGS.arch, ARGS.source, "console-" + name, ini)
        self.fake = fake

    def start(self, *args):
        watcher = os.path.join(self.build, "aids", "qvaid_boxwatch.exe")
        self.watcher = self._wine(watcher, quorhub_run.windows_path(self.boxes_file), "300", "quorhub.exe")
        env = dict(os.environ, QUORVANE=quorhub_run.windows_path(self.dir))
        folder = "quorhub-fakehub" if self.fake else "server"
        self.program = self._wine(os.path.join(self.build, folder, "quorhub.exe"), *args, env=env, cwd=self.dir)

    def drive(self, *args):
        run = self._wine(os.path.join(self.build, "aids", "qvaid_driver.exe"), *[str(a) for a in args])
        out, _ = run.communicate(timeout=60)
        return out.decode("latin-1")

    def windows(self, cls="AppFrameCL", title="Quorvane Steadfell"):
        rows = [line.split() for line in self.drive("find", cls, title, "quorhub.exe").splitlines()]
        return [r for r in rows if len(r) == 4]

    def wait_for(self, done, timeout=60):
        end = time.time() + timeout
        while time.time() < end:
            value = done()
            if value:
                return value
            time.sleep(0.2)
        return done()

    def wait_log(self, text, timeout=60):
        return self.wait_for(lambda: text in self.log(), timeout)

    def main_window(self):
        rows = self.wait_for(self.windows)
        return rows[0][0] if rows else None


def read_bmp(path):
    """(width, height, pixel(x, y) -> (r, g, b)) of a bottom-up 24-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + x * 3
        b, g, r = data[at:at + 3]
        return (r, g, b)
    return width, height, pixel


def set_version(hub, version):
    """Wine's reported Windows version for quorhub.exe; None removes the setting."""
    key = "HKCU\\Software\\Wine\\AppDefaults\\quorhub.exe"
    args = ["reg", "add", key, "/v", "Version", "/d", version, "/f"] if version else ["reg", "delete", key, "/f"]
    hub._wine(*args).communicate(timeout=60)


class ConsoleTest(unittest.TestCase):
    def hub(self, name, fake=True, extra="", ini=None):
        h = Hub(name, ini if ini is not None else READY_INI.format(extra=extra), fake)
        self.addCleanup(h.close)
        return h

    def test_ready_window_and_close_request(self):
        h = self.hub("ready")
        h.start()
        self.assertTrue(h.wait_log("Quorvane is now ready."), h.log())
        window = h.main_window()
        self.assertIsNotNone(window)
        rects = h.drive("rects", window).split("\n")
        x, y, w, ht = (int(v) for v in rects[0].split())
        self.assertEqual("345 143", rects[1].strip(), "client area")
        self.assertEqual((1024 // 2 - w // 2, 768 // 2 - ht // 2), (x, y), "centred")
        panes = h.drive("children", window)
        self.assertIn("|Quorvane is now ready.", panes, "the status line holds the ready text")
        h.drive("post", window, 0x10, 0x0, 0)
        self.assertEqual(0, h.wait(60), h.log())
        self.assertEqual([], h.boxes())
        self.assertIn("Quorvane Steadfell Version 1.11.087 System log stopped", h.log())

    def test_screenshots_show_headings_tiles_and_status_line(self):
        # Wine reports NT by default (tile 2501); with win95 the tile is 2500.
        for version, tile in ((None, (200, 200, 168)), ("win95", (176, 196, 222))):
            h = self.hub("shot-%s" % (version or "nt"))
            if version:
                set_version(h, version)
                self.addCleanup(set_version, h, None)
            h.start()
            self.assertTrue(h.wait_log("Quorvane is now ready."), h.log())
            window = h.main_window()
            shot = os.path.join(h.dir, "shot.bmp")
            self.assertTrue(h.wait_for(lambda: h.drive("shot", window, quorhub_run.windows_path(shot)) is not None
                                       and os.path.exists(shot)))
            width, height, pixel = read_bmp(shot)
            self.assertEqual((345, 143), (width, height))
            self.assertEqual((192, 192, 192), pixel(330, height - 6), "light-grey status line")
            self.assertEqual(tile, pixel(32 * 9 + 17, 32 * 2 + 17), "background tile of %s" % (version or "NT"))
            dark = [x for x in range(2, 120) for y in range(2, 20) if sum(pixel(x, y)) < 200]
            self.assertTrue(dark, "column headings drawn in the top row")
            h.drive("post", window, 0x10, 0, 0)
            self.assertEqual(0, h.wait(60), h.log())

    def test_minimised_start_with_tray_hides_the_window(self):
        h = self.hub("tray", extra="Use Icon Tray=YES")
        h.start()
        self.assertTrue(h.wait_log("Quorvane is now ready."), h.log())
        window = h.main_window()
        # A minimise by the system menu goes to the tray (or, without a shell tray, minimises).
        h.drive("send", window, 0x112, 0xF020, 0)
        row = [r for r in h.windows() if r[0] == window][0]
        self.assertTrue(row[2] == "0" or row[3] == "1", row)
        h.drive("send", window, 0x465, 10001, 0x201)
        self.assertTrue(h.wait_for(lambda: [r for r in h.windows() if r[0] == window and r[2] == "1"]),
                        "a click on the icon shows the window")
        h.drive("post", window, 0x10, 0, 0)
        self.assertEqual(0, h.wait(60), h.log())

    def test_second_instance_shows_the_first_and_quits(self):
        first = self.hub("first", extra="Use Icon Tray=YES")
        first.start()
        self.assertTrue(first.wait_log("Quorvane is now ready."), first.log())
        second = self.hub("second", extra="Use Icon Tray=YES")
        second.start()
        self.assertEqual(0, second.wait(60), second.log())
        self.assertNotIn("is now ready", second.log())
        self.assertEqual(1, len(first.windows()), "one AppFrameCL window is left")
        window = first.main_window()
        first.drive("post", window, 0x10, 0, 0)
        self.assertEqual(0, first.wait(60), first.log())

    def test_real_program_ends_at_the_start_error_box(self):
        with open(os.path.join(ARGS.source, "server", "QUORHUB.INI")) as f:
            # The default configuration with its one service (Telnet) switched off.
            h = self.hub("starterror", fake=False, ini=f.read().replace("TELNET=YES", "TELNET=NO"))
        h.start()
        self.assertEqual(0, h.wait(120), h.log())
        self.assertIn(("Quorvane Steadfell Alert", "Unable to Start Quorvane: Unable to start server applications!"),
                      h.boxes())
        self.assertIn("Unable to Start Quorvane: Unable to start server applications!", h.log())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--artwork", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
