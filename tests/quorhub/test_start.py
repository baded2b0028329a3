"""quorhub end to end: what runs before the console window."""
import argparse
import sys
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

    def test_default_configuration_runs_the_start_chain_and_ends(self):
        # No service is built into quorhub yet: the start reports it and shuts down.
        with open(ARGS.default_ini) as f:
            g = self.gateway("default", f.read())
        g.start()
        self.assertEqual(0, g.wait(120), g.log())
        log = g.log()
        self.assertIn("Quorvane Steadfell Version 1.11.087 System log started", log)
        self.assertIn("Unable to Start Quorvane: Unable to start server applications!", log)
        self.assertTrue(log.rstrip().endswith("Quorvane Steadfell Version 1.11.087 System log stopped"), log)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--arch", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--default-ini", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
