"""The engine's socket links seen from Linux clients: the engine host under Wine
(aids/qvaid_enginehost.exe) echoing or relaying, with Python clients and
origins on loopback."""
import hashlib
import os
import socket
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "quorhub"))
import e2e  # noqa: E402

ARGS = None


class Host:
    """Starts the host with the given options; stop() ends it in order."""

    def __init__(self, *options):
        build = os.path.abspath(ARGS.build)
        command = [os.path.join(ARGS.source, "tools", "wine-run"), "--arch", ARGS.arch,
                   "--prefix", os.path.join(build, "wineprefix"),
                   os.path.join(build, "aids", "qvaid_enginehost.exe")] + list(options)
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, bufsize=1)
        line = self.process.stdout.readline().split()
        if not line or line[0] != "PORT":
            self.process.kill()
            raise AssertionError("the host did not start: %r" % line)
        self.port = int(line[1])

    def ask(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        lines = []
        while True:
            line = self.process.stdout.readline().strip()
            if line in ("END", ""):
                return lines
            lines.append(line)

    def stop(self):
        self.process.stdin.write("stop\n")
        self.process.stdin.flush()
        rest = self.process.stdout.read()
        return self.process.wait(60), rest

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.stop()


def client(port, receive_buffer=0):
    s = socket.socket()
    if receive_buffer:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    s.settimeout(20)
    s.connect(("127.0.0.1", port))
    s.settimeout(20)
    return s


def read_exactly(s, n):
    got = b""
    while len(got) < n:
        part = s.recv(n - len(got))
        if not part:
            break
        got += part
    return got


def closed_by_peer(s):
    """True when the host ends the connection (end of stream or reset) before the timeout."""
    try:
        return s.recv(1) == b""
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False


class EchoHost(unittest.TestCase):
    def test_ninety_clients_at_once_get_their_own_bytes(self):
        with Host("--limit", "100") as host:
            clients = [client(host.port) for _ in range(90)]
            errors = []

            def talk(i, s):
                payload = (b"client %d " % i) * (i + 1)
                s.sendall(payload)
                if read_exactly(s, len(payload)) != payload:
                    errors.append(i)

            threads = [threading.Thread(target=talk, args=(i, s)) for i, s in enumerate(clients)]
            for t in threads:
                t.start()
            for t in threads:
                t.join(60)
            self.assertEqual([], errors)
            for s in clients:
                s.close()
            code, rest = host.stop()
            self.assertEqual(0, code)
            self.assertIn("STOPPED", rest)

    def test_message_mode_frames(self):
        with Host("--message") as host:
            s = client(host.port)
            frame = b"\x00\x00\x00\x0a" + b"0123456789"
            s.sendall(frame)
            self.assertEqual(frame, read_exactly(s, 14))
            # An empty frame yields nothing: the next frame's echo comes first.
            s.sendall(b"\x00\x00\x00\x00" + b"\x00\x00\x00\x03abc")
            self.assertEqual(b"\x00\x00\x00\x03abc", read_exactly(s, 7))
            # A length beyond any buffer ends the connection.
            s.sendall(b"\x00\x00\x0f\xfd")
            self.assertTrue(closed_by_peer(s))
            s.close()

    def test_limit_three_serves_two_and_closes_the_third(self):
        with Host("--limit", "3") as host:
            a, b = client(host.port), client(host.port)
            for s, text in ((a, b"a"), (b, b"b")):
                s.sendall(text)
                self.assertEqual(text, read_exactly(s, 1))
            third = client(host.port)
            self.assertTrue(closed_by_peer(third))
            a.sendall(b"again")
            self.assertEqual(b"again", read_exactly(a, 5))
            for s in (a, b, third):
                s.close()

    def test_first_accept_opens_an_auxiliary_port(self):
        with Host("--aux", "1") as host:
            first = client(host.port)
            first.sendall(b"1")
            self.assertEqual(b"1", read_exactly(first, 1))
            ports = [int(line.split()[1]) for line in host.ask("aux") if line.startswith("AUX")]
            self.assertEqual(1, len(ports))
            other = client(ports[0])
            other.sendall(b"over the auxiliary port")
            self.assertEqual(b"over the auxiliary port", read_exactly(other, 23))
            first.close()
            other.close()
            code, _ = host.stop()
            self.assertEqual(0, code)


class Origin:
    """A Python origin on a free port: reads what one client sends and answers with its own bytes."""

    def __init__(self, expect, answer):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.expect, self.answer = expect, answer
        self.received = hashlib.sha256()
        self.count = 0
        self.thread = threading.Thread(target=self.serve)
        self.thread.start()

    def serve(self):
        self.listener.settimeout(60)
        peer, _ = self.listener.accept()
        peer.settimeout(60)
        sender = threading.Thread(target=peer.sendall, args=(self.answer,))
        sender.start()
        while self.count < self.expect:
            part = peer.recv(65536)
            if not part:
                break
            self.received.update(part)
            self.count += len(part)
        sender.join(60)
        peer.recv(1)  # until the client's side is closed
        peer.close()
        self.listener.close()


class ManyOrigin:
    """An origin for many clients at once: a client sends its index and a newline, gets
    that index's payload and then the end of the stream."""

    def __init__(self, payloads):
        self.payloads = payloads
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.listener.settimeout(60)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                peer, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.serve, args=(peer,), daemon=True).start()

    def serve(self, peer):
        with peer:
            peer.settimeout(60)
            line = b""
            while not line.endswith(b"\n"):
                part = peer.recv(64)
                if not part:
                    return
                line += part
            peer.sendall(self.payloads[int(line)])

    def close(self):
        self.listener.close()


