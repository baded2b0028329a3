"""The Telnet gateway and the NNTP, POP3 and SMTP relays end to end: quorhub
under Wine, loopback peers from line_peers, real clients (raw sockets for
exact bytes, poplib, smtplib, nntplib, telnetlib)."""
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
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import WAIT, Client, free_port, wait_for  # noqa: E402
from line_peers import Peers  # noqa: E402

ARGS = None
WELCOME = (b"Welcome to the Quorvane TELNET Gateway.\r\nPlease enter the host address or a command.\r\n"
           b"\r\nGateway> ")
INVALID = b"\r\nInvalid Address or Command.\r\n"
PROMPT = b"\r\nGateway> "
UNABLE = b"\r\nUnable to connect to the specified host.\r\n"


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
        self.addCleanup(lambda: self.assertEqual(0, g.close(), "quorhub still ran after WM_CLOSE"))
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

    # ---- a client leaving while its open still connects --------------------
    def test_closing_mid_connect(self):
        # A host whose listen queue is full leaves the gateway's connect pending.
        host = socket.socket()
        host.bind(("127.0.0.1", 0))
        host.listen(0)
        self.addCleanup(host.close)
        fillers = []
        for _ in range(3):
            f = socket.socket()
            f.setblocking(False)
            f.connect_ex(host.getsockname())
            fillers.append(f)
        self.addCleanup(lambda: [f.close() for f in fillers])
        g = self.gateway("midconnect", services=("TELNET",), outbound={"TELNET": host.getsockname()[1]})
        c = self.telnet(g)
        c.read(len(WELCOME))
        c.send(b"open 127.0.0.1\r\nsecret\r\n")
        c.close()
        # Let the pending connect through now. The line typed after the open reaches the
        # host only when the connect completed before the gateway saw the client go.
        filled = {f.getsockname() for f in fillers}
        host.settimeout(0.5)
        relayed = b""
        end = time.time() + 5
        while time.time() < end:
            try:
                a, peer = host.accept()
            except socket.timeout:
                continue
            with a:
                if peer in filled:
                    continue
                a.settimeout(WAIT)
                try:
                    while True:
                        chunk = a.recv(65536)
                        if not chunk:
                            break
                        relayed += chunk
                except ConnectionError:
                    pass
        self.assertIn(relayed, (b"", b"secret\r\n"))
        # The gateway goes on serving.
        d = self.telnet(g)
        self.assertEqual(WELCOME, d.read(len(WELCOME)))

    # ---- benchmark: run by name, never by the suite --------------------------
    #   test_line.py --build B --arch A --source S LineTest.DISABLED_relay_throughput_and_pop_round_trips
    def DISABLED_relay_throughput_and_pop_round_trips(self):
        g = self.gateway("bench", services=("TELNET", "POP"), servers={"POP3 Server": "127.0.0.1"})
        megabytes, trips = 8, 200

        def echo_client(through_gateway):
            if not through_gateway:
                return Client(self.peers.echo.port)
            c = self.telnet(g)
            c.read(len(WELCOME))
            c.send(b"open 127.0.0.1\r\nready\r\n")
            c.until(b"ready\r\n")
            return c

        def throughput(c):
            block = b"\x5a" * (1 << 20)
            sender = threading.Thread(target=lambda: [c.send(block) for _ in range(megabytes)])
            start = time.perf_counter()
            sender.start()
            got = 0
            while got < megabytes * len(block):
                chunk = c.s.recv(1 << 20)
                self.assertTrue(chunk, "closed after %d bytes" % got)
                got += len(chunk)
            sender.join(WAIT)
            c.close()
            return megabytes / (time.perf_counter() - start)

        def round_trips(port):
            pop = poplib.POP3("127.0.0.1", port, timeout=WAIT)
            start = time.perf_counter()
            for _ in range(trips):
                pop.stat()
            rate = trips / (time.perf_counter() - start)
            pop.quit()
            return rate

        rows = [("Telnet relay, MB/s", throughput(echo_client(True)), throughput(echo_client(False))),
                ("POP STAT round trips/s", round_trips(g.ports["POP"]), round_trips(self.peers.pop3.port))]
        for name, gateway, direct in rows:
            print("%-24s gateway %8.1f   direct %8.1f   share %3.0f%%" % (name, gateway, direct, 100 * gateway / direct))


if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
