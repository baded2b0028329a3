"""The FTP proxy end to end: quorhub under Wine, Python's ftplib and curl as
clients, pyftpdlib and vsftpd as real servers and a scripted server for the
replies real servers never send."""
import ftplib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import WAIT, free_port, wait_for  # noqa: E402
from ftp_peers import RealServer, Scripted, Vsftpd, file_sha, make_tree, sha  # noqa: E402

ARGS = None
WELCOME = ("220-Welcome to the Quorvane FTP Gateway. Specify the host\n"
           "220-to connect to by using the command 'OPEN host-address'\n"
           "220 or the user name 'username@host-address'")
WELCOME_BYTES = WELCOME.replace("\n", "\r\n").encode() + b"\r\n"


def ini(port, outbound, users="127.0.0.1=PC\n", extra=""):
    return ("[Server Configuration]\nLocal User Name=Admin\n" + extra +
            "\n[Server Communications]\nTCP/IP Outbound Interfaces=DEFAULT\n"
            "\n[Applications]\nHTTP=NO\nTELNET=NO\nFTP=YES\nNNTP=NO\nPOP=NO\nSMTP=NO\n"
            "\n[FTP Configuration]\nTCP/IP Link=TCP/IP Default\nTCP/IP Service Port=%d\n"
            "TCP/IP Connections=20\nTCP/IP Outbound Port=%d\n"
            "\n[Authorized Users]\n%s" % (port, outbound, users))


class Raw(e2e.Client):
    """A control connection read reply by reply; every read is bounded."""

    def reply(self):
        """One reply, multi-line ones whole."""
        end = None
        while True:
            lines = self.got.split(b"\r\n")
            if len(lines) > 1:
                first = lines[0]
                if len(first) >= 4 and first[3:4] == b"-":
                    marker = first[:3] + b" "
                    for i, line in enumerate(lines[1:-1], 1):
                        if line.startswith(marker):
                            end = i
                            break
                else:
                    end = 0
            if end is not None:
                out = b"\r\n".join(lines[:end + 1]) + b"\r\n"
                self.got = self.got[len(out):]
                return out
            chunk = self.s.recv(65536)
            if not chunk:
                raise AssertionError("closed; got %r" % self.got)
            self.got += chunk


class GatewayCase(unittest.TestCase):
    """A gateway in front of self.real, made by the subclass's start_server."""

    name = None

    @classmethod
    def start_server(cls):
        raise NotImplementedError

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="qvftp-")
        os.chmod(cls.root, 0o755)  # vsftpd lists only a directory others may read
        make_tree(cls.root)
        cls.real = cls.start_server()
        cls.port = free_port()
        cls.g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, cls.name,
                                    ini(cls.port, cls.real.port, users="127.0.0.1=PC\n"))
        cls.g.start()
        assert wait_for(lambda: "is now ready" in cls.g.log(), 120), cls.g.log()

    @classmethod
    def tearDownClass(cls):
        cls.g.stop()
        cls.g.close()
        cls.real.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def client(self, host=None):
        f = ftplib.FTP(timeout=WAIT)
        f.connect("127.0.0.1", self.port)
        f.set_pasv(False)
        self.addCleanup(f.close)
        if host:
            f.login("anonymous@" + host, "guest@example.org")
        return f

    def raw(self, source="127.0.0.1"):
        r = Raw(self.port, source)
        self.addCleanup(r.close)
        return r

    def login_raw(self):
        r = self.raw()
        self.assertEqual(WELCOME_BYTES, r.reply())
        r.send(b"USER anonymous@127.0.0.1\r\n")
        self.assertTrue(r.reply().startswith(b"331"))
        r.send(b"PASS guest\r\n")
        self.assertTrue(r.reply().startswith(b"230"))
        return r


