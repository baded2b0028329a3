"""FTP servers the FTP proxy is tested against, on loopback ports picked at
run time: pyftpdlib (a real server, in this process, logging every command it
received), vsftpd (Debian's, as a child process with its protocol log) and a
scripted server whose replies a test writes line by line."""
import logging
import os
import re
import socket
import subprocess
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

logging.getLogger("pyftpdlib").setLevel(logging.WARNING)


class RealServer:
    """pyftpdlib serving root read-write to anonymous; commands lists every
    (command, argument) received, in order, and cut the files whose sending
    the client ended early."""

    def __init__(self, root, greeting="pyftpdlib ready.", host="127.0.0.1"):
        self.commands = []
        self.cut = []
        self.greeting = greeting
        authorizer = DummyAuthorizer()
        authorizer.add_anonymous(root, perm="elradfmwMT")
        server = self

        class Handler(FTPHandler):
            banner = greeting

            def pre_process_command(self, line, cmd, arg):
                server.commands.append((cmd, arg))
                return super().pre_process_command(line, cmd, arg)

            def on_incomplete_file_sent(self, file):
                server.cut.append(file)

        Handler.authorizer = authorizer
        Handler.permit_foreign_addresses = False
        self.ftpd = ThreadedFTPServer((host, 0), Handler)
        self.port = self.ftpd.socket.getsockname()[1]
        self.thread = threading.Thread(target=self.ftpd.serve_forever, kwargs={"timeout": 0.2}, daemon=True)
        self.thread.start()

    def seen(self, name):
        return [arg for cmd, arg in self.commands if cmd == name]

    def passwords(self):
        return self.seen("PASS")

    def stop(self):
        self.ftpd.close_all()


class Vsftpd:
    """vsftpd serving root read-write to anonymous, in the foreground as the
    launching user, from a configuration file of its own in scratch; commands
    and passwords come from its protocol log."""

    VSFTPD = "/usr/sbin/vsftpd"
    COMMAND = re.compile(r'FTP command: Client "[^"]*", "([^"]*)"')
    PASSWORD = re.compile(r'OK LOGIN: Client "[^"]*", anon password "([^"]*)"')

    def __init__(self, root, scratch, port, greeting="vsftpd ready."):
        self.port = port
        self.greeting = greeting
        self.log = os.path.join(scratch, "vsftpd.log")
        empty = os.path.join(scratch, "empty")
        os.makedirs(empty, exist_ok=True)
        config = os.path.join(scratch, "vsftpd.conf")
        with open(config, "w") as f:
            f.write("\n".join([
                "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1", "listen_port=%d" % port,
                "background=NO", "run_as_launching_user=YES", "seccomp_sandbox=NO",
                "anonymous_enable=YES", "local_enable=NO", "anon_root=" + root, "no_anon_password=NO",
                "write_enable=YES", "anon_upload_enable=YES", "connect_from_port_20=NO",
                "secure_chroot_dir=" + empty, "ftpd_banner=" + greeting,
                "xferlog_enable=YES", "xferlog_std_format=NO", "log_ftp_protocol=YES",
                "vsftpd_log_file=" + self.log, ""]))
        self.process = subprocess.Popen([self.VSFTPD, config], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def _log(self):
        try:
            with open(self.log, encoding="latin-1") as f:
                return f.read()
        except OSError:
            return ""

    @property
    def commands(self):
        """(command, argument) received, in order; PASS shows no argument."""
        out = []
        for line in self.COMMAND.findall(self._log()):
            cmd, _, arg = line.partition(" ")
            out.append((cmd.upper(), "" if cmd.upper() == "PASS" else arg))
        return out

    def seen(self, name):
        return [arg for cmd, arg in self.commands if cmd == name]

    def passwords(self):
        return self.PASSWORD.findall(self._log())

    def stop(self):
        self.process.terminate()
        self.process.wait(30)


class Scripted:
    """Accepts one control connection at a time and runs script(conn, server)
    on it; a script reads lines with line() and writes raw bytes."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(5)
        self.port = self.listener.getsockname()[1]
        self.script = None
        self.received = []
        self.errors = []
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            conn.settimeout(30)
            try:
                if self.script:
                    self.script(Conversation(conn, self))
            except Exception as e:  # noqa: BLE001 - reported by the test
                self.errors.append(repr(e))
            finally:
                conn.close()

    def stop(self):
        self.listener.close()


class Conversation:
    def __init__(self, conn, server):
        self.conn = conn
        self.server = server
        self.buffer = b""

    def send(self, data):
        self.conn.sendall(data)

    def line(self):
        while b"\n" not in self.buffer:
            chunk = self.conn.recv(65536)
            if not chunk:
                raise EOFError("client closed")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        self.server.received.append(line + b"\n")
        return line.rstrip(b"\r")

    def data_to(self, port_line):
        """Connects to the address of a PORT line."""
        fields = [int(x) for x in port_line.split(b" ", 1)[1].split(b",")]
        s = socket.create_connection(("%d.%d.%d.%d" % tuple(fields[:4]), fields[4] * 256 + fields[5]), 30)
        return s


def write_file(path, size, seed=0):
    block = bytes((i * 7 + seed) & 255 for i in range(65536))
    with open(path, "wb") as f:
        left = size
        while left > 0:
            f.write(block[:min(left, len(block))])
            left -= len(block)
    return path


def sha(data):
    import hashlib
    return hashlib.sha256(data).hexdigest()


def file_sha(path):
    with open(path, "rb") as f:
        return sha(f.read())


def make_tree(root):
    os.makedirs(os.path.join(root, "dir"), exist_ok=True)
    write_file(os.path.join(root, "big.bin"), 3 * 1024 * 1024)
    with open(os.path.join(root, "dir", "a.txt"), "wb") as f:
        f.write(b"first line\r\nsecond line\r\n")