class CountingOrigin:
    """One client: after its first line, sends the payload in pieces, counting what the
    network took, then closes."""

    def __init__(self, payload):
        self.payload = payload
        self.sent = 0
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.listener.settimeout(60)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        try:
            peer, _ = self.listener.accept()
        except OSError:
            return
        with peer:
            peer.settimeout(120)
            while not peer.recv(64).endswith(b"\n"):
                pass
            view = memoryview(self.payload)
            while self.sent < len(view):
                self.sent += peer.send(view[self.sent:self.sent + 65536])

    def close(self):
        self.listener.close()


def read_until_closed(s):
    parts = []
    while True:
        part = s.recv(262144)
        if not part:
            return b"".join(parts)
        parts.append(part)


def fetch_through(port, index):
    """Asks for payload index through the relay; all it gets until the stream ends."""
    with client(port) as s:
        s.sendall(b"%d\n" % index)
        return read_until_closed(s)


def wait_for(condition, limit=60):
    return e2e.wait_for(condition, limit)


class RelayHost(unittest.TestCase):
    def test_a_megabyte_each_way_arrives_whole(self):
        up, down = os.urandom(1 << 20), os.urandom(1 << 20)
        origin = Origin(len(up), down)
        with Host("--relay", "127.0.0.1", str(origin.port)) as host:
            s = client(host.port)
            sender = threading.Thread(target=s.sendall, args=(up,))
            sender.start()
            got = read_exactly(s, len(down))
            sender.join(60)
            s.close()
            origin.thread.join(60)
            self.assertEqual(len(up), origin.count)
            self.assertEqual(hashlib.sha256(up).hexdigest(), origin.received.hexdigest())
            self.assertEqual(hashlib.sha256(down).hexdigest(), hashlib.sha256(got).hexdigest())

    def test_sixteen_clients_each_get_a_megabyte_whole(self):
        # One client first: its connection is let go while the next ones are accepted.
        payloads = [os.urandom(1 << 20) for _ in range(17)]
        origin = ManyOrigin(payloads)
        try:
            with Host("--relay", "127.0.0.1", str(origin.port), "--limit", "100") as host:
                got = {0: fetch_through(host.port, 0)}

                def run(i):
                    try:
                        got[i] = fetch_through(host.port, i)
                    except OSError as e:
                        got[i] = e

                threads = [threading.Thread(target=run, args=(i,)) for i in range(1, 17)]
                for t in threads:
                    t.start()
                for t in threads:
                    t.join(120)
                for i, payload in enumerate(payloads):
                    data = got.get(i)
                    self.assertIsInstance(data, bytes, "client %d: %r" % (i, data))
                    self.assertEqual((len(payload), hashlib.sha256(payload).hexdigest()),
                                     (len(data), hashlib.sha256(data).hexdigest()), "client %d" % i)
                code, _ = host.stop()
                self.assertEqual(0, code)
        finally:
            origin.close()

    def test_a_slow_reader_holds_the_origin_back_and_gets_the_whole_stream(self):
        # The client reads nothing at first: the relay stops taking the origin's bytes
        # instead of queueing the whole stream, and sends the rest once the client reads.
        payload = os.urandom(48 << 20)
        origin = CountingOrigin(payload)
        try:
            with Host("--relay", "127.0.0.1", str(origin.port)) as host:
                s = client(host.port, receive_buffer=16384)
                s.sendall(b"go\n")
                self.assertTrue(wait_for(lambda: host.ask("held") == ["HELD 1"]), "the origin is held back")
                self.assertLess(origin.sent, len(payload) // 2)
                got = read_until_closed(s)
                s.close()
                self.assertEqual((len(payload), hashlib.sha256(payload).hexdigest()),
                                 (len(got), hashlib.sha256(got).hexdigest()))
        finally:
            origin.close()

    def test_a_refused_server_connection_closes_the_client(self):
        with Host("--relay", "127.0.0.1", str(e2e.free_port())) as host:
            s = client(host.port)
            self.assertTrue(closed_by_peer(s))
            s.close()


if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
