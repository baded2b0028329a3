"""The line policy end to end: quorhub under Wine dials through the
remote-access stand-in (rasapi32.dll of build/standins/nt), steered by its
scenario file and checked through its journal and quorhub's system log."""
import http.server
import os
import socket
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "quorhub"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import free_port  # noqa: E402

ARGS = None

INI = """[Server Configuration]
Local User Name=Admin
{server}
[Server Communications]
TCP/IP Outbound Interfaces={interfaces}
Network Sampling Interval=1

[Applications]
HTTP={http}
TELNET=YES

[TELNET Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=4
TCP/IP Outbound Port={host_port}

[Network Interface - Line 1]
Phonebook Entry=Office
Connect When Launched={launch}
Connect Upon Request=YES
Idle Disconnect=YES
Idle Minutes={idle}
Repeat Dialing={repeat}
Repeat Dialing Count=3
"""

SCENARIO = """[Phonebook]
Entries=Office
[Entry Office]
Phone=5551234
User=user1
Password=pass1
Address=127.0.0.2
Outcome={outcome}
FailState=2
Error=678
Delay={delay}
[Errors]
678=There was no answer.
"""


class DialingHub(quorhub_run.Gateway):
    """quorhub started in the stand-in folder with the stand-in's files apart."""

    def __init__(self, name, ini, scenario, files=None):
        super().__init__(ARGS.build, ARGS.arch, ARGS.source, "lines-" + name, ini, files)
        self.use_remote_access(scenario)

    def start(self, *args):
        super().start(*args, watch_seconds=600)

    def wait_for(self, done, timeout=120):
        end = time.time() + timeout
        while time.time() < end:
            if done():
                return True
            if self.program.poll() is not None:
                break
            time.sleep(0.2)
        return bool(done())


HTTP = """
[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=4

[HTTP Cache]
Cache=NO

[Local Files]
*.htm=*.htm,text/html
"""


def ini(interfaces="DYNAMIC", port=23, idle=1, repeat="NO", launch="YES", host_port=23, server="", http_port=None,
        sections=""):
    """The configuration: Telnet on port, line 1 "Office"; HTTP on http_port when given."""
    text = INI.format(interfaces=interfaces, port=port, idle=idle, repeat=repeat, launch=launch,
                      host_port=host_port, server=server, http="YES" if http_port else "NO")
    return text + (HTTP.format(port=http_port) if http_port else "") + sections


def origin(test, host, times=None):
    """An HTTP origin on host answering "ok" to every GET: its URL and the paths it
    saw; times, when given, gets (time, path) per GET."""
    seen = []

    class Origin(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            seen.append(self.path)
            if times is not None:
                times.append((time.time(), self.path))
            self.send_response(200)
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"ok")

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer((host, 0), Origin)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    test.addCleanup(server.server_close)
    test.addCleanup(server.shutdown)
    return "http://%s:%d" % (host, server.server_address[1]), seen


class HubTest(unittest.TestCase):
    def hub(self, name, outcome="connect", delay=20, files=None, **options):
        self.port = free_port()
        g = DialingHub(name, ini(port=self.port, **options), SCENARIO.format(outcome=outcome, delay=delay), files)
        self.addCleanup(g.close)
        g.start()
        return g


