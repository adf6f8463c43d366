"""The menu-bar app starts without a command, and only when there is a display to show it on."""

import os
import plistlib
import signal
import subprocess
import time
import unittest

from harness import BIN_DIR, RootTestCase, program

DISPLAY_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")


class MenuBarAppTest(RootTestCase):
    def start(self, *args, **extra):
        env = self.env(**extra)
        for name in DISPLAY_VARIABLES:
            if name not in extra:
                env.pop(name, None)
        return subprocess.Popen([program("vorla"), *args], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def test_runs_without_a_system_tray_until_terminated(self):
        for args in ((), ("-NSDocumentRevisionsDebugMode",), ("-NSTreatUnknownArgumentsAsOpen", "load")):
            with self.subTest(args=args):
                app = self.start(*args, QT_QPA_PLATFORM="offscreen")
                try:
                    time.sleep(1.5)
                    self.assertIsNone(app.poll(), "the app ended by itself")
                    app.send_signal(signal.SIGTERM)
                    stdout, stderr = app.communicate(timeout=30)
                finally:
                    if app.poll() is None:
                        app.kill()
                        app.communicate(timeout=30)
                self.assertEqual(app.returncode, 0)
                self.assertEqual(stdout, "")
                self.assertEqual([line for line in stderr.splitlines() if line.startswith("vorla:")],
                                 ["vorla: the menu-bar icon cannot be shown: the desktop offers no system tray; "
                                  "use \"vorla load\" and \"vorla unload\" instead"])

    def test_without_a_display_says_so_and_commands_still_work(self):
        app = self.start()
        stdout, stderr = app.communicate(timeout=30)
        self.assertEqual(app.returncode, 1)
        self.assertEqual(stdout, "")
        self.assertIn("no display", stderr)

        helped = self.start("help")
        stdout, _ = helped.communicate(timeout=30)
        self.assertEqual(helped.returncode, 0)
        self.assertTrue(stdout.startswith("vorla system extension loader\n"))

    def test_info_plist_lies_beside_the_program(self):
        with open(os.path.join(BIN_DIR, "Info.plist"), "rb") as handle:
            info = plistlib.load(handle)
        for key in ("CFBundleShortVersionString", "GithubURL", "EmailAddress"):
            self.assertIsInstance(info.get(key), str, key)


if __name__ == "__main__":
    unittest.main()
