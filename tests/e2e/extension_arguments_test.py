"""The extension's command line: settled before it makes a folder or waits for an event."""

import os
import unittest

from harness import RootTestCase

EXTENSION = "com.vorla.client.extension"
EX_USAGE = 64


class ExtensionArgumentsTest(RootTestCase):
    # Without VORLA_ES_SOURCE a started extension waits for events until it is stopped, so a run
    # that does not end within the bound started instead of refusing.
    def run_extension(self, *args):
        result = self.run_program(EXTENSION, *args, timeout=60)
        self.assertEqual(os.listdir(self.root), [], "the extension made files before it settled its arguments")
        return result

    def test_help_prints_the_usage_and_succeeds(self):
        result = self.run_extension("--help")
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertTrue(result.stdout.startswith(f"Usage: {EXTENSION} [--help]\n"), result.stdout)

    def test_an_unknown_argument_fails_with_the_usage(self):
        for args in (["--bogus"], ["-h"], ["help"], [""], ["--help=1"], ["load"], ["--bogus", "--help"]):
            with self.subTest(args=args):
                result = self.run_extension(*args)
                self.assertEqual((result.returncode, result.stdout), (EX_USAGE, ""))
                self.assertTrue(result.stderr.startswith(f"{EXTENSION}: unknown argument: {args[0]}\nUsage: "),
                                result.stderr)


if __name__ == "__main__":
    unittest.main()