class DialingTest(HubTest):
    def test_telnet_open_dials_the_line_on_demand(self):
        # The host is reachable only over the line's address.
        host = socket.socket()
        host.bind(("127.0.0.2", 0))
        host.listen(1)
        self.addCleanup(host.close)
        g = self.hub("demand", idle=0, launch="NO", host_port=host.getsockname()[1])
        self.assertTrue(g.wait_for(lambda: "is now ready" in g.log()), g.log())
        self.assertEqual([], g.journal("RasDialA"))
        client = socket.create_connection(("127.0.0.1", self.port), timeout=60)
        self.addCleanup(client.close)
        banner = b""
        while not banner.endswith(b"Gateway> "):
            chunk = client.recv(1024)
            self.assertTrue(chunk, banner)
            banner += chunk
        client.sendall(b"open 127.0.0.2\r\n")
        host.settimeout(60)
        peer, _ = host.accept()
        self.addCleanup(peer.close)
        self.assertEqual(1, len(g.journal("RasDialA")))
        self.assertIn("Office : Connection completed.", g.log())
        client.sendall(b"hello\r\n")
        peer.settimeout(60)
        got = b""
        while not got.endswith(b"hello\r\n"):
            chunk = peer.recv(1024)
            self.assertTrue(chunk, got)
            got += chunk
        # The line drops; once polls have seen it down (the interface list
        # is rebuilt on every third poll), the stop asks nothing.
        g.ras_command("drop Office")
        self.assertTrue(g.wait_for(lambda: g.journal("RasHangUpA")), g.log())
        hung_up = len(g.journal())
        self.assertTrue(g.wait_for(
            lambda: len([r for r in g.journal()[hung_up:] if r[3] == "RasEnumConnectionsA"]) >= 2), g.log())
        # The session ends first: the gateway closes the host's side after the client's.
        client.close()
        while peer.recv(1024):
            pass
        self.assertEqual(0, g.stop(120), g.log())
        self.assertEqual([], g.boxes())

    def test_client_closing_while_its_open_waits_for_the_dial_mixes_into_no_later_session(self):
        host = socket.socket()
        host.bind(("127.0.0.2", 0))
        host.listen(4)
        self.addCleanup(host.close)
        # A slow dial: the client is gone well before the line is up.
        g = self.hub("closing", idle=0, launch="NO", delay=500, host_port=host.getsockname()[1])
        self.assertTrue(g.wait_for(lambda: "is now ready" in g.log()), g.log())
        client = socket.create_connection(("127.0.0.1", self.port), timeout=e2e.WAIT)
        read_until(client, b"Gateway> ")
        client.sendall(b"open 127.0.0.2\r\nsecret\r\n")
        self.assertTrue(g.wait_for(lambda: g.journal("RasDialA")), g.log())
        client.close()
        self.assertTrue(g.wait_for(lambda: "Office : Connection completed." in g.log()), g.log())
        # A client after the dial reaches the host on a connection of its own. Receiving is
        # held while an open waits, so the gateway learns of the first client's close only
        # once the line is up: its connection carries nothing or the line it typed, unmixed.
        later = socket.create_connection(("127.0.0.1", self.port), timeout=e2e.WAIT)
        self.addCleanup(later.close)
        read_until(later, b"Gateway> ")
        later.sendall(b"open 127.0.0.2\r\nlater\r\n")
        host.settimeout(e2e.WAIT)
        while True:
            peer, _ = host.accept()
            peer.settimeout(e2e.WAIT)
            with peer:
                got = read_until(peer, b"\r\n")
                if got == b"later\r\n":
                    break
                self.assertIn(got, (b"", b"secret\r\n"))
        later.close()
        g.answer_yes()
        self.assertEqual(0, g.stop(120), g.log())

    def test_dials_at_launch_and_hangs_up_when_idle(self):
        g = self.hub("idle")
        self.assertTrue(g.wait_for(lambda: g.journal("RasDialA")), g.log())
        self.assertTrue(g.wait_for(lambda: "Office : Connection completed." in g.log()), g.log())
        dialled = time.time()
        self.assertTrue(g.wait_for(lambda: g.journal("RasHangUpA"), timeout=180), g.log())
        waited = time.time() - dialled
        self.assertGreater(waited, 50, "hung up after one idle minute, not before")
        self.assertTrue(g.wait_for(lambda: "Office : Connection closed." in g.log()), g.log())
        log = g.log()
        self.assertIn("Office : Dialing ...", log)
        self.assertLess(log.index("Office : Dialing ..."), log.index("Office : Connection completed."))
        self.assertEqual(1, len(g.journal("RasDialA")))

    def test_failing_dial_is_tried_repeat_dialing_count_times(self):
        g = self.hub("retries", idle=0, repeat="YES", outcome="fail")
        self.assertTrue(g.wait_for(lambda: len(g.journal("RasDialA")) >= 3), g.log())
        # The third failure ends the retries: a fourth dial would follow it at
        # once, before the close that comes after it.
        self.assertTrue(g.wait_for(lambda: g.log().count("There was no answer.") >= 3, timeout=60), g.log())
        self.assertEqual(0, g.stop(120), g.log())
        self.assertEqual(3, len(g.journal("RasDialA")), g.log())

    def test_default_interfaces_know_no_line(self):
        g = self.hub("default", interfaces="DEFAULT")
        self.assertTrue(g.wait_for(
            lambda: "Connection 'Office' does not exist or cannot be used." in g.log()), g.log())
        self.assertEqual([], g.journal("RasDialA"))


