"""Shift held at Exit: quorhub ends at once and leaves the line it dialed up.
Apart from the other line runs because Shift, pressed through SendInput, is
seen by every program on the display."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "quorhub"))
import e2e  # noqa: E402
import test_dialing  # noqa: E402

MENU_EXIT = 0x4B1
WM_COMMAND = 0x111


class ShiftExitTest(test_dialing.HubTest):
    def test_shift_held_at_exit_asks_nothing_and_leaves_the_line_up(self):
        g = self.hub("exit-shift", idle=0)
        self.assertTrue(g.wait_for(lambda: "Office : Connection completed." in g.log()), g.log())
        # Sent, not posted: the driver lets Shift go only after Exit was handled.
        g.drive("send", g.main_window(), WM_COMMAND, MENU_EXIT, 0, "shift")
        self.assertEqual(0, g.wait(120), g.log())
        self.assertEqual([], g.boxes())
        self.assertEqual([], g.journal("RasHangUpA"), g.log())
        self.assertNotIn("Office : Connection closed.", g.log())


if __name__ == "__main__":
    e2e.main(sys.modules[__name__], test_dialing)
