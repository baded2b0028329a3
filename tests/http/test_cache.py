"""The HTTP cache end to end: quorhub under Wine with the cache on, an origin
that counts what it is asked, curl as the browser; restarts through WM_CLOSE."""
import glob
import os
import shutil
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import WAIT, listening, wait_for  # noqa: E402

ARGS = None
# Ports of their own, chosen once: the cached pages' names carry the origin's.
PROXY_PORT = e2e.free_port()
SITE = "127.0.0.4:%d" % e2e.free_port("127.0.0.4")
PROXY = "127.0.0.1:%d" % PROXY_PORT
ORIGIN = "http://" + SITE
LAST_MODIFIED = "Mon, 01 Jan 1990 00:00:00 GMT"
PASSWORD = "secret"
INI = """[Server Configuration]
Local User Name=Admin
Administrator Password={password}
[Server Communications]
TCP/IP Outbound Interfaces=DEFAULT
[Applications]
HTTP=YES
TELNET=NO
[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={proxy_port}
TCP/IP Connections=16
TCP/IP Outbound Port=80
[HTTP Cache]
Cache=YES
Memory Cache Size=4096
Memory Cache Threshold=64
Disk Cache Size=65536
Disk Cache Threshold=128
Disk Cache Directory={cache}
Cache Refresh Method={method}
{extra}
[Network Interface - Line 1]
Phonebook Entry=none
[Authorized Users]
*.*=Guest
"""


def encoded_password(text):
    """The profile's form of an administrator password: scrambled, then quoted."""
    key = b"Remember: every packet crossing this hub is counted and logged."
    out = ""
    for i, c in enumerate(text.encode()):
        b = c if c == key[i] else c ^ key[i]
        out += "\\x%02x" % b if b < 0x20 or b == 0x7F or b == 0x5C else chr(b)
    return '"%s"' % out


def curl(*args):
    r = subprocess.run(["curl", "-s", "-m", "60", "-D-", "-x", PROXY, *args], capture_output=True, timeout=90)
    head, _, body = r.stdout.partition(b"\r\n\r\n")
    return head.decode("latin-1").split("\r\n"), body


def raw_get(target):
    """A GET sent as typed (curl drops a bare '?'); the proxy's whole answer."""
    return e2e.exchange(("127.0.0.1", PROXY_PORT), b"GET " + target.encode() + b" HTTP/1.0\r\n\r\n", WAIT)


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


