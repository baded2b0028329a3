"""The Telnet gateway and the NNTP, POP3 and SMTP relays end to end: quorhub
under Wine, loopback peers from line_peers, real clients (raw sockets for
exact bytes, poplib, smtplib, nntplib, telnetlib)."""
import argparse
import os
import poplib
import smtplib
import socket
import sys
import threading
import time
import unittest
import warnings

warnings.filterwarnings("ignore", category=DeprecationWarning)
import nntplib  # noqa: E402
import telnetlib  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
import quorhub_run  # noqa: E402
from line_peers import Peers, free_port  # noqa: E402

ARGS = None
WELCOME = (b"Welcome to the Quorvane TELNET Gateway.\r\nPlease enter the host address or a command.\r\n"
           b"\r\nGateway> ")
INVALID = b"\r\nInvalid Address or Command.\r\n"
PROMPT = b"\r\nGateway> "
UNABLE = b"\r\nUnable to connect to the specified host.\r\n"
WAIT = 30


def wait_for(test, timeout=WAIT):
    end = time.time() + timeout
    while time.time() < end:
        if test():
            return True
        time.sleep(0.05)
    return test()


class Client:
    """A raw client socket; every read is bounded."""

    def __init__(self, port, source="127.0.0.1"):
        self.s = socket.socket()
        self.s.settimeout(WAIT)
        if source != "127.0.0.1":
            self.s.bind((source, 0))
        self.s.connect(("127.0.0.1", port))
        self.got = b""

    def send(self, data):
        self.s.sendall(data)

    def read(self, n):
        """Exactly n bytes (fewer only at the end of the stream)."""
        while len(self.got) < n:
            chunk = self.s.recv(max(65536, n - len(self.got)))
            if not chunk:
                break
            self.got += chunk
        out, self.got = self.got[:n], self.got[n:]
        return out

    def until(self, marker):
        while marker not in self.got:
            chunk = self.s.recv(65536)
            if not chunk:
                raise AssertionError("closed before %r; got %r" % (marker, self.got))
            self.got += chunk
        end = self.got.index(marker) + len(marker)
        out, self.got = self.got[:end], self.got[end:]
        return out

    def rest(self):
        """Everything up to the end of the stream."""
        while True:
            chunk = self.s.recv(65536)
            if not chunk:
                out, self.got = self.got, b""
                return out
            self.got += chunk

    def close(self):
        self.s.close()


def ini(services, extra="", users="", banner=True, servers=None, ports=None, outbound=None):
    sections = ["[Server Configuration]\nLocal User Name=Admin\n" + extra,
                "[Server Startup]\nLog Application Requests=YES\n",
                "[Server Communications]\nTCP/IP Outbound Interfaces=DEFAULT\n",
                "[Applications]\n" + "".join("%s=%s\n" % (n, "YES" if n in services else "NO")
                                             for n in ("HTTP", "TELNET", "FTP", "NNTP", "POP", "SMTP"))]
    for name in ("TELNET", "NNTP", "POP", "SMTP"):
        sections.append("[%s Configuration]\nTCP/IP Link=TCP/IP Default\nTCP/IP Service Port=%d\n"
                        "TCP/IP Connections=20\nTCP/IP Outbound Port=%d\nConnect Banner=%s\n"
                        % (name, ports[name], outbound[name], "YES" if banner or name != "TELNET" else "NO"))
    sections.append("[Application Servers]\n" + "".join("%s=%s\n" % kv for kv in (servers or {}).items()))
    sections.append("[Authorized Users]\n" + users)
    return "\n".join(sections)


class Gateway:
    """quorhub with the four line services on free ports."""

    def __init__(self, name, peers, **options):
        self.ports = {n: free_port() for n in ("TELNET", "NNTP", "POP", "SMTP")}
        outbound = {"TELNET": peers.echo.port, "NNTP": peers.nntp.port, "POP": peers.pop3.port,
                    "SMTP": peers.smtp_port}
        outbound.update(options.pop("outbound", {}))
        self.g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, "line_" + name,
                                     ini(ports=self.ports, outbound=outbound, **options))

    def start(self):
        self.g.start()
        ok = wait_for(lambda: "is now ready" in self.g.log(), 120)
        assert ok, self.g.log()
        return self

    def close(self):
        code = self.g.stop()
        self.g.close()
        return code


class LineTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.peers = Peers()

    @classmethod
    def tearDownClass(cls):
        cls.peers.stop()

    def gateway(self, name, **options):
        g = Gateway(name, self.peers, **options).start()
        self.addCleanup(g.close)
        return g

    def telnet(self, g, source="127.0.0.1"):
        c = Client(g.ports["TELNET"], source)
        self.addCleanup(c.close)
        return c

    def echo_sessions(self):
        return len(self.peers.echo.sessions)

    # ---- the gateway with every line service, no default host ----------------
    def test_gateway(self):
        servers = {"NNTP Server": "127.0.0.1", "POP3 Server": "127.0.0.1", "SMTP Server": "127.0.0.1"}
        g = self.gateway("main", services=("TELNET", "NNTP", "POP", "SMTP"), servers=servers)
        log = g.g.log()
        for name in ("TELNET", "NNTP", "POP", "SMTP"):
            self.assertIn("Starting application " + name, log)
        with self.subTest("banner, invalid lines, open commands"):
            self.check_dialogue(g)
        with self.subTest("telnetlib"):
            self.check_telnetlib(g)
        with self.subTest("unreachable host, then an open works"):
            self.check_unreachable_then_open(g)
        with self.subTest("bye mode and closes"):
            self.check_closes(g)
        with self.subTest("five megabytes, fast and slow"):
            self.check_bulk(g)
        with self.subTest("hostile input"):
            self.check_hostile(g)
        with self.subTest("refusals from an unlisted machine"):
            self.check_refusals(g)
        with self.subTest("relays with real clients"):
            self.check_relays(g)

    def check_dialogue(self, g):
        c = self.telnet(g)
        self.assertEqual(WELCOME, c.read(len(WELCOME)))
        for bad in (b"word\r\n", b"CON 127.0.0.1\r\n", b"OPENX 127.0.0.1\r\n", b"OPEN\r\n", b"a.b c\r\n"):
            c.send(bad)
            self.assertEqual(INVALID + PROMPT, c.read(len(INVALID + PROMPT)), bad)
        for command in (b"open 127.0.0.1\r\n", b"o localhost\r\n", b"127.0.0.1\r\n", b"CONNECT 127.0.0.1 99\r\n"):
            c.close()
            c = self.telnet(g)
            self.assertEqual(WELCOME, c.read(len(WELCOME)))
            before = self.echo_sessions()
            c.send(command)
            self.assertTrue(wait_for(lambda: self.echo_sessions() > before), command)
            c.send(b"hello\r\n")
            self.assertEqual(b"hello\r\n", c.read(7), command)

    def check_telnetlib(self, g):
        t = telnetlib.Telnet("127.0.0.1", g.ports["TELNET"], timeout=WAIT)
        self.assertEqual(WELCOME, t.read_until(b"Gateway> ", WAIT))
        t.write(b"open 127.0.0.1\r\n")
        t.write(b"through telnetlib\r\n")
        self.assertEqual(b"through telnetlib\r\n", t.read_until(b"telnetlib\r\n", WAIT))
        t.close()

    def check_unreachable_then_open(self, g):
        c = self.telnet(g)
        c.read(len(WELCOME))
        c.send(b"open 127.0.0.3\r\n")
        self.assertEqual(UNABLE + PROMPT, c.read(len(UNABLE + PROMPT)))
        c.send(b"open 127.0.0.1\r\n")
        c.send(b"ping\r\n")
        self.assertEqual(b"ping\r\n", c.read(6))

    def check_closes(self, g):
        c = self.telnet(g)
        c.read(len(WELCOME))
        c.send(b"open 127.0.0.1\r\n")
        c.send(b"bye\r\n")
        self.assertEqual(b"bye\r\n", c.rest())
        # The client closing first: the host sees its end of stream.
        c = self.telnet(g)
        c.read(len(WELCOME))
        before = self.echo_sessions()
        c.send(b"open 127.0.0.1\r\n")
        self.assertTrue(wait_for(lambda: self.echo_sessions() > before))
        session = self.peers.echo.sessions[-1]
        c.send(b"last words\r\n")
        self.assertEqual(b"last words\r\n", c.read(12))
        c.s.shutdown(socket.SHUT_WR)
        self.assertTrue(session.eof.wait(WAIT))
        self.assertEqual(b"last words\r\n", bytes(session.data))
        self.assertEqual(b"", c.rest())

    def check_bulk(self, g):
        block = bytes(range(256)) * 4096 * 5  # 5 MB, every byte value
        for slow in (False, True):
            c = self.telnet(g)
            c.read(len(WELCOME))
            c.send(b"open 127.0.0.1\r\n")
            sender = threading.Thread(target=c.send, args=(block,))
            sender.start()
            got = bytearray()
            while len(got) < len(block):
                if slow and len(got) < 256 * 1024:
                    time.sleep(0.01)
                    chunk = c.s.recv(4096)
                else:
                    chunk = c.s.recv(65536)
                self.assertTrue(chunk, "closed after %d bytes" % len(got))
                got += chunk
            sender.join(WAIT)
            self.assertEqual(len(block), len(got))
            self.assertTrue(bytes(got) == block, "slow=%s: bytes differ" % slow)
            c.close()

    def check_hostile(self, g):
        c = self.telnet(g)
        c.read(len(WELCOME))
        c.send(b"x" * 100000 + b"\r\n")
        self.assertEqual(INVALID + PROMPT, c.read(len(INVALID + PROMPT)))
        c.send(b"a\rb\nc\r\nd\r\x00")
        self.assertEqual((INVALID + PROMPT) * 4, c.read(4 * len(INVALID + PROMPT)))
        before = self.echo_sessions()
        c.send(b"\xff\xfd\x01op\xff")
        time.sleep(0.2)  # a second send, not a second line
        c.send(b"\xfb\x03en 127.0.0.1\r\n")
        self.assertTrue(wait_for(lambda: self.echo_sessions() > before))
        c.send(b"after\r\n")
        self.assertEqual(b"after\r\n", c.read(7))

    def check_refusals(self, g):
        texts = {
            "TELNET": b"You are not authorized to access the Quorvane TELNET Gateway!\r\n",
            "NNTP": b"502 You are not authorized to access the Quorvane News Gateway!\r\n",
            "POP": b"You are not authorized to access the Quorvane Mail Gateway!\r\n",
            "SMTP": b"You are not authorized to access the Quorvane Mail Gateway!\r\n",
        }
        for name, text in texts.items():
            c = Client(g.ports[name], "127.0.0.2")
            self.addCleanup(c.close)
            self.assertEqual(text + PROMPT, c.rest(), name)

    def check_relays(self, g):
        pop = poplib.POP3("127.0.0.1", g.ports["POP"], timeout=WAIT)
        self.assertTrue(pop.getwelcome().startswith(b"+OK POP3 peer ready"))
        pop.user("someone")
        pop.pass_("secret")
        self.assertEqual(1, pop.stat()[0])
        lines = pop.retr(1)[1]
        self.assertIn(b"Subject: relayed", lines)
        self.assertEqual(b"+OK bye", pop.quit())

        smtp = smtplib.SMTP("127.0.0.1", g.ports["SMTP"], timeout=WAIT)
        self.assertEqual(250, smtp.ehlo()[0])
        body = "From: a@example.org\r\nSubject: via gateway\r\n\r\nHello through the relay.\r\n"
        smtp.sendmail("a@example.org", ["b@example.org"], body)
        self.assertEqual(221, smtp.quit()[0])
        self.assertTrue(wait_for(lambda: self.peers.mailbox.messages))
        sender, rcpts, content = self.peers.mailbox.messages[-1]
        self.assertEqual(("a@example.org", ["b@example.org"]), (sender, rcpts))
        self.assertEqual(body.encode(), content.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))

        news = nntplib.NNTP("127.0.0.1", g.ports["NNTP"], readermode=False, timeout=WAIT)
        self.assertEqual("3", str(news.group("local.test")[1]))
        self.assertTrue(news.quit().startswith("205 bye"))

    # ---- a default host, template users and the user limit -------------------
    def test_default_host_and_users(self):
        g = self.gateway("users", services=("TELNET",), servers={"TELNET Server": "127.0.0.1"},
                         users="127.0.0.*=PC\n", extra="Maximum Users=1\n")
        before = self.echo_sessions()
        c = self.telnet(g, "127.0.0.2")
        # Bytes sent before the host is reached are dropped: wait until it is.
        self.assertTrue(wait_for(lambda: self.echo_sessions() > before))
        c.send(b"straight through\r\n")
        self.assertEqual(b"straight through\r\n", c.read(18))  # no banner, relayed at once
        session = self.peers.echo.sessions[-1]
        c.close()
        self.assertTrue(session.eof.wait(WAIT))
        # The gateway's own user (Admin) takes the one place once PC2 has logged out.
        end = time.time() + WAIT
        while True:
            before = self.echo_sessions()
            held = self.telnet(g)
            if wait_for(lambda: self.echo_sessions() > before, 5):
                held.send(b"mine\r\n")
                got = held.read(6)
                break
            held.close()  # still counted: refused
            self.assertLess(time.time(), end)
        self.assertEqual(b"mine\r\n", got)
        other = self.telnet(g, "127.0.0.2")
        self.assertEqual(b"There are currently too many active users! Try again later!\r\n" + PROMPT, other.rest())

    # ---- banner off; relays whose server is missing or down -------------------
    def test_banner_off_and_upstream_failures(self):
        closed = free_port()
        g = self.gateway("failures", services=("TELNET", "NNTP", "POP"), banner=False,
                         servers={"POP3 Server": "127.0.0.1"}, outbound={"POP": closed})
        c = self.telnet(g)
        c.send(b"nonsense\r\n")
        self.assertEqual(INVALID, c.read(len(INVALID)))  # nothing came before it, no prompt after
        c.send(b"open 127.0.0.1\r\n")
        c.send(b"x\r\n")
        self.assertEqual(b"x\r\n", c.read(3))
        for name, text in (("NNTP", b"502 Unable to connect to the news server!\r\n"),
                           ("POP", b"Unable to connect to the mail server!\r\n")):
            r = Client(g.ports[name])
            self.addCleanup(r.close)
            self.assertEqual(text + PROMPT, r.rest(), name)

    # ---- an unreachable default host -----------------------------------------
    def test_unreachable_default_host(self):
        g = self.gateway("unreachable", services=("TELNET",), servers={"TELNET Server": "127.0.0.3"})
        c = self.telnet(g)
        self.assertEqual(UNABLE + PROMPT, c.rest())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", required=True)
    parser.add_argument("--source", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
