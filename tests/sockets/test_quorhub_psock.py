"""quorhub with psock32 named as its socket library: curl fetches through the
HTTP proxy while every socket call of the gateway goes through psock32 and the
stand-ins of the 16-bit stack, copied into the run's directory."""
import functools
import hashlib
import http.server
import os
import shutil
import subprocess
import sys
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "quorhub"))
import e2e  # noqa: E402
import quorhub_run  # noqa: E402

ARGS = None
# A port of its own: other gateways on this machine may hold 8080.
PORT = e2e.free_port()
LIBRARIES = ("psock32.dll", "flatthk.dll", "PWSK16.dll")
INI = """[Server Configuration]
Local User Name=Admin
[Server Communications]
TCP/IP Outbound Interfaces=DEFAULT
TCP/IP Inbound Winsock=PSOCK32.DLL
TCP/IP Outbound Winsock=PSOCK32.DLL
[Applications]
HTTP=YES
TELNET=NO
[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=16
TCP/IP Outbound Port=80
[HTTP Cache]
Cache=NO
[Network Interface - Line 1]
Phonebook Entry=none
[Authorized Users]
*.*=Guest
"""


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class QuorhubOverPsock32(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = os.path.join(ARGS.build, "quorhub-runs", "psock32-origin")
        shutil.rmtree(cls.files, ignore_errors=True)
        os.makedirs(cls.files)
        cls.data = bytes((i * 131 + (i >> 9)) % 256 for i in range(3 * 1024 * 1024))
        with open(os.path.join(cls.files, "big.bin"), "wb") as f:
            f.write(cls.data)
        handler = functools.partial(Quiet, directory=cls.files)
        cls.origin = http.server.ThreadingHTTPServer(("127.0.0.2", 0), handler)
        cls.port = cls.origin.server_address[1]
        threading.Thread(target=cls.origin.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.origin.shutdown()
        shutil.rmtree(cls.files, ignore_errors=True)

    def gateway(self, name, libraries):
        g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, name, INI.replace("{port}", str(PORT)))
        # The run's directory is quorhub's current one, where the search finds them.
        for library in libraries:
            shutil.copy(os.path.join(ARGS.build, "sockets", library), g.dir)
        self.addCleanup(g.close)
        g.start()
        return g

    def test_curl_fetches_byte_for_byte_through_psock32(self):
        g = self.gateway("psock32", LIBRARIES)
        self.assertTrue(e2e.wait_for(lambda: e2e.listening("127.0.0.1", PORT), 90), g.log())
        url = "http://127.0.0.2:%d/big.bin" % self.port
        direct = subprocess.run(["curl", "-s", "-m", "120", url], capture_output=True).stdout
        run = subprocess.run(["curl", "-sS", "-m", "300", "-x", "127.0.0.1:%d" % PORT, url], capture_output=True)
        proxied = run.stdout
        self.assertEqual((0, len(self.data)), (run.returncode, len(proxied)), run.stderr)
        if proxied != self.data:
            at = next(i for i in range(len(proxied)) if proxied[i] != self.data[i])
            self.fail("first difference at byte %d" % at)
        self.assertEqual(hashlib.sha256(self.data).hexdigest(), hashlib.sha256(direct).hexdigest())
        self.assertEqual(hashlib.sha256(direct).hexdigest(), hashlib.sha256(proxied).hexdigest())
        self.assertEqual(0, g.stop())
        self.assertNotIn("Unable to start", g.log())

    def test_without_the_sixteen_bit_stack_the_proxy_does_not_start(self):
        # The named library is the one used: without its stack the service fails to start.
        g = self.gateway("psock32-nostack", LIBRARIES[:2])
        self.assertTrue(e2e.wait_for(lambda: "Unable to start application HTTP" in g.log(), 90), g.log())
        self.assertFalse(e2e.listening("127.0.0.1", PORT))


if __name__ == "__main__":
    e2e.main(sys.modules[__name__])
