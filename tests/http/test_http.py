"""The HTTP proxy end to end: quorhub under Wine, an origin and a recording
upstream proxy from http_peers, openssl s_server for tunnels, nginx and
tinyproxy where installed, curl and raw sockets as browsers."""
import hashlib
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402
from e2e import PAGES, WAIT, exchange as send_raw, free_port, listening, page_files, read_all, wait_for  # noqa: E402
from http_peers import NGINX_CONF, TINYPROXY_CONF, Origin, Recorder, start_program  # noqa: E402

ARGS = None
PROXY = "127.0.0.1:8080"


# The ports the texts below name, and the free ones used instead, so that runs
# in other trees on the same machine do not collide.
PORTS = {8080: free_port("127.0.0.1"), 8000: free_port("127.0.0.2"), 8443: free_port("127.0.0.2"),
         8081: free_port("127.0.0.2"), 3128: free_port("127.0.0.3"), 3129: free_port("127.0.0.3")}
NUMBERS = re.compile(r"(?<=[:= ])(8080|8000|8443|8081|3128|3129)\b")


def P(text):
    """text (str or bytes) with the named ports replaced by the ones in use."""
    if isinstance(text, bytes):
        return NUMBERS.sub(lambda m: str(PORTS[int(m.group(1))]), text.decode("latin-1")).encode("latin-1")
    return NUMBERS.sub(lambda m: str(PORTS[int(m.group(1))]), text)
INI = """[Server Configuration]
Local User Name=Admin
Log Application Requests=YES
{extra}[Server Communications]
TCP/IP Outbound Interfaces=DEFAULT
[Applications]
HTTP=YES
TELNET=NO
[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port=8080
TCP/IP Connections=16
TCP/IP Outbound Port=80
[HTTP Cache]
Cache=NO
{proxies}
[Local Files]
*.htm=*.htm,text/html
*.gif=*.gif,image/gif
proxy.pac=proxy.pac,application/x-ns-proxy-autoconfig
[Network Interface - Line 1]
Phonebook Entry=none
[Authorized Users]
{users}"""


def exchange(data, timeout=WAIT):
    """Sends raw bytes to the proxy; everything it answers up to its close."""
    return send_raw(("127.0.0.1", PORTS[8080]), P(data), timeout)


def pieces(parts, pause=0.02):
    """Sends parts as separate segments; everything the proxy answers."""
    s = socket.create_connection(("127.0.0.1", PORTS[8080]), WAIT)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    for part in parts:
        s.sendall(part)
        time.sleep(pause)
    got = read_all(s)
    s.close()
    return got


def curl(*args, binary=False):
    r = subprocess.run(["curl", "-s", "-m", "120", *[P(a) for a in args]], capture_output=True, timeout=180)
    return r.stdout if binary else r.stdout.decode("latin-1")


def head_and_body(raw):
    head, _, body = raw.partition(b"\r\n\r\n")
    return head.decode("latin-1").split("\r\n"), body


def start_gateway(name, proxies="", users="*.*=Guest\n", extra=""):
    ini = P(INI.format(proxies=proxies, users=users, extra=extra))
    g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, name, ini, page_files())
    g.start()
    # Listening comes before ready: until then browsers are told "422 Gateway Not Ready".
    if not wait_for(lambda: listening("127.0.0.1", PORTS[8080]) and "is now ready" in g.log(), 90):
        g.close()
        raise AssertionError("the proxy is not ready: %s" % g.log())
    return g


class ProxyTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.origin = Origin(port=PORTS[8000])
        cls.work = tempfile.mkdtemp(prefix="qvhttp")
        cls.tls = None
        with open(os.path.join(cls.work, "big.bin"), "wb") as f:
            f.write(cls.origin.big)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.2", "-keyout", os.path.join(cls.work, "key.pem"), "-out",
                        os.path.join(cls.work, "cert.pem")], capture_output=True, check=True)
        cls.tls = subprocess.Popen(["openssl", "s_server", "-WWW", "-accept", P("127.0.0.2:8443"), "-cert", "cert.pem",
                                    "-key", "key.pem"], cwd=cls.work, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        os.chmod(cls.work, 0o755)  # nginx's workers read it as another user
        with open(os.path.join(cls.work, "small.txt"), "wb") as f:
            f.write(b"served by nginx\n")
        cls.nginx = start_program(cls.work, "nginx", NGINX_CONF, ["nginx", "-c", "{conf}", "-g", "daemon off;"],
                                  P)
        cls.gateway = start_gateway("http_proxy")
        assert wait_for(lambda: listening("127.0.0.2", PORTS[8443]))

    @classmethod
    def tearDownClass(cls):
        cls.gateway.close()
        cls.origin.close()
        for program in (cls.tls, cls.nginx):
            if program:
                program.terminate()
                program.wait(30)
        shutil.rmtree(cls.work, ignore_errors=True)

    def assert_normal_request_works(self):
        raw = exchange(b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n")
        self.assertTrue(raw.startswith(b"HTTP/1.0 200 Fresh\r\n"), raw[:200])

    def test_get_passes_status_headers_and_body_and_closes(self):
        before = len(self.origin.log)
        raw = curl("-D-", "-x", PROXY, "http://127.0.0.2:8000/a.html", binary=True)
        lines, body = head_and_body(raw)
        self.assertEqual(["HTTP/1.0 200 Fresh", "X-First: 1", "Content-Type: text/html", "X-Second: 2",
                          "Content-Length: 12"], lines)
        self.assertEqual(b"hello-world\n", body)
        request, _ = self.origin.log[before]
        self.assertEqual("GET /a.html HTTP/1.0", request[0])
        names = [line.split(":")[0].lower() for line in request[1:]]
        self.assertNotIn("proxy-connection", names)
        self.assertNotIn("connection", names)
        # The proxy closes after its answer: a raw client reads to the end.
        self.assertTrue(exchange(b"GET http://127.0.0.2:8000/a.html HTTP/1.1\r\nHost: 127.0.0.2:8000\r\n"
                                 b"Connection: keep-alive\r\n\r\n").endswith(b"hello-world\n"))

    def test_head_and_post_bodies(self):
        lines, body = head_and_body(curl("-I", "-D-", "-o", "/dev/null", "-x", PROXY,
                                         "http://127.0.0.2:8000/a.html", binary=True))
        self.assertEqual("HTTP/1.0 200 Fresh", lines[0])
        self.assertEqual(b"", body)
        for size in (10, 1000000):
            data = bytes((i * 7) % 251 for i in range(size))
            path = os.path.join(self.work, "post.bin")
            with open(path, "wb") as f:
                f.write(data)
            before = len(self.origin.log)
            got = curl("-x", PROXY, "--data-binary", "@" + path, "http://127.0.0.2:8000/echo", binary=True)
            self.assertEqual(data, got, size)
            posts = [e for e in self.origin.log[before:] if e[0][0].startswith("POST")]
            self.assertEqual(1, len(posts))
            self.assertEqual(data, posts[0][1])

    def test_unframed_answers_pass_unchanged(self):
        cases = [
            ("/close", b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nno length, up to the close\n"),
            ("/chunked", b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                         b"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"),
            ("/slow", b"HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\nslow-slow-slow-slow-"),
        ]
        for path, expected in cases:
            self.assertEqual(expected, exchange(b"GET http://127.0.0.2:8000%s HTTP/1.0\r\n\r\n" % path.encode()),
                             path)
        self.assertEqual("an answer of HTTP/0.9: no status line\n",
                         curl("--http0.9", "-x", PROXY, "http://127.0.0.2:8000/old"))
        # A simple request (no version) ends at its empty line and gets the body alone.
        self.assertEqual(b"an answer of HTTP/0.9: no status line\n", exchange(b"GET http://127.0.0.2:8000/old\r\n\r\n"))

    def test_header_blocks_in_pieces(self):
        get = P(b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\nAccept: */*\r\n\r\n")
        cases = [
            ("split after the first line end", [get[:-2], get[-2:]]),
            ("split inside the last line end", [get[:-1], get[-1:]]),
            ("split between LF and CR LF", [get[:-3], get[-3:]]),
            ("every byte apart", [get[i:i + 1] for i in range(len(get))]),
        ]
        for what, parts in cases:
            self.assertTrue(pieces(parts, 0.01).endswith(b"hello-world\n"), what)
        # One request per connection: the second of a pipelined pair is not read.
        before = len(self.origin.log)
        got = pieces([get + get])
        self.assertEqual(1, got.count(b"HTTP/1.0 200 Fresh"))
        self.assertEqual(1, len(self.origin.log) - before)
        # A body of 4 and 6 bytes arrives as one request.
        post = P(b"POST http://127.0.0.2:8000/echo HTTP/1.0\r\nContent-Length: 10\r\n\r\n")
        before = len(self.origin.log)
        self.assertTrue(pieces([post + b"0123", b"456789"], 0.3).endswith(b"\r\n\r\n0123456789"))
        self.assertEqual([b"0123456789"], [body for _, body in self.origin.log[before:]])

    def test_invalid_responses_get_406(self):
        for path in (b"/hugeheader", b"/zeroheader"):
            lines, body = head_and_body(exchange(b"GET http://127.0.0.2:8000%s HTTP/1.0\r\n\r\n" % path))
            self.assertEqual("HTTP/1.0 406 Invalid Response", lines[0], path)
            self.assertIn(b"Invalid Response", body)
        self.assert_normal_request_works()

    @unittest.skipUnless(shutil.which("nginx"), "nginx-light is not installed")
    def test_http11_origin_answers_at_once(self):
        self.assertTrue(wait_for(lambda: listening("127.0.0.2", PORTS[8081])))
        start = time.time()
        raw = exchange(b"GET http://127.0.0.2:8081/small.txt HTTP/1.1\r\nHost: 127.0.0.2:8081\r\n"
                       b"Connection: keep-alive\r\n\r\n")
        self.assertLess(time.time() - start, 10)
        lines, body = head_and_body(raw)
        self.assertTrue(lines[0].startswith("HTTP/1.1 200"), lines)
        self.assertEqual(b"served by nginx\n", body)

    def test_two_parallel_big_downloads(self):
        want = hashlib.sha256(self.origin.big).hexdigest()
        runs = [subprocess.Popen(P("curl -s -m 400 -x %s http://127.0.0.2:8000/big.bin | sha256sum" % PROXY),
                                 shell=True, stdout=subprocess.PIPE) for _ in range(2)]
        for r in runs:
            out, _ = r.communicate(timeout=450)
            self.assertEqual(want, out.split()[0].decode())

    def test_connect_tunnel(self):
        verbose = subprocess.run(["curl", "-s", "-v", "-k", "-p", "-x", P(PROXY), "-o", "/dev/null",
                                  P("https://127.0.0.2:8443/cert.pem")], capture_output=True, timeout=120)
        self.assertIn(b"HTTP/1.0 200 Connection established", verbose.stderr)
        s = socket.create_connection(("127.0.0.1", PORTS[8080]), WAIT)
        s.sendall(P(b"CONNECT 127.0.0.2:8000 HTTP/1.0\r\n\r\n"))
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += s.recv(4096)
        self.assertEqual(b"HTTP/1.0 200 Connection established\r\n\r\n", reply)
        s.sendall(b"GET /a.html HTTP/1.0\r\n\r\n")
        got = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break  # the origin closed: so did the tunnel
            got += chunk
        s.close()
        self.assertTrue(got.startswith(b"HTTP/1.0 200 Fresh") and got.endswith(b"hello-world\n"), got)
        # The browser closing its end closes the server's.
        far = socket.socket()
        far.bind(("127.0.0.2", 0))
        far.listen(1)
        s = socket.create_connection(("127.0.0.1", PORTS[8080]), WAIT)
        s.sendall(b"CONNECT 127.0.0.2:%d HTTP/1.0\r\n\r\n" % far.getsockname()[1])
        far.settimeout(WAIT)
        end, _ = far.accept()
        end.settimeout(WAIT)
        self.assertEqual(b"HTTP/1.0 200 Connection established\r\n\r\n", s.recv(4096))
        s.sendall(b"ping")
        self.assertEqual(b"ping", end.recv(4096))
        s.close()
        self.assertEqual(b"", end.recv(4096))
        end.close()
        far.close()
        want = hashlib.sha256(self.origin.big).hexdigest()
        out = subprocess.run(P("curl -s -k -m 400 -x %s https://127.0.0.2:8443/big.bin | sha256sum" % PROXY),
                             shell=True, capture_output=True, timeout=450).stdout
        self.assertEqual(want, out.split()[0].decode())

    def test_invalid_requests_get_407_and_close(self):
        cases = [
            ("unknown method", b"FOO / HTTP/1.0\r\n\r\n"),
            ("https scheme", b"GET https://127.0.0.2/ HTTP/1.0\r\n\r\n"),
            ("userinfo", b"GET http://u:p@127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n"),
            ("two lengths", b"POST http://127.0.0.2:8000/echo HTTP/1.0\r\nContent-Length: 1\r\n"
                            b"Content-Length: 2\r\n\r\nab"),
            ("transfer coding", b"POST http://127.0.0.2:8000/echo HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n"),
            ("blank before colon", b"POST http://127.0.0.2:8000/echo HTTP/1.0\r\nContent-Length : 5\r\n\r\nabcde"),
            ("bad length", b"POST http://127.0.0.2:8000/echo HTTP/1.0\r\nContent-Length: 5x\r\n\r\nabcde"),
            ("zero byte", b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\nX-A: a\x00b\r\n\r\n"),
            ("long header", b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\nX-A: " + b"a" * 20000 + b"\r\n\r\n"),
            ("long line", b"GET http://127.0.0.2:8000/" + b"a" * 20000 + b" HTTP/1.0\r\n\r\n"),
        ]
        for what, data in cases:
            lines, body = head_and_body(exchange(data))
            self.assertEqual("HTTP/1.0 407 Invalid Request", lines[0], what)
            self.assertIn("Content-Type: text/html", lines, what)
            self.assertIn("Expires: Mon, 01 Jan 1990 00:00:00 GMT", lines, what)
            self.assertIn(b"Invalid Request", body, what)
            self.assert_normal_request_works()

    def test_failed_connections_answer_with_their_pages(self):
        lines, body = head_and_body(exchange(b"GET http://no-such-host.invalid/ HTTP/1.0\r\n\r\n"))
        self.assertEqual("HTTP/1.0 419 No Connection", lines[0])
        with open(os.path.join(PAGES, "noconnnh.htm"), "rb") as f:
            self.assertEqual(f.read().rstrip(b"\x00 "), body.rstrip(b" "))
        start = time.time()
        lines, body = head_and_body(exchange(b"GET http://127.0.0.2:9/ HTTP/1.0\r\n\r\n"))
        self.assertEqual("HTTP/1.0 421 No Connection", lines[0])
        self.assertLess(time.time() - start, 10)
        self.assert_normal_request_works()
        # Without Host: an absolute URL goes on, a path alone is the gateway's own.
        self.assert_normal_request_works()
        lines, _ = head_and_body(exchange(b"GET /nosuch.htm HTTP/1.0\r\n\r\n"))
        self.assertEqual("HTTP/1.0 404 Not Found", lines[0])

    def test_site_pages(self):
        lines, body = head_and_body(exchange(b"GET /nosuch.htm HTTP/1.0\r\n\r\n"))
        self.assertEqual("HTTP/1.0 404 Not Found", lines[0])
        self.assertIn("Content-Type: text/html", lines)
        self.assertIn("Content-Length: %d" % len(body), lines)
        self.assertIn(b"nosuch.htm", body)
        self.assertEqual("HTTP/1.0 418 Invalid Password", head_and_body(exchange(b"GET /418 HTTP/1.0\r\n\r\n"))[0][0])
        for query in (b"?pswd=bad", b""):
            lines, _ = head_and_body(exchange(b"GET http://Quorvane/Gateway-Administration%s HTTP/1.0\r\n\r\n"
                                              % query))
            self.assertEqual("HTTP/1.0 418 Invalid Password", lines[0], query)
        lines, body = head_and_body(exchange(b"GET /proxy HTTP/1.0\r\n\r\n"))
        self.assertIn("Content-Type: application/x-ns-proxy-autoconfig", lines)
        self.assertIn("Expires: Mon, 01 Jan 1990 00:00:00 GMT", lines)
        self.assertEqual(P(b'function FindProxyForURL(u,h){return "PROXY 127.0.0.1:8080";} '), body)
        # A page the browser has is not sent again.
        lines, body = head_and_body(exchange(b"GET /help.htm HTTP/1.0\r\n"
                                             b"If-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT\r\n\r\n"))
        self.assertEqual(["HTTP/1.0 304 NOT MODIFIED"], lines[:1])
        self.assertEqual(b"", body)
        # A script with more '%' than it has places is no script.
        script = os.path.join(self.gateway.dir, "proxy.pas")
        with open(script, "rb") as f:
            kept = f.read()
        try:
            with open(script, "wb") as f:
                f.write(b'function FindProxyForURL(u,h){return "PROXY %s %s %s %s %s %s %s";}')
            self.assertEqual("HTTP/1.0 404 Not Found", head_and_body(exchange(b"GET /proxy HTTP/1.0\r\n\r\n"))[0][0])
        finally:
            with open(script, "wb") as f:
                f.write(kept)

    def test_log_lines(self):
        exchange(b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n")
        log = lambda: self.gateway.log()  # noqa: E731
        self.assertTrue(wait_for(lambda: "HTTP result  from 127.0.0.2 to " in log()), log()[-2000:])
        self.assertRegex(log(), r"HTTP request from \S+ to 127\.0\.0\.2 \(ID=[0-9a-f]+\),  ")
        self.assertRegex(log(), r"HTTP result  from 127\.0\.0\.2 to \S+ \(ID=[0-9a-f]+\),    Status: 200 Fresh")


class UpstreamTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.origin = Origin(port=PORTS[8000])
        cls.recorder = Recorder(port=PORTS[3128])
        proxies = ("[HTTP Proxies]\nProxies=YES\nProxy HTTP Address=127.0.0.3\nProxy HTTP Port=3128\n"
                   "Proxy SSL Address=127.0.0.3\nProxy SSL Port=3128\nProxy FTP Address=127.0.0.3\n"
                   "Proxy FTP Port=3128\n")
        cls.gateway = start_gateway("http_upstream", proxies)

    @classmethod
    def tearDownClass(cls):
        cls.gateway.close()
        cls.recorder.close()
        cls.origin.close()

    def test_requests_go_to_the_upstream_proxy_in_absolute_form(self):
        cases = [
            (b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n", "GET http://127.0.0.2:8000/a.html HTTP/1.0",
             b"HTTP/1.0 200 Recorded"),
            (b"GET ftp://127.0.0.2:2121/pub/ HTTP/1.0\r\n\r\n", "GET ftp://127.0.0.2:2121/pub/ HTTP/1.0",
             b"HTTP/1.0 200 Recorded"),
            (b"CONNECT 127.0.0.2:8000 HTTP/1.0\r\n\r\n", "CONNECT 127.0.0.2:8000 HTTP/1.0",
             b"HTTP/1.0 200 Tunnel from the recorder\r\nX-Recorder: yes\r\n\r\n"),
        ]
        for sent, line, answer in cases:
            before = len(self.recorder.log)
            s = socket.create_connection(("127.0.0.1", PORTS[8080]), WAIT)
            s.sendall(P(sent))
            got = b""
            while not got.startswith(answer):
                chunk = s.recv(65536)
                if not chunk:
                    break
                got += chunk
            self.assertTrue(got.startswith(answer), (line, got))
            self.assertEqual(P(line), self.recorder.log[before][0])
            if sent.startswith(b"CONNECT"):
                s.sendall(b"GET /a.html HTTP/1.0\r\n\r\n")
                while not got.endswith(b"hello-world\n"):
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    got += chunk
                self.assertTrue(got.endswith(b"hello-world\n"), got)
            s.close()


class AdmissionTest(unittest.TestCase):
    """Logins and a real upstream proxy: tinyproxy carries pages and tunnels."""

    @classmethod
    def setUpClass(cls):
        cls.origin = Origin(port=PORTS[8000])
        cls.work = tempfile.mkdtemp(prefix="qvhttpadm")
        cls.tinyproxy = start_program(cls.work, "tinyproxy", TINYPROXY_CONF, ["tinyproxy", "-d", "-c", "{conf}"],
                                      P)
        cls.tls = subprocess.Popen(["openssl", "s_server", "-WWW", "-accept", P("127.0.0.2:8443"), "-cert", "cert.pem",
                                    "-key", "key.pem"], cwd=cls.work, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL) if cls.make_certificate() else None
        proxies = ("[HTTP Proxies]\nProxies=YES\nProxy HTTP Address=127.0.0.3\nProxy HTTP Port=3129\n"
                   "Proxy SSL Address=127.0.0.3\nProxy SSL Port=3129\n") if cls.tinyproxy else ""
        cls.gateway = start_gateway("http_admission", proxies, users="127.0.0.1=PC\n127.0.0.4=Other\n",
                                    extra="Maximum Users=1\n")

    @classmethod
    def make_certificate(cls):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.2", "-keyout", os.path.join(cls.work, "key.pem"), "-out",
                        os.path.join(cls.work, "cert.pem")], capture_output=True, check=True)
        return True

    @classmethod
    def tearDownClass(cls):
        cls.gateway.close()
        for program in (cls.tinyproxy, cls.tls):
            if program:
                program.terminate()
                program.wait(30)
        cls.origin.close()
        shutil.rmtree(cls.work, ignore_errors=True)

    def client(self, source):
        s = socket.socket()
        s.settimeout(WAIT)
        s.bind((source, 0))
        s.connect(("127.0.0.1", PORTS[8080]))
        return s

    def test_refusals_make_no_outbound_connection(self):
        before = len(self.origin.log)
        s = self.client("127.0.0.5")
        s.sendall(P(b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n"))
        lines, _ = head_and_body(read_all(s))
        s.close()
        self.assertEqual("HTTP/1.0 409 User Not Authorized", lines[0])
        # The one place is taken while a slow answer runs.
        holder = self.client("127.0.0.1")
        holder.sendall(P(b"GET http://127.0.0.2:8000/slow HTTP/1.0\r\n\r\n"))
        self.assertTrue(wait_for(lambda: len(self.origin.log) > before))
        s = self.client("127.0.0.4")
        s.sendall(P(b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n"))
        lines, _ = head_and_body(read_all(s))
        s.close()
        self.assertEqual("HTTP/1.0 410 Maximum user count exceeded.", lines[0])
        self.assertTrue(read_all(holder).endswith(b"slow-slow-slow-slow-"))
        holder.close()
        self.assertEqual(1, len(self.origin.log) - before)

    @unittest.skipUnless(shutil.which("tinyproxy"), "tinyproxy is not installed")
    def test_tinyproxy_carries_a_page_and_a_tunnel(self):
        self.assertTrue(wait_for(lambda: listening("127.0.0.3", PORTS[3129])))
        lines, body = head_and_body(exchange(b"GET http://127.0.0.2:8000/a.html HTTP/1.0\r\n\r\n"))
        self.assertIn("200", lines[0])
        self.assertEqual(b"hello-world\n", body)
        with open(os.path.join(self.work, "cert.pem"), "rb") as f:
            want = f.read()
        got = curl("-k", "-x", PROXY, "https://127.0.0.2:8443/cert.pem", binary=True)
        self.assertEqual(want, got)


if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