class ScheduleTest(unittest.TestCase):
    """Commands of the initial request file fetching from a local origin
    through quorhub; scheduled ones survive a restart in QUORVANE.REQ, once."""

    def hits(self, path):
        return [t for t, p in self.times if p == path]

    def hub(self, name, commands):
        """A gateway whose line comes up at launch and then runs the commands (with
        {url} the origin's URL); the origin records when it is asked for what."""
        self.times = []
        url, self.seen = origin(self, "127.0.0.2", self.times)
        g = DialingHub(name, ini(port=free_port(), idle=0, http_port=free_port()),
                       SCENARIO.format(outcome="connect", delay=20))
        self.addCleanup(g.close)
        path = os.path.join(g.dir, "init.txt")
        with open(path, "w") as f:
            f.write("".join(line.format(url=url) + "\n" for line in commands))
        with open(os.path.join(g.dir, "QUORHUB.INI"), "a") as f:
            f.write("[Server Startup]\nInitial Request File=%s\n" % quorhub_run.windows_path(path))
        self.request_file = os.path.join(g.dir, "QUORVANE.REQ")
        return g

    def records(self):
        if not os.path.exists(self.request_file):
            return None
        with open(self.request_file, "rb") as f:
            data = f.read()
        return int.from_bytes(data[3:7], "little") if data[:3] == b"\0\0\x04" else None

    def restart(self, g, run):
        if run > 1:
            os.remove(g.boxes_file + ".stop")
        g.start()

    def stop(self, g, run):
        """Drops the line first, so that the stop asks nothing, then closes."""
        g.ras_command("drop Office")
        self.assertTrue(g.wait_for(lambda: len(g.journal("RasHangUpA")) >= run), g.log())
        mark = len(g.journal())
        self.assertTrue(g.wait_for(
            lambda: len([r for r in g.journal()[mark:] if r[3] == "RasEnumConnectionsA"]) >= 2), g.log())
        self.assertEqual(0, g.stop(120), g.log())
        open(g.boxes_file + ".stop", "w").close()
        g.watcher.wait(30)

    def test_initial_request_file_schedule_survives_a_restart_once(self):
        g = self.hub("schedule", ["AT 06:00 EVERYDAY; GET {url}/daily HTTP/1.0", "GET {url}/ping HTTP/1.0"])
        for run in (1, 2):
            self.restart(g, run)
            # The line comes up, the initial request file runs: its unscheduled
            # fetch reaches the origin after the scheduled line was read.
            self.assertTrue(g.wait_for(lambda: self.seen.count("/ping") >= run), g.log())
            self.assertEqual(1, self.records(), "run %d" % run)
            self.stop(g, run)
            self.assertEqual(1, self.records(), "saved at the stop of run %d" % run)
        self.assertNotIn("/daily", self.seen)

    def test_immediate_and_counted_fetches_across_a_restart(self):
        g = self.hub("counted", ["AT IMMEDIATE; GET {url}/now HTTP/1.0",
                                 "AT IMMEDIATE REPEAT 1 COUNT 2; GET {url}/twice HTTP/1.0"])
        self.restart(g, 1)
        self.assertTrue(g.wait_for(lambda: self.hits("/now") and self.hits("/twice")), g.log())
        self.stop(g, 1)
        self.assertEqual(1, self.records(), "the counted request is kept with one run left")
        # The counted fetch runs its one run left on the grid of its first
        # start; the immediate one runs at every start.
        self.restart(g, 2)
        self.assertTrue(g.wait_for(lambda: len(self.hits("/twice")) >= 2, timeout=150), g.log())
        self.assertEqual(2, len(self.hits("/now")))
        first, second = self.hits("/twice")[:2]
        self.assertGreater(second - first, 55, "a minute apart")
        self.stop(g, 2)
        self.assertEqual(2, len(self.hits("/twice")))
        self.assertEqual(0, self.records(), "used up: gone from the file")


WM_CLOSE = 0x10
LINE_QUESTION = ("Continue with System Shutdown?", "Your Internet connection will be disconnected if you continue. "
                 "Do you want to continue with shutdown?")


