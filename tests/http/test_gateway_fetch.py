"""What the gateway fetches by itself, end to end: quorhub under Wine with the
cache on, link prefetch from an origin's pages, and ftp:// URLs through the
proxy fetched by its own FTP client from pyftpdlib; curl as the browser."""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
sys.path.insert(0, os.path.join(HERE, "..", "line"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import free_port, listening, page_files, wait_for  # noqa: E402
from ftp_peers import RealServer  # noqa: E402
from http_peers import Origin  # noqa: E402

ARGS = None
PROXY_PORT = free_port("127.0.0.1")
PROXY = "127.0.0.1:%d" % PROXY_PORT
INI = """[Server Configuration]
Local User Name=Admin
Log Application Requests=YES
[Server Communications]
TCP/IP Outbound Interfaces=DEFAULT
[Applications]
HTTP=YES
TELNET=NO
FTP=YES
NNTP=NO
POP=NO
SMTP=NO
[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={proxy}
TCP/IP Connections=16
TCP/IP Outbound Port=80
Retrieve HTML Links=YES
HTML Link Level=1
[FTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={ftp}
TCP/IP Connections=8
TCP/IP Outbound Port=21
[HTTP Cache]
Cache=YES
Memory Cache Size=16384
Memory Cache Threshold=8192
Disk Cache Size=65536
Disk Cache Threshold=16384
Disk Cache Directory={cache}
Cache Refresh Method=1
[Local Files]
*.htm=*.htm,text/html
*.gif=*.gif,image/gif
[Network Interface - Line 1]
Phonebook Entry=none
[Authorized Users]
*.*=Guest
"""

PAGE = (b'<HTML><BODY><IMG SRC="i.gif"><A HREF="p2.html">next</A>'
        b'<A HREF="http://elsewhere.test/">away</A><A HREF="mailto:x">mail</A></BODY></HTML>')
PAGE2 = b'<HTML><BODY><IMG SRC="p2img.gif"><A HREF="p3.html">deeper</A></BODY></HTML>'
A_ZIP = bytes(range(256)) * 8  # 2048 bytes
BIG = hashlib.sha256(b"quorvane").digest() * (5 * 1000 * 1000 // 32)
HUGE = 48 << 20


class PageOrigin(Origin):
    """The shared origin with a small site whose pages link to each other."""

    def answer(self, lines, body, w):
        path = lines[0].split(" ")[1] if " " in lines[0] else "/"
        pages = {"/dir/page.html": PAGE, "/dir/p2.html": PAGE2, "/dir/p3.html": b"<HTML>three</HTML>"}
        if path in pages:
            w.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n" % len(pages[path]))
            w.write(pages[path])
        elif path.endswith(".gif"):
            w.write(b"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Length: 6\r\n\r\nGIF89a")
        else:
            super().answer(lines, body, w)


def curl(*args):
    # A gateway that stops answering ends each call after 30 s without a byte,
    # so that the cases after it still report within the test's time.
    r = subprocess.run(["curl", "-s", "-m", "120", "-y", "30", "-Y", "1", "-D-", "-x", PROXY, *args],
                       capture_output=True, timeout=180)
    head, _, body = r.stdout.partition(b"\r\n\r\n")
    return head.decode("latin-1").split("\r\n"), body


class GatewayFetchTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="qvfetch")
        os.makedirs(os.path.join(cls.work, "ftp", "pub"))
        # Apart from /pub, whose page's links the prefetch fetches too.
        os.makedirs(os.path.join(cls.work, "ftp", "files"))
        os.makedirs(os.path.join(cls.work, "cache"))
        # /files/a.zip is linked from no page, so nothing fetches it ahead.
        for folder in ("pub", "files"):
            with open(os.path.join(cls.work, "ftp", folder, "a.zip"), "wb") as f:
                f.write(A_ZIP)
        with open(os.path.join(cls.work, "ftp", "files", "big.bin"), "wb") as f:
            f.write(BIG)
        # Beyond both caches (16 MB at most), in a folder of its own whose page links it.
        os.makedirs(os.path.join(cls.work, "ftp", "huge"))
        with open(os.path.join(cls.work, "ftp", "huge", "huge.bin"), "wb") as f:
            f.truncate(HUGE)
        cls.addClassCleanup(shutil.rmtree, cls.work, ignore_errors=True)
        cls.ftp = RealServer(os.path.join(cls.work, "ftp"), host="127.0.0.2")
        cls.addClassCleanup(cls.ftp.stop)
        cls.origin = PageOrigin(port=free_port("127.0.0.2"))
        cls.addClassCleanup(cls.origin.close)
        cls.origin_port = cls.origin.server.server_address[1]
        ini = INI.format(proxy=PROXY_PORT, ftp=free_port("127.0.0.1"),
                         cache=quorhub_run.windows_path(os.path.join(cls.work, "cache")))
        cls.gateway = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, "http_fetch", ini, page_files())
        # Closed (force-ended when it will not close) whatever a case or this set-up left it doing.
        cls.addClassCleanup(cls.gateway.close)
        cls.gateway.start()
        if not wait_for(lambda: listening("127.0.0.1", PROXY_PORT) and "is now ready" in cls.gateway.log(), 90):
            raise AssertionError("the proxy is not ready: %s" % cls.gateway.log())

    def setUp(self):
        code = self.gateway.program.poll()
        if code is not None:
            self.fail("quorhub ended (exit code %s) during an earlier case: %s" % (code, self.gateway.log()))

    def asked(self, path):
        return sum(1 for line in self.origin.requests() if line.split(" ")[1] == path)

    def url(self, path):
        return "http://127.0.0.2:%d%s" % (self.origin_port, path)

    def test_page_links_are_fetched_ahead_and_then_hits(self):
        lines, body = curl(self.url("/dir/page.html"))
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertEqual(PAGE, body)
        # Level 1: the page's image and its same-site link; the link's page at
        # level 0 gives its images only.
        for path in ("/dir/i.gif", "/dir/p2.html", "/dir/p2img.gif"):
            self.assertTrue(wait_for(lambda: self.asked(path) == 1), (path, self.origin.requests()))
        self.assertEqual(0, self.asked("/dir/p3.html"))
        self.assertNotIn("elsewhere.test", self.gateway.log())
        for path in ("/dir/i.gif", "/dir/p2.html"):
            lines, body = curl(self.url(path))
            self.assertEqual("HTTP/1.0 200 OK", lines[0], path)
            self.assertEqual(1, self.asked(path), "%s is a hit" % path)

    def ftp_url(self, path):
        return "ftp://127.0.0.2:%d%s" % (self.ftp.port, path)

    def test_ftp_directory_becomes_a_page(self):
        lines, body = curl(self.ftp_url("/pub/"))
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        self.assertIn("Content-Type: text/html", lines)
        self.assertIn("Content-Length: %d" % len(body), lines)
        text = body.decode("latin-1")
        self.assertIn("<H1>Directory of 127.0.0.2</H1>", text)
        self.assertIn("Current directory is /pub/", text)
        self.assertIn("http://Quorvane/arrow.gif", text)
        row = next((line for line in text.split("\n") if "/pub/a.zip" in line), "")
        self.assertIn("3k", row, text)

    def test_ftp_file_keeps_its_bytes_and_is_a_hit_the_second_time(self):
        for _ in range(2):
            lines, body = curl(self.ftp_url("/files/big.bin"))
            self.assertEqual("HTTP/1.0 200 OK", lines[0])
            self.assertIn("Content-Type: application/octet-stream", lines)
            self.assertEqual(hashlib.sha256(BIG).hexdigest(), hashlib.sha256(body).hexdigest())
        # Prefetches of the other cases may still be retrieving beside it.
        self.assertEqual(1, self.ftp.seen("RETR").count("/files/big.bin"))

    def test_ftp_prefetch_too_big_to_keep_stops_early(self):
        lines, _ = curl(self.ftp_url("/huge/"))
        self.assertEqual("HTTP/1.0 200 OK", lines[0])
        # The page's link is fetched ahead, and given up once it outgrows the caches.
        self.assertTrue(wait_for(lambda: self.ftp.cut, 120), self.ftp.seen("RETR"))
        self.assertEqual([os.path.join(self.work, "ftp", "huge", "huge.bin")], self.ftp.cut)

    def test_ftp_failures(self):
        lines, body = curl(self.ftp_url("/pub/missing.zip"))
        self.assertEqual("HTTP/1.0 408 Invalid FTP Request", lines[0])
        self.assertIn(b"550", body)
        # Of a file nobody has fetched: a kept copy would answer a HEAD from the cache.
        for method in (["-I"], ["-d", "x=1"]):
            lines, _ = curl(*method, self.ftp_url("/files/a.zip"))
            self.assertEqual("HTTP/1.0 407 Invalid Request", lines[0], method)


if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
