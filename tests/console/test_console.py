"""quorhub's console end to end: the real program (and its test-only twin with a
fake service) under Wine, driven from outside through its windows."""
import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import struct
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "quorhub"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import free_port  # noqa: E402

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

    def __init__(self, name, ini, fake, files=None):
        super().__init__(ARGS.build, ARGS.arch, ARGS.source, "console-" + name, ini, files)
        self.fake = fake

    def start(self, *args, env_extra=None, **popen):
        folder = "quorhub-fakehub" if self.fake else "server"
        super().start(*args, program=os.path.join(self.build, folder, "quorhub.exe"), env_extra=env_extra, **popen)

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

    def command(self, window, command_id):
        """A menu command, posted: the dialog it opens runs inside its handling."""
        self.drive("post", window, 0x111, command_id, 0)

    def dialog(self, caption, timeout=60):
        """The shown top-level window of quorhub with this caption, once there."""
        def shown():
            rows = [r for r in self.windows("-", caption) if r[2] == "1"]
            return rows[0][0] if rows else None
        return self.wait_for(shown, timeout)

    def gone(self, caption, timeout=60):
        """Once quorhub has no window of this caption. A closed dialog hides at
        once but its modal loop runs until the window is destroyed: a command
        posted before then runs inside that loop, and a dialog it opens ends at
        once with the loop's quit message."""
        return self.wait_for(lambda: not self.windows("-", caption), timeout)

    def item(self, window, control_id):
        """A control of the window by id, the shown one first (notebook pages are child dialogs)."""
        rows = [r for r in (line.split() for line in self.drive("item", window, control_id).splitlines()) if len(r) == 2]
        rows.sort(key=lambda r: r[1] != "1")
        return rows[0][0] if rows else None

    def text(self, window, control_id):
        return self.drive("gettext", self.item(window, control_id)).rstrip("\r\n")

    def ini(self):
        with open(os.path.join(self.dir, "QUORHUB.INI"), encoding="latin-1") as f:
            return f.read()


CURL_INI = """[Server Configuration]
Local User Name=Admin

[Server Communications]
TCP/IP Outbound Interfaces=DEFAULT

[Applications]
HTTP=YES
TELNET=NO
FTP=NO

[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=8
TCP/IP Outbound Port=80

[HTTP Cache]
Cache=NO

[Local Files]
*.htm=*.htm,text/html

[Network Interface - Line 1]
Phonebook Entry=none

[Authorized Users]
*.*=Guest
"""
TEXT_OUT = re.compile(r'Call gdi32\.TextOutA\(([0-9a-f]+),([0-9a-f]+),([0-9a-f]+),[0-9a-f]+ "(.*)",[0-9a-f]+\) ret=')


class DrawnTexts:
    """What quorhub draws, read from Wine's relay trace of TextOutA: quorhub's
    output goes to a file, its trace limited to that one call."""

    def __init__(self, hub):
        hub._wine("reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/d", "gdi32.TextOutA",
                  "/f").communicate(timeout=60)
        self.path = os.path.join(hub.dir, "drawn.txt")
        self.output = open(self.path, "wb")

    def start(self, hub):
        hub.start(env_extra={"WINEDEBUG": "+relay"}, stdout=self.output, stderr=subprocess.STDOUT)

    def all(self):
        """[(x, y, text)] in drawing order."""
        with open(self.path, encoding="latin-1") as f:
            return [(int(m.group(2), 16), int(m.group(3), 16), m.group(4)) for m in map(TEXT_OUT.search, f) if m]


