"""quorhub end to end: what runs before the console window."""
import argparse
import socket
import sys
import time
import unittest

import quorhub_run

ARGS = None


class StartTest(unittest.TestCase):
    def gateway(self, name, ini=None):
        g = quorhub_run.Gateway(ARGS.build, ARGS.arch, ARGS.source, name, ini)
        self.addCleanup(g.close)
        return g

    def test_invalid_value_shows_a_box_and_starts_nothing(self):
        g = self.gateway("invalid", "[Server Configuration]\nTrace Buffer=65537\n")
        g.start()
        self.assertEqual(0, g.wait(120))
        self.assertIn(("Invalid profile value for ", "Trace Buffer"), g.boxes())
        self.assertIn("Invalid profile value for Trace Buffer", g.log())

    def test_no_configuration_directory_ends_with_code_1(self):
        g = self.gateway("noconfig")
        g.start()
        self.assertEqual(1, g.wait(120))
        self.assertIn("'INI100-0'", g.log())
        boxes = g.wait_for_boxes(1)
        self.assertTrue(any("'INI100-0'" in text for _, text in boxes), boxes)

    def test_default_configuration_serves_telnet_until_closed(self):
        # The default configuration runs the Telnet gateway on port 2323.
        with open(ARGS.default_ini) as f:
            g = self.gateway("default", f.read())
        g.start()
        end = time.time() + 120
        while "is now ready" not in g.log() and g.program.poll() is None and time.time() < end:
            time.sleep(0.1)
        with socket.create_connection(("127.0.0.1", 2323), timeout=30) as client:
            banner = b""
            while not banner.endswith(b"Gateway> "):
                chunk = client.recv(1024)
                if not chunk:
                    break
                banner += chunk
        self.assertTrue(banner.startswith(b"Welcome to the Quorvane TELNET Gateway.\r\n"), banner)
        self.assertEqual(0, g.stop(120), g.log())
        log = g.log()
        self.assertIn("Quorvane Steadfell Version 1.11.087 System log started", log)
        self.assertTrue(log.rstrip().endswith("Quorvane Steadfell Version 1.11.087 System log stopped"), log)

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--default-ini", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