class Origin:
    """Answers by path; each request's (method, path, header lines) goes to self.log."""

    BODY = b"hello-world\n"
    LARGE = bytes(range(256)) * 400   # 100 KB: kept by the disk level only
    BIG = b"b" * (200 * 1024)         # above both levels' thresholds
    STREAM = b"0123456789" * 3000     # sent in two parts, the second when its gate opens
    PAGES = {
        "/a.html": [],
        "/cookie": ["Set-Cookie: id=1"],
        "/pragma": ["Pragma: no-cache"],
        "/expired": ["Expires: Thu, 01 Jan 1970 00:00:00 GMT"],
        "/badexpires": ["Expires: whenever"],
        "/private": ["Cache-Control: private"],
        "/nostore": ["Cache-Control: no-store"],
        "/auth": [],
        "/q": [],
        "/p;x": [],
    }

    def __init__(self):
        self.log = []
        self.gates = {}
        origin = self

        class Handler(socketserver.StreamRequestHandler):
            def handle(self):
                lines = []
                while True:
                    line = self.rfile.readline(65537)
                    if not line or line in (b"\r\n", b"\n"):
                        break
                    lines.append(line.decode("latin-1").rstrip("\r\n"))
                if not lines:
                    return
                method, path = lines[0].split(" ")[:2]
                origin.log.append((method, path, lines[1:]))
                length = 0
                for h in lines[1:]:
                    if h.lower().startswith("content-length:"):
                        length = int(h.split(":", 1)[1])
                if length:
                    self.rfile.read(length)
                if path.startswith("/stream/"):
                    origin.stream(self.wfile, path)
                else:
                    self.wfile.write(origin.answer(method, path, lines[1:]))

        self.server = Server(("127.0.0.4", int(SITE.split(":")[1])), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()

    def asked(self, path):
        return [e for e in self.log if e[1].split("?")[0] == path.split("?")[0]]

    def gate(self, path):
        return self.gates.setdefault(path, threading.Event())

    def stream(self, out, path):
        """The header and a first part at once, the rest when the test opens the path's gate."""
        half = len(self.STREAM) // 2
        out.write(b"HTTP/1.0 200 Fresh\r\nContent-Type: text/plain\r\nLast-Modified: " + LAST_MODIFIED.encode() +
                  b"\r\nContent-Length: %d\r\n\r\n" % len(self.STREAM) + self.STREAM[:half])
        out.flush()
        self.gate(path).wait(60)
        out.write(self.STREAM[half:])

    def answer(self, method, path, headers):
        if any(h.lower().startswith("if-modified-since:") for h in headers):
            return b"HTTP/1.0 304 Not Modified\r\n\r\n"
        if path == "/empty":
            return b"HTTP/1.0 204 No Content\r\nLast-Modified: " + LAST_MODIFIED.encode() + b"\r\n\r\n"
        if path == "/range":
            return (b"HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 0-4/12\r\nContent-Length: 5\r\n"
                    b"Last-Modified: " + LAST_MODIFIED.encode() + b"\r\n\r\nhello")
        if path in ("/big", "/large") or path.startswith("/large/"):
            body = self.BIG if path == "/big" else self.LARGE
            return (b"HTTP/1.0 200 Fresh\r\nContent-Type: application/octet-stream\r\nLast-Modified: " +
                    LAST_MODIFIED.encode() + b"\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        if path == "/short":
            return b"HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\nonly part of it"
        if path == "/moved":
            return ("HTTP/1.0 301 Moved Permanently\r\nLocation: %s/a.html\r\nContent-Length: 0\r\n\r\n" % ORIGIN).encode()
        extra = self.PAGES.get(path.split("?")[0], [])
        head = ["HTTP/1.0 200 Fresh", "Content-Type: text/html", "Last-Modified: " + LAST_MODIFIED] + extra
        head.append("Content-Length: %d" % len(self.BODY))
        return ("\r\n".join(head) + "\r\n\r\n").encode() + (self.BODY if method != "HEAD" else b"")


class CacheTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.origin = Origin()
        cls.cache = tempfile.mkdtemp(prefix="qvcache")
        cls.runs = 0
        cls.gateway = cls.start(1)

    @classmethod
    def start(cls, method, extra=""):
        cls.runs += 1
        ini = INI.format(proxy_port=PROXY_PORT, cache=quorhub_run.windows_path(cls.cache), method=method,
                         password=encoded_password(PASSWORD), extra=extra)
        g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, "http_cache%d" % cls.runs, ini, {})
        g.start()
        if not wait_for(lambda: listening("127.0.0.1", PROXY_PORT), 90):
            g.close()
            raise AssertionError("the proxy does not listen: %s" % g.log())
        # Ready once it reaches the origin (the line check may still be under way at first).
        if not wait_for(lambda: curl(ORIGIN + "/ready?start")[0][0] == "HTTP/1.0 200 Fresh", 60):
            g.close()
            raise AssertionError("the proxy does not reach the origin: %s" % g.log())
        return g

    @classmethod
    def restart(cls, method=1, extra="", crash=False):
        if crash:
            cls.gateway.crash()
        cls.gateway.close()
        assert wait_for(lambda: not listening("127.0.0.1", PROXY_PORT), 60)
        cls.gateway = cls.start(method, extra)

    @classmethod
    def tearDownClass(cls):
        cls.gateway.close()
        cls.origin.close()
        shutil.rmtree(cls.cache, ignore_errors=True)

    def test_1_second_request_is_a_hit_with_the_same_fields(self):
        first, body1 = curl(ORIGIN + "/a.html")
        second, body2 = curl(ORIGIN + "/a.html")
        self.assertEqual("HTTP/1.0 200 Fresh", first[0])
        self.assertEqual("HTTP/1.0 200 OK", second[0])
        self.assertEqual(first[1:], second[1:])
        self.assertEqual(Origin.BODY, body1)
        self.assertEqual(body1, body2)
        self.assertEqual(1, len(self.origin.asked("/a.html")))
        moved1, _ = curl(ORIGIN + "/moved")
        moved2, _ = curl(ORIGIN + "/moved")
        self.assertEqual("HTTP/1.0 301 Moved Permanently", moved1[0])
        self.assertEqual("HTTP/1.0 301 MOVED", moved2[0])
        head, body = curl("-I", ORIGIN + "/a.html")
        self.assertEqual("HTTP/1.0 200 OK", head[0])
        self.assertNotIn(Origin.BODY, body)
        self.assertEqual(1, len(self.origin.asked("/a.html")))

    def test_2_answers_that_must_not_be_kept(self):
        cases = [
            ("query", ["/q?q=1"]), ("parameters", ["/p;x"]),
            ("cookie", ["/cookie"]), ("pragma", ["/pragma"]), ("past expiry", ["/expired"]),
            ("unreadable expiry", ["/badexpires"]), ("private", ["/private"]), ("no-store", ["/nostore"]),
            ("authorization", ["-H", "Authorization: Basic dTpw", "/auth"]), ("short body", ["/short"]),
            ("no content", ["/empty"]), ("partial content", ["/range"]), ("above both thresholds", ["/big"]),
        ]
        for what, args in cases:
            *options, path = args
            before = len(self.origin.asked(path))
            for _ in range(2):
                curl(*options, ORIGIN + path)
            self.assertEqual(before + 2, len(self.origin.asked(path)), what)
        before = len(self.origin.asked("/q"))
        for _ in range(2):
            self.assertTrue(raw_get(ORIGIN + "/q?").startswith(b"HTTP/1.0 200 Fresh"))
        self.assertEqual(before + 2, len(self.origin.asked("/q")), "bare query")
        # What is too big to keep still reaches the browser whole.
        self.assertEqual(Origin.BIG, curl(ORIGIN + "/big")[1])
        # POST goes upstream every time.
        before = len(self.origin.asked("/a.html"))
        curl("-d", "x=1", ORIGIN + "/a.html")
        self.assertEqual(before + 1, len(self.origin.asked("/a.html")))

    def test_3_a_browsers_own_condition_gets_304_from_the_cache(self):
        curl(ORIGIN + "/a.html")
        before = len(self.origin.log)
        lines, body = curl("-H", "If-Modified-Since: Tue, 01 Jan 2030 00:00:00 GMT", ORIGIN + "/a.html")
        self.assertEqual("HTTP/1.0 304 NOT MODIFIED", lines[0])
        self.assertEqual(2, len([l for l in lines if l]), lines)
        self.assertTrue(lines[1].startswith("Date: ") and lines[1].endswith(" GMT"), lines)
        self.assertEqual(b"", body)
        self.assertEqual(before, len(self.origin.log))
        lines, body = curl("-H", "If-Modified-Since: Tue, 01 Jan 2030 00:00:00 GMT; length=99", ORIGIN + "/a.html")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertEqual(Origin.BODY, body)

    def test_4_after_a_clean_restart_objects_come_from_disk_once_revalidated(self):
        curl(ORIGIN + "/a.html")
        self.restart()
        self.assertEqual(b"\0\0\0\0", open(os.path.join(self.cache, "QUORVANE.DSK"), "rb").read())
        before = len(self.origin.asked("/a.html"))
        lines, body = curl(ORIGIN + "/a.html")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertEqual(Origin.BODY, body)
        asked = self.origin.asked("/a.html")[before:]
        self.assertEqual(1, len(asked), "the first request after the start revalidates")
        ims = [h for h in asked[0][2] if h.lower().startswith("if-modified-since:")]
        self.assertEqual(["If-Modified-Since: %s; length=%d" % (LAST_MODIFIED, len(Origin.BODY))], ims)
        lines, body = curl(ORIGIN + "/a.html")
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertEqual(before + 1, len(self.origin.asked("/a.html")), "then served from the cache")

    def test_5_method_0_revalidates_every_request(self):
        self.restart(0)
        before = len(self.origin.asked("/a.html"))
        for _ in range(2):
            lines, body = curl(ORIGIN + "/a.html")
            self.assertEqual("HTTP/1.0 200 OK", lines[0])
            self.assertEqual(Origin.BODY, body)
        self.assertEqual(before + 2, len(self.origin.asked("/a.html")))
        self.restart(1)

    def test_6_parallel_clients_share_one_fetch(self):
        for leaves in (False, True):
            path = "/stream/%d" % leaves
            url = ORIGIN + path
            answers = {}
            second = threading.Thread(target=lambda: answers.update(second=curl(url)))
            with socket.create_connection(("127.0.0.1", PROXY_PORT), timeout=WAIT) as first:
                try:
                    first.sendall(b"GET " + url.encode() + b" HTTP/1.0\r\n\r\n")
                    self.assertTrue(wait_for(lambda: self.origin.asked(path)), "the first request reaches the origin")
                    second.start()
                    # The one worker logs the second request as it takes it up, so
                    # once a later page is answered the second request waits.
                    self.assertTrue(wait_for(lambda: "GET %s HTTP/1.1" % url in self.gateway.log()))
                    page = CommandsTest.admin("Gateway-Cache")[1].decode("latin-1")
                    self.assertRegex(page, ">%s</A></td><td[^>]*>\\d+ \\(Receiving\\)" % path, leaves)
                    if leaves:
                        got = b""
                        while b"\r\n\r\n" not in got:
                            got += first.recv(65536)
                        first.close()  # midway: the first part only
                finally:
                    self.origin.gate(path).set()
                second.join(90)
                if not leaves:
                    whole = e2e.read_all(first)
                    self.assertTrue(whole.startswith(b"HTTP/1.0 200 Fresh\r\n"), whole[:40])
                    self.assertEqual(Origin.STREAM, whole.partition(b"\r\n\r\n")[2])
            lines, body = answers["second"]
            self.assertEqual("HTTP/1.0 200 OK", lines[0], leaves)
            self.assertEqual(Origin.STREAM, body, leaves)
            self.assertEqual(1, len(self.origin.asked(path)), leaves)
            # Kept for later requests too, also when its first browser left.
            lines, body = curl(url)
            self.assertEqual(("HTTP/1.0 200 OK", Origin.STREAM), (lines[0], body), leaves)
            self.assertEqual(1, len(self.origin.asked(path)), leaves)

    def test_7_after_a_crash_the_walk_serves_whole_objects(self):
        paths = ["/c1.html", "/c2.html", "/large"]
        for path in paths:
            curl(ORIGIN + path)
        self.restart()  # on disk now, and the index used and reset
        junk = os.path.join(self.cache, "0000ABCD")
        for ext in (".DEF", ".DAT"):
            with open(junk + ext, "wb") as f:
                f.write(b"junk")
        self.restart(crash=True)
        self.assertFalse(os.path.exists(junk + ".DEF") or os.path.exists(junk + ".DAT"), "junk goes with its pair")
        for path in paths:
            before = len(self.origin.asked(path))
            lines, body = curl(ORIGIN + path)
            self.assertEqual("HTTP/1.0 200 OK", lines[0], path)
            self.assertEqual(Origin.LARGE if path == "/large" else Origin.BODY, body, path)
            self.assertEqual(before + 1, len(self.origin.asked(path)), "revalidated once: " + path)

    def test_8_a_crash_while_writing_leaves_whole_objects_or_misses(self):
        data_files = lambda: glob.glob(os.path.join(self.cache, "*.DAT"))  # noqa: E731
        index = os.path.join(self.cache, "QUORVANE.IDX")
        # The moments: as the answer arrives, once its data file is there, during the index write.
        moments = [("answered", lambda n: True), ("data file", lambda n: len(data_files()) > n),
                   ("index", None)]
        for i, (moment, ready) in enumerate(moments):
            path = "/large/%d" % i
            count = len(data_files())
            lines, body = curl(ORIGIN + path)
            self.assertEqual(Origin.LARGE, body, moment)
            if ready:
                wait_for(lambda: ready(count), 30)
                self.restart(crash=True)
            else:
                if os.path.exists(index):
                    os.remove(index)
                self.gateway._wine("taskkill", "/im", "quorhub.exe").wait(60)
                wait_for(lambda: os.path.exists(index), 30)
                self.restart(crash=True)
            lines, body = curl(ORIGIN + path)
            self.assertIn(lines[0], ("HTTP/1.0 200 OK", "HTTP/1.0 200 Fresh"), moment)
            self.assertEqual(Origin.LARGE, body, "whole or fetched anew after a crash at: " + moment)

    def test_9_kept_expired_objects(self):
        self.restart(extra="Keep Expired Objects=YES\nExpired Object Age=-1")
        for path in ("/pragma", "/expired"):
            first, body1 = curl(ORIGIN + path)
            second, body2 = curl(ORIGIN + path)
            self.assertEqual(("HTTP/1.0 200 Fresh", "HTTP/1.0 200 OK"), (first[0], second[0]), path)
            self.assertEqual(body1, body2)
        self.restart()


class CommandsTest(unittest.TestCase):
    """The administration site's cache pages and removals."""

    @classmethod
    def setUpClass(cls):
        CacheTest.setUpClass()

    @classmethod
    def tearDownClass(cls):
        CacheTest.tearDownClass()

    @staticmethod
    def admin(command):
        return curl("http://Quorvane/Gateway-Administration?pswd=%s&%s" % (PASSWORD, command))

    def test_pages_list_and_remove(self):
        curl(ORIGIN + "/a.html")
        lines, body = self.admin("Gateway-Cache")
        page = body.decode("latin-1")
        self.assertEqual("HTTP/1.0 200 OK", lines[0], page)
        self.assertIn("Expires: Mon, 01 Jan 1990 00:00:00 GMT", lines)
        self.assertIn("Content-Length: %d" % len(body), lines)
        self.assertIn("Contents of the HTTP cache ...", page)
        self.assertIn("<P>Web Site %s ..." % SITE, page)
        self.assertIn('<A HREF="%s/a.html" TARGET="Quorvane Cached Image">/a.html</A>' % ORIGIN, page)
        self.assertIn("<P>... Total Memory Used for Cache = ", page)
        self.assertTrue(page.endswith("</BODY></HTML> "), page[-40:])
        self.assertNotIn("/a.html", self.admin("Gateway-Cache=*.gif")[1].decode("latin-1"))
        self.assertIn("/a.html", self.admin("Gateway-Cache=*-" + SITE)[1].decode("latin-1"))

        lines, _ = self.admin("Cache-Remove-Item=%s/a.html" % SITE)
        self.assertEqual("HTTP/1.0 302 FOUND", lines[0])
        self.assertIn("Location: http://127.0.0.1/Gateway-Administration?pswd=%s&Cache-Remove-List=*-%s"
                      % (PASSWORD, SITE), lines)
        self.assertEqual("HTTP/1.0 200 Fresh", curl(ORIGIN + "/a.html")[0][0], "fetched anew")
        lines, _ = self.admin("Cache-Remove-Site=" + SITE)
        self.assertEqual("HTTP/1.0 302 FOUND", lines[0])
        self.assertIn("Location: http://127.0.0.1/Gateway-Administration?pswd=%s&Cache-Remove-SiteList=*" % PASSWORD,
                      lines)
        self.assertEqual("HTTP/1.0 200 Fresh", curl(ORIGIN + "/a.html")[0][0])
        lines, body = self.admin("Cache-File")
        self.assertIn("Content-Type: text/plain", lines)
        self.assertTrue(body.startswith(b"Contents of the HTTP cache ..."), body[:80])


if __name__ == "__main__":
    e2e.main(sys.modules[__name__], arch_default="64")
