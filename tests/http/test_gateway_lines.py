"""The proxy and its status page with a dial-up line end to end: quorhub under
Wine with the remote-access stand-in (the NT and the Windows 95 variants),
the origin of http_peers reachable over the line's address, curl as the
browser."""
import os
import subprocess
import sys
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
sys.path.insert(0, os.path.join(HERE, "..", "server", "lines"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
import test_dialing  # noqa: E402
from e2e import free_port, page_files, wait_for  # noqa: E402
from http_peers import Origin  # noqa: E402

ARGS = None

INI = """[Server Configuration]
Local User Name=Admin
Maximum Users=100

[Server Communications]
TCP/IP Outbound Interfaces=DYNAMIC
Network Sampling Interval=1

[Applications]
HTTP=YES
TELNET=NO

[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=4

[HTTP Cache]
Cache=NO

[Local Files]
*.htm=*.htm,text/html

[Network Interface - Line 1]
Phonebook Entry=Office
Connect When Launched={launch}
Connect Upon Request=YES
Idle Disconnect=NO

[Authorized Users]
*.*=Guest
"""

APP_DEFAULTS = quorhub_run.APP_DEFAULTS


class VersionScope:
    """Wine's per-program Windows version of quorhub.exe in the build's prefix, undone on exit."""

    def __init__(self, hub, version):
        self.hub, self.version = hub, version

    def reg(self, *args):
        self.hub._wine("reg", *args).communicate(timeout=120)

    def __enter__(self):
        self.reg("add", APP_DEFAULTS, "/v", "Version", "/d", self.version, "/f")
        return self

    def __exit__(self, *exc):
        self.reg("delete", APP_DEFAULTS, "/v", "Version", "/f")


class HoldingOrigin(Origin):
    """Holds its first answer back until released; answers later requests at once."""

    def __init__(self, port):
        self.release = threading.Event()
        super().__init__(port=port)

    def answer(self, lines, body, w):
        if len(self.log) == 1:
            self.release.wait(120)
        super().answer(lines, body, w)

    def close(self):
        self.release.set()
        super().close()


class StatusLinesTest(unittest.TestCase):
    def hub(self, name, variant="nt", launch="YES", outcome="connect"):
        self.port = free_port()
        hub = test_dialing.DialingHub(name, INI.format(port=self.port, launch=launch),
                                      test_dialing.SCENARIO.format(outcome=outcome, delay=20))
        hub.standins = os.path.join(hub.build, "standins", variant)
        for file_name, text in page_files().items():
            with open(os.path.join(hub.dir, file_name), "w", encoding="latin-1", newline="") as f:
                f.write(text)
        self.addCleanup(self.stop, hub)
        return hub

    def start(self, hub, connected=True):
        hub.start()
        hub.press_splash()
        self.assertTrue(hub.wait_for(lambda: "is now ready" in hub.log() and
                                     (not connected or "Office : Connection completed." in hub.log())), hub.log())

    def stop(self, hub):
        """With a line up the exit would ask first: the line drops and is seen down before it."""
        if hub.program and hub.program.poll() is None:
            hub.ras_command("drop Office")
            hub.wait_for(lambda: hub.journal("RasHangUpA"))
            mark = len(hub.journal())
            hub.wait_for(lambda: len([r for r in hub.journal()[mark:] if r[3] == "RasEnumConnectionsA"]) >= 2)
        hub.close()

    def get(self, url):
        r = subprocess.run(["curl", "-s", "-m", "120", "-D-", "-x", "127.0.0.1:%d" % self.port, url],
                           capture_output=True, timeout=180)
        head, _, body = r.stdout.partition(b"\r\n\r\n")
        return head.decode("latin-1").split("\r\n"), body

    def status(self, port):
        r = subprocess.run(["curl", "-s", "-m", "60", "http://127.0.0.1:%d/Gateway-User?Conn-Status" % port],
                           capture_output=True, timeout=90)
        return r.stdout.decode("latin-1")

    def check_line(self, text):
        self.assertIn("Current Active Users : 1<BR>\r\n", text)
        self.assertIn("Maximum Active Users : 1 of 100 Allowed<BR>\r\n", text)
        self.assertRegex(text, r"<H2>Internet Dialup Lines</H2><P>Line 1 : Office : [^<\r\n]+<BR>\r\n")
        self.assertIn("<P>Line 1 Statistics:<BR><BLOCKQUOTE>", text)
        self.assertRegex(text, r"Total Connect Time = \d+:\d\d:\d\d<BR>Total Bytes Received = \d+<BR>")
        self.assertRegex(text, r"Last Sample Period = \d+ \(seconds\)<BR>Average Receive Speed = \d+ \(cps\)<BR>"
                               r"Average Send Speed = \d+ \(cps\)</BLOCKQUOTE>\r\n")

    def test_nt_line_without_rate(self):
        self.start(self.hub("status-nt", "nt"))
        text = self.status(self.port)
        self.check_line(text)
        self.assertNotIn("Connect Rate", text)

    def test_windows_95_line_shows_an_unknown_rate(self):
        hub = self.hub("status-95", "win95")
        with VersionScope(hub, "win95"):
            self.start(hub)
            text = self.status(self.port)
        self.check_line(text)
        self.assertIn("<BLOCKQUOTE>Connect Rate = unknown (bps)<BR>Total Connect Time = ", text)

    def test_a_request_dials_the_line_and_completes(self):
        origin = Origin(port=free_port("127.0.0.2"))
        self.addCleanup(origin.close)
        hub = self.hub("http-demand", launch="NO")
        self.start(hub, connected=False)
        self.assertEqual([], hub.journal("RasDialA"))
        lines, body = self.get("http://127.0.0.2:%d/a.html" % origin.server.server_address[1])
        self.assertEqual("HTTP/1.0 200 Fresh", lines[0])
        self.assertEqual(b"hello-world\n", body)
        self.assertEqual(1, len(hub.journal("RasDialA")))

    def drop_before_the_answer(self, name, *commands):
        """A browser's request held by the origin while the line drops (after the
        stand-in's commands): (status lines, body, origin requests, hub)."""
        origin = HoldingOrigin(port=free_port("127.0.0.2"))
        self.addCleanup(origin.close)
        hub = self.hub(name)
        self.start(hub)
        got = []
        browser = threading.Thread(target=lambda: got.append(
            self.get("http://127.0.0.2:%d/a.html" % origin.server.server_address[1])))
        browser.start()
        self.assertTrue(wait_for(lambda: origin.requests(), 60))
        for line in commands + ("drop Office",):
            hub.ras_command(line)
        browser.join(180)
        self.assertTrue(got, "no answer")
        self.assertEqual(2, len(hub.journal("RasDialA")), "dialed again")
        return got[0][0], got[0][1], origin.requests(), hub

    def test_a_line_dropped_before_the_answer_starts_the_request_over(self):
        lines, body, asked, hub = self.drop_before_the_answer("http-drop")
        self.assertEqual("HTTP/1.0 200 Fresh", lines[0], hub.log())
        self.assertEqual(b"hello-world\n", body)
        self.assertEqual(2, len(asked))

    def test_a_line_dropped_that_cannot_be_dialed_again_answers_no_connection(self):
        lines, body, asked, hub = self.drop_before_the_answer("http-drop-fail", "fail-next 678 2 Office")
        self.assertEqual("HTTP/1.0 420 No Connection", lines[0], hub.log())
        with open(os.path.join(e2e.PAGES, "noconnnn.htm"), "rb") as f:
            self.assertEqual(f.read(), body)
        self.assertEqual(1, len(asked))

    def test_a_refused_dial_answers_no_connection(self):
        hub = self.hub("http-refused", launch="NO", outcome="fail")
        self.start(hub, connected=False)
        lines, body = self.get("http://127.0.0.2:%d/a.html" % free_port("127.0.0.2"))
        self.assertEqual("HTTP/1.0 420 No Connection", lines[0], hub.log())
        with open(os.path.join(e2e.PAGES, "noconnnn.htm"), "rb") as f:
            self.assertEqual(f.read(), body)
        self.assertEqual(1, len(hub.journal("RasDialA")))


if __name__ == "__main__":
    e2e.main(sys.modules[__name__], test_dialing)