class RealServerCases:
    """What works the same through the gateway whichever real server is behind it."""

    def test_welcome_and_login(self):
        f = self.client()
        self.assertEqual(WELCOME, f.getwelcome())
        before = len(self.real.commands)
        self.assertTrue(f.login("anonymous@127.0.0.1", "me@example.org").startswith("230"))
        self.assertTrue(wait_for(lambda: len(self.real.commands) >= before + 2))
        self.assertEqual([("USER", "anonymous"), "PASS"],
                         [self.real.commands[before], self.real.commands[before + 1][0]])
        self.assertTrue(wait_for(lambda: "me@example.org" in self.real.passwords()), self.real.passwords())
        self.assertEqual("221 Goodbye.", f.quit())

    def test_open_relays_the_greeting(self):
        r = self.raw()
        r.reply()
        r.send(b"OPEN 127.0.0.1\r\n")
        self.assertEqual(b"220 %s\r\n" % self.real.greeting.encode(), r.reply())
        r.send(b"USER anonymous\r\n")
        self.assertTrue(r.reply().startswith(b"331"))

    def test_transfers(self):
        f = self.client("127.0.0.1")
        want = file_sha(os.path.join(self.root, "big.bin"))
        for round in range(2):  # back to back
            got = io.BytesIO()
            self.assertTrue(f.retrbinary("RETR big.bin", got.write).startswith("226"))
            self.assertEqual(want, sha(got.getvalue()), round)
        self.assertIn("big.bin", " ".join(self._list(f)))
        self.assertEqual(sorted(["big.bin", "dir"]), sorted(f.nlst()))
        up = bytes((i * 13) & 255 for i in range(2 * 1024 * 1024))
        self.assertTrue(f.storbinary("STOR up.bin", io.BytesIO(up)).startswith("226"))
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(self.root, "up.bin")) and
                                 os.path.getsize(os.path.join(self.root, "up.bin")) == len(up)))
        self.assertEqual(sha(up), file_sha(os.path.join(self.root, "up.bin")))
        self.assertTrue(wait_for(lambda: len(self.real.seen("PORT")) >= 4))
        ports = self.real.seen("PORT")
        self.assertTrue(ports and all(p.startswith("127,0,0,1,") for p in ports), ports)
        self.assertEqual("221 Goodbye.", f.quit())

    def test_sessions_beyond_the_connection_limit(self):
        # More sessions one after another than the gateway has connections (20),
        # each with a transfer and a PORT left unused: every one gives back its
        # server connection and data ports, even from a server that closes
        # after QUIT only once its data connection ends (pyftpdlib).
        for n in range(24):
            f = ftplib.FTP(timeout=WAIT)
            f.connect("127.0.0.1", self.port)
            f.set_pasv(False)
            try:
                f.login("anonymous@127.0.0.1", "x@y")
                lines = []
                self.assertTrue(f.retrlines("LIST dir", lines.append).startswith("226"), n)
                self.assertIn("a.txt", " ".join(lines), n)
                f.makeport().close()
                self.assertEqual("221 Goodbye.", f.quit(), n)
            finally:
                f.close()

    def _list(self, f):
        lines = []
        f.retrlines("LIST", lines.append)
        return lines

    def test_two_clients_at_once(self):
        want = file_sha(os.path.join(self.root, "big.bin"))
        results = []

        def fetch():
            f = ftplib.FTP(timeout=WAIT)
            f.connect("127.0.0.1", self.port)
            f.set_pasv(False)
            f.login("anonymous@127.0.0.1", "x@y")
            got = io.BytesIO()
            f.retrbinary("RETR big.bin", got.write)
            results.append(sha(got.getvalue()))
            f.quit()

        threads = [threading.Thread(target=fetch) for _ in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(120)
        self.assertEqual([want, want], results)

    def test_curl(self):
        out = subprocess.run(["curl", "-s", "--max-time", "60", "--ftp-port", "127.0.0.1", "--disable-eprt",
                              "-u", "anonymous@127.0.0.1:me@example.org",
                              "ftp://127.0.0.1:%d/dir/a.txt" % self.port], capture_output=True, timeout=90)
        self.assertEqual(b"first line\r\nsecond line\r\n", out.stdout, out.stderr)

    def test_data_closes(self):
        # The client drops its data connection mid-transfer: the server's goes too.
        f = self.client("127.0.0.1")
        conn = f.transfercmd("RETR big.bin")
        conn.recv(1000)
        conn.close()
        self.assertTrue(f.getmultiline()[:3] in ("226", "426", "451"))
        f.voidcmd("NOOP")


class FtpTest(RealServerCases, GatewayCase):
    """pyftpdlib behind the gateway, and the gateway's own replies."""

    name = "ftp_main"

    @classmethod
    def start_server(cls):
        return RealServer(cls.root)

    def test_gateway_replies(self):
        r = self.raw()
        r.reply()
        for line, want in ((b"NOOP\r\n", b"500 Invalid Command.\r\n"),
                           (b"RETR x\r\n", b"500 Invalid Command.\r\n"),
                           (b"PORT 127,0,0,1,4,1\r\n", b"500 Invalid Command.\r\n"),
                           (b"USER bob\r\n", b"420 A host address must be specified.\r\n"),
                           (b"\r\n", b"500 Invalid Command.\r\n")):
            r.send(line)
            self.assertEqual(want, r.reply(), line)
        r = self.login_raw()
        r.send(b"RETR big.bin\r\n")
        self.assertEqual(b"425 A data port must be specified!\r\n", r.reply())
        for bad in (b"PORT 127,0,0,300,4,1", b"PORT 127,0,0,1,4", b"PORT a,b,c,d,e,f", b"PORT 10,0,0,5,4,1"):
            r.send(bad + b"\r\n")
            self.assertEqual(b"500 Invalid Command.\r\n", r.reply(), bad)
        r.send(b"NOOP\r\n")
        self.assertTrue(r.reply().startswith(b"200"))  # forwarded, the dialogue goes on

    def test_unreachable_then_login(self):
        r = self.raw()
        r.reply()
        r.send(b"USER anonymous@127.0.0.3\r\n")
        self.assertEqual(b"420 Unable to connect to the specified host.\r\n", r.reply())
        r.send(b"USER anonymous@127.0.0.1\r\n")
        self.assertTrue(r.reply().startswith(b"331"))
        r.send(b"NOOP\r\n")
        self.assertTrue(r.reply().startswith(b"200"))

    def test_refusing_data_port(self):
        r = self.login_raw()
        closed = free_port()
        r.send(("PORT 127,0,0,1,%d,%d\r\n" % (closed >> 8, closed & 255)).encode())
        self.assertTrue(r.reply().startswith(b"200"))
        r.send(b"RETR big.bin\r\n")
        self.assertEqual(b"425 Unable to open the data port connection!\r\n", r.reply())
        r.send(b"NOOP\r\n")
        self.assertTrue(r.reply().startswith(b"200"))

    def test_refused_client(self):
        r = self.raw("127.0.0.2")
        self.assertEqual(b"555 You are not authorized to access the Quorvane FTP Gateway!\r\n", r.rest())
        with self.assertRaises(ftplib.error_perm):
            ftplib.FTP(timeout=WAIT).connect("127.0.0.1", self.port, source_address=("127.0.0.2", 0))

    def test_long_lines(self):
        r = self.login_raw()
        r.send(b"X" * 100000 + b"\r\n")
        self.assertEqual(b"500 Invalid Command.\r\n", r.reply())
        r.send(b"NOOP\r\n")
        self.assertTrue(r.reply().startswith(b"200"))


class VsftpdTest(RealServerCases, GatewayCase):
    """vsftpd behind the gateway."""

    name = "ftp_vsftpd"

    @classmethod
    def start_server(cls):
        cls.scratch = tempfile.mkdtemp(prefix="qvvsftpd-")
        server = Vsftpd(cls.root, cls.scratch, free_port())
        assert wait_for(lambda: e2e.listening("127.0.0.1", server.port)), "vsftpd did not start"
        return server

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.scratch, ignore_errors=True)


