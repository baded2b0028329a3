"""The peers of the HTTP proxy's end-to-end tests: an origin on 127.0.0.2 that
logs each request's line and header block and answers in the ways a proxy must
pass on unchanged, and a recording upstream proxy on 127.0.0.3 that answers
requests itself and relays CONNECT tunnels."""
import hashlib
import socket
import socketserver
import threading
import time

BIG_SIZE = 50 * 1000 * 1000


def big_bytes():
    """The same 50 MB every time, made quickly: a block of hashes repeated."""
    block = b"".join(hashlib.sha256(str(i).encode()).digest() for i in range(32768))
    whole = block * (BIG_SIZE // len(block) + 1)
    return whole[:BIG_SIZE]


def read_head(rfile):
    """The request line and header lines up to the empty line, as text."""
    lines = []
    while True:
        line = rfile.readline(65537)
        if not line or line in (b"\r\n", b"\n"):
            break
        lines.append(line.decode("latin-1").rstrip("\r\n"))
    return lines


def content_length(lines):
    for line in lines[1:]:
        name, _, value = line.partition(":")
        if name.strip().lower() == "content-length":
            return int(value.strip())
    return 0


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


class Origin:
    """Answers by path; every request's lines go to self.log."""

    def __init__(self, host="127.0.0.2", port=8000):
        self.log = []
        self.big = big_bytes()
        origin = self

        class Handler(socketserver.StreamRequestHandler):
            def handle(self):
                lines = read_head(self.rfile)
                if not lines:
                    return
                body = self.rfile.read(content_length(lines)) if content_length(lines) else b""
                origin.log.append((lines, body))
                origin.answer(lines, body, self.wfile)

        self.server = Server((host, port), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def answer(self, lines, body, w):
        path = lines[0].split(" ")[1] if " " in lines[0] else "/"
        if path == "/a.html":
            w.write(b"HTTP/1.0 200 Fresh\r\nX-First: 1\r\nContent-Type: text/html\r\nX-Second: 2\r\n"
                    b"Content-Length: 12\r\n\r\nhello-world\n")
        elif path == "/close":
            w.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nno length, up to the close\n")
        elif path == "/chunked":
            w.write(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                    b"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n")
        elif path == "/old":
            w.write(b"an answer of HTTP/0.9: no status line\n")
        elif path == "/hugeheader":
            w.write(b"HTTP/1.0 200 OK\r\nX-Big: " + b"b" * 20000 + b"\r\nContent-Length: 2\r\n\r\nok")
        elif path == "/zeroheader":
            w.write(b"HTTP/1.0 200 OK\r\nX-Zero: a\x00b\r\nContent-Length: 2\r\n\r\nok")
        elif path == "/echo":
            w.write(b"HTTP/1.0 200 Echo\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        elif path == "/slow":
            w.write(b"HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n")
            for _ in range(4):
                w.write(b"slow-")
                w.flush()
                time.sleep(0.5)
        elif path == "/big.bin":
            w.write(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(self.big))
            w.write(self.big)
        else:
            w.write(b"HTTP/1.0 404 Nothing Here\r\nContent-Length: 0\r\n\r\n")

    def requests(self):
        return [lines[0] for lines, _ in self.log]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Recorder:
    """An upstream proxy: logs request lines, answers them, relays tunnels."""

    def __init__(self, host="127.0.0.3", port=3128):
        self.log = []
        recorder = self

        class Handler(socketserver.StreamRequestHandler):
            def handle(self):
                lines = read_head(self.rfile)
                if not lines:
                    return
                recorder.log.append(lines)
                words = lines[0].split(" ")
                if words[0] != "CONNECT":
                    self.wfile.write(b"HTTP/1.0 200 Recorded\r\nContent-Length: 8\r\n\r\nrecorded")
                    return
                host, _, port = words[1].rpartition(":")
                far = socket.create_connection((host, int(port)))
                self.wfile.write(b"HTTP/1.0 200 Tunnel from the recorder\r\nX-Recorder: yes\r\n\r\n")
                self.wfile.flush()
                relay(self.connection, far)

        self.server = Server((host, port), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def relay(a, b):
    """Both ways until either side closes."""
    def pump(src, dst):
        try:
            while True:
                data = src.recv(65536)
                if not data:
                    break
                dst.sendall(data)
        except OSError:
            pass
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    t = threading.Thread(target=pump, args=(b, a), daemon=True)
    t.start()
    pump(a, b)
    t.join(30)


NGINX_CONF = """worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/nginx.err;
events {{ worker_connections 64; }}
http {{
    access_log off;
    client_body_temp_path {work}/nginx-body;
    proxy_temp_path {work}/nginx-proxy;
    fastcgi_temp_path {work}/nginx-fcgi;
    uwsgi_temp_path {work}/nginx-uwsgi;
    scgi_temp_path {work}/nginx-scgi;
    server {{ listen 127.0.0.2:8081; root {work}; }}
}}
"""

TINYPROXY_CONF = """Port 3129
Listen 127.0.0.3
Timeout 60
Allow 127.0.0.1
ConnectPort 8443
LogLevel Error
MaxClients 20
"""


def start_program(work, name, text, command, ports=lambda t: t):
    """A Debian server with a generated configuration in work (ports maps the
    port numbers it names); None when not installed."""
    import shutil as _shutil
    import subprocess as _subprocess
    if not _shutil.which(command[0]):
        return None
    path = "%s/%s.conf" % (work, name)
    with open(path, "w") as f:
        f.write(ports(text.format(work=work)))
    return _subprocess.Popen([c.replace("{conf}", path) for c in command], stdout=_subprocess.DEVNULL,
                             stderr=_subprocess.DEVNULL)