class HeldOrigin:
    """An HTTP origin on 127.0.0.3 answering every request with PARTS parts of
    PART bytes, each part after the first only once the test releases it, so
    that a transfer stays in view for as long as the test needs."""

    PART = 16384
    PARTS = 4

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.3", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.release = threading.Semaphore(0)
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                s, _ = self.listener.accept()
            except OSError:
                return
            with s:
                request = b""
                while b"\r\n\r\n" not in request:
                    chunk = s.recv(4096)
                    if not chunk:
                        break
                    request += chunk
                try:
                    s.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % (self.PART * self.PARTS))
                    for part in range(self.PARTS):
                        if part and not self.release.acquire(timeout=120):
                            break
                        s.sendall(b"x" * self.PART)
                except OSError:
                    pass

    def close(self):
        self.listener.close()


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
    key = quorhub_run.APP_DEFAULTS
    args = ["add", key, "/v", "Version", "/d", version, "/f"] if version else ["delete", key, "/v", "Version", "/f"]
    hub._wine("reg", *args).communicate(timeout=60)


LINES_INI = """[Server Configuration]
Local User Name=Admin

[Server Communications]
TCP/IP Outbound Interfaces=DYNAMIC
Network Sampling Interval=1

[Applications]
HTTP=NO
TELNET=YES

[TELNET Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=4

[Network Interface - Line 1]
Phonebook Entry={entry}
Connect When Launched={launch}
Connect Upon Request=YES
"""

# ISP-A keeps no user or password, so the dialer asks for them.
PHONEBOOK = """[Phonebook]
Entries=ISP-A,ISP-B
[Entry ISP-A]
Phone=5551234
User=
Password=
Address=127.0.0.2
Outcome=connect
Delay=20
[Entry ISP-B]
Phone=5559876
User=user2
Password=pass2
Address=127.0.0.3
Outcome=connect
Delay=20
"""