class ScriptedTest(unittest.TestCase):
    """Replies no real server sends: multi-line greetings and logins, a reply
    split at every byte, one of more than 100 KB; and the user limit."""

    @classmethod
    def setUpClass(cls):
        cls.scripted = Scripted()
        cls.port = free_port()
        cls.g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, "ftp_scripted",
                                    ini(cls.port, cls.scripted.port, users="127.0.0.*=PC\n",
                                        extra="Maximum Users=1\n"))
        cls.g.start()
        assert wait_for(lambda: "is now ready" in cls.g.log(), 120), cls.g.log()

    @classmethod
    def tearDownClass(cls):
        cls.g.stop()
        cls.g.close()
        cls.scripted.stop()

    def test_scripted_replies(self):
        big = b"".join(b"230-line %05d\r\n" % i for i in range(7000)) + b"230 done\r\n"  # > 100 KB
        split = b"230-first\r\n230-second\r\n230 last\r\n"
        held = threading.Event()

        def script(c):
            c.send(b"220-multi\r\n220 line greeting\r\n")
            self.assertEqual(b"USER someone", c.line())
            c.send(b"331 pass\r\n")
            c.line()
            c.send(b"230-Welcome\r\n230-more\r\n230 Done\r\n")
            c.line()
            for b in split:
                c.send(bytes([b]))
                time.sleep(0.002)
            c.line()
            c.send(big)
            c.line()
            c.send(b"221 bye\r\n")
            held.wait(WAIT)

        self.scripted.script = script
        r = Raw(self.port)
        self.addCleanup(r.close)
        self.assertEqual(WELCOME_BYTES, r.reply())
        r.send(b"USER someone@127.0.0.1\r\n")
        self.assertEqual(b"331 pass\r\n", r.reply())
        r.send(b"PASS x\r\n")
        self.assertEqual(b"230-Welcome\r\n230-more\r\n230 Done\r\n", r.reply())
        r.send(b"SYST\r\n")
        self.assertEqual(split, r.reply())
        r.send(b"HELP\r\n")
        self.assertEqual(big, r.reply())
        # Maximum Users 1: a second user is turned away.
        other = Raw(self.port, "127.0.0.2")
        self.addCleanup(other.close)
        self.assertEqual(b"555 There are currently too many active users! Try again later!\r\n", other.rest())
        r.send(b"QUIT\r\n")
        self.assertEqual(b"221 bye\r\n", r.reply())
        held.set()
        self.assertEqual(b"", r.rest())  # the server closed: so does the client, after the 221
        self.assertEqual([], self.scripted.errors)

    def serve_transfers(self, c, on_retr):
        """Logs the gateway in, then answers commands; RETR runs on_retr(c, PORT line, RETR line)."""
        c.send(b"220 scripted\r\n")
        port = None
        while True:
            try:
                line = c.line()
            except EOFError:
                return
            word = line.split(b" ", 1)[0].upper()
            if word == b"USER":
                c.send(b"331 pass\r\n")
            elif word == b"PASS":
                c.send(b"230 in\r\n")
            elif word == b"PORT":
                port = line
                c.send(b"200 port\r\n")
            elif word == b"RETR":
                if not on_retr(c, port, line):
                    return
            elif word == b"QUIT":
                c.send(b"221 bye\r\n")
                return
            else:
                c.send(b"200 ok\r\n")

    def scripted_client(self):
        f = ftplib.FTP(timeout=WAIT)
        f.connect("127.0.0.1", self.port)
        f.set_pasv(False)
        self.addCleanup(f.close)
        f.login("someone@127.0.0.1", "x")
        return f

    def test_server_data_close_delivers_every_byte(self):
        # The server closes its data connection right after the last byte: the
        # client gets all of it, then the end, every time.
        def payload(n):
            return bytes((i * 31 + n) & 255 for i in range(150000 + n * 4099))

        def retr(c, port, line):
            n = int(line.split()[-1])
            c.send(b"150 go\r\n")
            d = c.data_to(port)
            d.sendall(payload(n))
            d.close()
            c.send(b"226 done\r\n")
            return True

        self.scripted.script = lambda c: self.serve_transfers(c, retr)
        f = self.scripted_client()
        for n in range(25):
            got = io.BytesIO()
            self.assertEqual("226 done", f.retrbinary("RETR %d" % n, got.write), n)
            self.assertEqual(sha(payload(n)), sha(got.getvalue()), "round %d: %d bytes" % (n, len(got.getvalue())))
        self.assertEqual("221 bye", f.quit())
        self.assertEqual([], self.scripted.errors)

    def test_server_dropping_control_mid_transfer_ends_both(self):
        server_data = []
        done = threading.Event()

        def retr(c, port, line):
            c.send(b"150 go\r\n")
            d = c.data_to(port)
            server_data.append(d)
            d.sendall(b"x" * 100000)
            c.conn.close()  # the control connection goes; the data connection stays open
            done.wait(WAIT)
            return False

        self.scripted.script = lambda c: self.serve_transfers(c, retr)
        self.addCleanup(done.set)
        f = self.scripted_client()
        conn = f.transfercmd("RETR file")
        self.addCleanup(conn.close)
        try:
            while conn.recv(65536):
                pass
        except ConnectionResetError:
            pass
        # The client's control connection ends too (after a 525 or none).
        lines = []
        try:
            while True:
                lines.append(f.getline())
        except (EOFError, ConnectionResetError):
            pass
        self.assertTrue(all(line.startswith("525 ") for line in lines), lines)
        # And the gateway let go of the server's data connection.
        self.assertTrue(wait_for(lambda: server_data))
        server_data[0].settimeout(WAIT)
        try:
            while server_data[0].recv(65536):
                pass
        except ConnectionResetError:
            pass
        server_data[0].close()
        self.assertEqual([], self.scripted.errors)


if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