class ExitTest(HubTest):
    """Closing the gateway while the line it dialed is up."""

    def test_line_question_no_keeps_running_yes_hangs_up(self):
        g = self.hub("exit-question", idle=0)
        self.assertTrue(g.wait_for(lambda: "Office : Connection completed." in g.log()), g.log())
        window = g.main_window()
        g.drive("post", window, WM_CLOSE, 0, 0)
        self.assertEqual([LINE_QUESTION], g.wait_for_boxes(1), g.log())
        # No keeps the gateway running with its line: a second close asks again.
        g.drive("post", window, WM_CLOSE, 0, 0)
        self.assertEqual([LINE_QUESTION] * 2, g.wait_for_boxes(2), g.log())
        self.assertIsNone(g.program.poll())
        self.assertEqual([], g.journal("RasHangUpA"))
        g.answer_yes()
        g.drive("post", window, WM_CLOSE, 0, 0)
        self.assertEqual(0, g.wait(120), g.log())
        self.assertEqual([LINE_QUESTION] * 3, g.boxes())
        self.assertEqual(1, len(g.journal("RasHangUpA")), g.log())


def read_until(s, marker):
    got = b""
    while marker not in got:
        chunk = s.recv(4096)
        if not chunk:
            break
        got += chunk
    return got


class ExternalUsersTest(HubTest):
    """A client reaching the gateway at the line's own address (the stand-in's
    127.0.0.2) came in over the line: an external user, served only with
    "Allow External Users"; from inside (127.0.0.1) it is served either way."""

    WELCOME = b"Welcome to the Quorvane TELNET Gateway.\r\n"
    REFUSED = b"You are not authorized to access the Quorvane TELNET Gateway!\r\n\r\nGateway> "

    def telnet(self, address):
        s = socket.create_connection((address, self.port), timeout=e2e.WAIT)
        self.addCleanup(s.close)
        return s

    def get(self, address, url):
        """The status line and body of a GET of url through the proxy at address."""
        reply = e2e.exchange((address, self.http_port), b"GET %s HTTP/1.0\r\n\r\n" % url.encode())
        head, _, body = reply.partition(b"\r\n\r\n")
        return head.split(b"\r\n")[0], body

    def serve(self, allow):
        """The gateway with its line up, external users allowed or not; the
        inside Telnet client and HTTP request are served either way."""
        self.host = socket.socket()
        self.host.bind(("127.0.0.1", 0))
        self.host.listen(4)
        self.addCleanup(self.host.close)
        self.url, self.seen = origin(self, "127.0.0.3")
        self.http_port = free_port()
        g = self.hub("external-" + allow.lower(), idle=0, host_port=self.host.getsockname()[1],
                     http_port=self.http_port, server="Allow External Users=%s\n" % allow,
                     sections="\n[Authorized Users]\n127.0.0.*=PC\n", files=e2e.page_files())
        self.assertTrue(g.wait_for(lambda: "Office : Connection completed." in g.log()), g.log())
        with self.telnet("127.0.0.1") as inside:
            self.assertTrue(read_until(inside, b"Gateway> ").startswith(self.WELCOME))
        self.assertEqual((b"HTTP/1.0 200 OK", b"ok"), self.get("127.0.0.1", self.url + "/inside"))
        return g

    def stop(self, g):
        g.answer_yes()  # the line the gateway dialed goes down with it
        self.assertEqual(0, g.stop(120), g.log())
        self.assertIn(LINE_QUESTION, g.boxes())

    def test_external_users_are_refused_by_default(self):
        g = self.serve("NO")
        self.assertEqual(self.REFUSED, e2e.read_all(self.telnet("127.0.0.2")))
        self.assertEqual(b"HTTP/1.0 409 User Not Authorized", self.get("127.0.0.2", self.url + "/outside")[0])
        self.assertNotIn("/outside", self.seen)
        self.stop(g)

    def test_external_users_are_served_when_allowed(self):
        g = self.serve("YES")
        outside = self.telnet("127.0.0.2")
        self.assertTrue(read_until(outside, b"Gateway> ").startswith(self.WELCOME))
        outside.sendall(b"open 127.0.0.1\r\n")
        self.host.settimeout(e2e.WAIT)
        peer, _ = self.host.accept()
        self.addCleanup(peer.close)
        outside.sendall(b"relayed\r\n")
        peer.settimeout(e2e.WAIT)
        self.assertEqual(b"relayed\r\n", read_until(peer, b"\r\n"))
        outside.close()
        self.assertEqual(b"", e2e.read_all(peer))
        self.assertEqual((b"HTTP/1.0 200 OK", b"ok"), self.get("127.0.0.2", self.url + "/outside"))
        self.stop(g)

if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