class ConsoleTest(unittest.TestCase):
    def hub(self, name, fake=True, extra="", ini=None, files=None):
        h = Hub(name, ini if ini is not None else READY_INI.format(extra=extra), fake, files)
        self.addCleanup(h.close)
        return h

    def lines_hub(self, name, entry="none", launch="NO"):
        """The real program with the remote-access stand-in's phonebook."""
        h = self.hub(name, fake=False, ini=LINES_INI.format(port=free_port(), entry=entry, launch=launch))
        h.use_remote_access(PHONEBOOK)
        return h

    def ready(self, h):
        """Starts the run; its main window once the services serve."""
        h.start()
        self.assertTrue(h.wait_log("Quorvane is now ready."), h.log())
        return h.main_window()

    def opened(self, h, window, command, caption):
        """The dialog a menu command shows."""
        h.command(window, command)
        dialog = h.dialog(caption)
        self.assertIsNotNone(dialog, caption)
        return dialog

    def test_about_and_options_servers_in_the_running_console(self):
        h = self.hub("options")
        window = self.ready(h)
        about = self.opened(h, window, 0x579, "About Quorvane Steadfell")
        self.assertEqual("Version 01.11.0087", h.text(about, 2005))
        h.drive("post", about, 0x111, 1, 0)
        self.assertTrue(h.gone("About Quorvane Steadfell"))

        options = self.opened(h, window, 0x4CD, "Options")
        h.drive("settext", h.item(options, 2065), "smtp.example.lan")
        h.drive("settext", h.item(options, 2068), "ops@example.lan")
        h.drive("click", h.item(options, 1))
        self.assertTrue(h.gone("Options"))
        self.assertTrue(h.wait_for(lambda: re.search(r"SMTP Server\s*=\s*smtp\.example\.lan", h.ini()), 30), h.ini())
        self.assertRegex(h.ini(), r"\[Application Servers\]")
        self.assertRegex(h.ini(), r"Mail Address\s*=\s*ops@example\.lan")
        h.drive("post", window, 0x10, 0, 0)
        self.assertEqual(0, h.wait(60), h.log())

    def test_settings_lists_the_phonebook_shows_properties_and_writes_the_line(self):
        h = self.lines_hub("settings")
        window = self.ready(h)
        settings = self.opened(h, window, 0x4ED, "Settings")
        combo = h.item(settings, 2101)
        self.assertEqual(["none", "ISP-A", "ISP-B"], h.drive("entries", combo).split())
        h.drive("pick", combo, "ISP-B")
        h.drive("click", h.item(settings, 2103))
        edits = h.wait_for(lambda: h.journal("RasEditPhonebookEntryA"), 30)
        self.assertTrue(edits, h.journal())
        self.assertIn("ISP-B", "\t".join(edits[0]))
        h.drive("click", h.item(settings, 1))
        self.assertTrue(h.gone("Settings"))
        self.assertTrue(h.wait_for(lambda: re.search(r"Phonebook Entry\s*=\s*ISP-B", h.ini()), 30), h.ini())
        h.drive("post", window, 0x10, 0, 0)
        self.assertEqual(0, h.wait(60), h.log())

    def test_login_on_the_dialing_thread_hands_the_user_to_remote_access(self):
        h = self.lines_hub("login", entry="ISP-A", launch="YES")
        h.start()
        login = h.dialog("Login Information", 120)
        self.assertIsNotNone(login, h.log())
        self.assertEqual("ISP-A", h.text(login, 2150))
        h.drive("settext", h.item(login, 2151), "alice")
        h.drive("settext", h.item(login, 2152), "secret")
        h.drive("post", login, 0x111, 1, 0)
        self.assertTrue(h.gone("Login Information"))
        self.assertTrue(h.wait_for(lambda: h.journal("RasDialA"), 60), h.journal())
        saved = "\t".join(h.journal("RasSetEntryDialParamsA")[0])
        self.assertIn("alice", saved)
        self.assertTrue(h.wait_log("ISP-A : Connection completed.", 60), h.log())
        # Hung up from the menu, the line lets the program end without a question.
        window = h.main_window()
        h.command(window, 0x4EE)
        self.assertTrue(h.wait_for(lambda: h.journal("RasHangUpA"), 60), h.journal())
        self.assertTrue(h.wait_log("ISP-A : Connection closed.", 60), h.log())
        h.drive("post", window, 0x10, 0, 0)
        self.assertEqual(0, h.wait(60), h.log())
        self.assertEqual([], h.boxes())

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

            def take():
                # The display is shared with programs of tests running beside us: a window
                # of theirs or a late repaint can spoil one copy, so copy until it is whole.
                if h.drive("shot", window, quorhub_run.windows_path(shot)) is None or not os.path.exists(shot):
                    return None
                width, height, pixel = read_bmp(shot)
                dark = [x for x in range(2, 120) for y in range(2, 20) if sum(pixel(x, y)) < 200]
                seen = ((width, height), pixel(330, height - 6), pixel(32 * 9 + 17, 32 * 2 + 17), bool(dark))
                return seen == ((345, 143), (192, 192, 192), tile, True)

            if not h.wait_for(take, 30):
                width, height, pixel = read_bmp(shot)
                dark = [x for x in range(2, 120) for y in range(2, 20) if sum(pixel(x, y)) < 200]
                self.assertEqual((345, 143), (width, height))
                self.assertEqual((192, 192, 192), pixel(330, height - 6), "light-grey status line")
                self.assertEqual(tile, pixel(32 * 9 + 17, 32 * 2 + 17), "background tile of %s" % (version or "NT"))
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
            # The default configuration with its services (Telnet, HTTP, FTP) switched off.
            ini = f.read().replace("TELNET=YES", "TELNET=NO").replace("HTTP=YES", "HTTP=NO")
            h = self.hub("starterror", fake=False, ini=ini.replace("FTP=YES", "FTP=NO"))
        h.start()
        self.assertEqual(0, h.wait(120), h.log())
        self.assertIn(("Quorvane Steadfell Alert", "Unable to Start Quorvane: Unable to start server applications!"),
                      h.boxes())
        self.assertIn("Unable to Start Quorvane: Unable to start server applications!", h.log())


    def test_curl_through_the_proxy_shows_its_line_details_blank_and_reuse(self):
        port = e2e.free_port()
        h = self.hub("curl", fake=False, ini=CURL_INI.format(port=port), files=e2e.page_files())
        drawn = DrawnTexts(h)
        self.addCleanup(drawn.output.close)
        drawn.start(h)
        self.assertTrue(h.wait_log("Quorvane is now ready."), h.log())
        window = h.main_window()
        panes = [row.split()[0] for row in h.drive("children", window).splitlines() if row.endswith("PaneWindowCL|")]
        self.assertEqual(1, len(panes), "the status pane is the pane without text")
        origin = HeldOrigin()
        self.addCleanup(origin.close)
        total = HeldOrigin.PART * HeldOrigin.PARTS

        def curl():
            run = subprocess.Popen(["curl", "-s", "-m", "300", "--limit-rate", "1m", "-x", "http://127.0.0.1:%d" % port,
                                    "-o", "/dev/null", "-w", "%{size_download}",
                                    "http://127.0.0.3:%d/big" % origin.port], stdout=subprocess.PIPE)
            self.addCleanup(run.kill)
            return run

        def texts(since=0):
            return [t for _, _, t in drawn.all()[since:]]

        def counts(since=0):
            """[(y, n, m)] of the "n of m" results drawn after since texts."""
            found = []
            for x, y, text in drawn.all()[since:]:
                m = re.fullmatch(r"(\d+) of (\d+)", text)
                if m:
                    found.append((y, int(m.group(1)), int(m.group(2))))
            return found

        def largest():
            return max([n for _, n, _ in counts()] or [0])

        first = curl()
        self.assertTrue(h.wait_for(counts), texts())
        line = counts()[0][0]
        self.assertTrue([t for t in texts() if t.startswith("From: ")], texts())
        self.assertIn("GET", texts())

        # A left click on the held transfer's line opens its details.
        mark = len(drawn.all())
        h.drive("post", panes[0], 0x201, 1, ((line + 2) << 16) | 10)
        self.assertTrue(h.wait_for(lambda: h.windows("-", "Connection Details")), "the detail window opens")
        self.assertTrue(h.wait_for(lambda: "Result Count: " in texts(mark)), texts(mark))

        # Each part the origin sends shows as a larger count of the whole length;
        # the last one ends the transfer, whose line may be blanked before it is drawn.
        for part in range(HeldOrigin.PARTS - 1):
            before = largest()
            origin.release.release()
            if part < HeldOrigin.PARTS - 2:
                self.assertTrue(h.wait_for(lambda: largest() > before), counts())
        self.assertEqual({total}, {m for _, _, m in counts()}, "of the whole length")
        self.assertEqual(0, first.wait(120))
        self.assertEqual(str(total).encode(), first.stdout.read())
        self.assertTrue(h.wait_for(lambda: not h.windows("-", "Connection Details")), "closed with its transfer")

        def repaint():
            """The texts of one whole paint: it is whole once the next one draws the column titles again."""
            mark = len(drawn.all())
            for paints in (1, 2):
                h.drive("redraw", window)
                self.assertTrue(h.wait_for(lambda: texts(mark).count("Result") >= paints), texts(mark))
            return texts(mark)[:texts(mark).index("Result", texts(mark).index("Result") + 1)]

        # The ended transfer's lines are drawn blank once the gateway has seen
        # the client close, which may come after curl has its last byte.
        def blank():
            return not [t for t in repaint() if t.startswith(("From: ", "To: "))]
        self.assertTrue(h.wait_for(blank), repaint())

        # The next transfer takes the freed lines again.
        mark = len(drawn.all())
        second = curl()
        self.assertTrue(h.wait_for(lambda: counts(mark)), texts(mark))
        self.assertEqual(line, counts(mark)[0][0], "the freed line is reused")
        for _ in range(HeldOrigin.PARTS - 1):
            origin.release.release()
        self.assertEqual(0, second.wait(120))
        # curl ends once it has every byte; the origin's close may reach the gateway
        # later, and a close while that request still ends asks first.
        h.answer_yes()
        h.drive("post", window, 0x10, 0, 0)
        self.assertEqual(0, h.wait(60), h.log())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--artwork", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
