"""The scripts' command lines: --help, and arguments a script does not know, refused before any work."""

import os
import shutil
import subprocess
import tempfile
import unittest

SCRIPTS = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
# Every tool a script could start its work with; each stub notes that it ran, then fails.
TOOLS = ["apt-get", "dpkg-query", "sudo", "cmake", "ninja", "ctest", "clang", "clang++",
         "clang-format", "git", "nproc"]
EX_USAGE = 64


def scripts():
    return sorted(name for name in os.listdir(SCRIPTS)
                  if os.path.isfile(os.path.join(SCRIPTS, name)) and os.access(os.path.join(SCRIPTS, name), os.X_OK))


class ScriptArgumentsTest(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="vorla-scripts-")
        self.stubs = os.path.join(self._tmp.name, "bin")
        self.ran = os.path.join(self._tmp.name, "ran")
        os.mkdir(self.stubs)
        for tool in TOOLS:
            stub = os.path.join(self.stubs, tool)
            with open(stub, "w", encoding="ascii") as handle:
                handle.write(f'#!/bin/sh\necho {tool} >>"{self.ran}"\nexit 1\n')
            os.chmod(stub, 0o755)

    def tearDown(self):
        self._tmp.cleanup()

    def run_script(self, name, *args):
        if os.path.exists(self.ran):
            os.remove(self.ran)
        env = dict(os.environ, PATH=self.stubs + ":/usr/bin:/bin")
        return subprocess.run([os.path.join(SCRIPTS, name), *args], env=env, capture_output=True,
                              text=True, timeout=60, stdin=subprocess.DEVNULL)

    def assertNothingRan(self):
        self.assertFalse(os.path.exists(self.ran), "a tool ran before the arguments were accepted")

    def test_every_script_has_arguments_checked(self):
        self.assertEqual(scripts(), ["demo", "format", "fuzz", "setup", "test"])

    def test_help_prints_the_usage_and_succeeds(self):
        for name in scripts():
            with self.subTest(name):
                result = self.run_script(name, "--help")
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertTrue(result.stdout.startswith(f"Usage: scripts/{name} "), result.stdout)
                self.assertNothingRan()

    def test_an_unknown_argument_fails_with_the_usage(self):
        rows = [(name, [arg], arg) for name in scripts() for arg in ("--bogus", "-h", "help", "", "--help=1")]
        rows += [("format", ["--chek"], "--chek"), ("format", ["--check", "extra"], "extra"),
                 ("format", ["-check"], "-check"), ("fuzz", ["60", "60"], "60")]
        rows += [("fuzz", [seconds], seconds) for seconds in ("0", "-1", "60s", "007", "2147483648", " 60")]
        rows += [(name, ["--bogus", "--help"], "--bogus") for name in ("demo", "format", "setup", "test")]
        for name, args, unknown in rows:
            with self.subTest(name=name, args=args):
                result = self.run_script(name, *args)
                self.assertEqual((result.returncode, result.stdout), (EX_USAGE, ""))
                self.assertTrue(result.stderr.startswith(f"{name}: unknown argument: {unknown}\nUsage: scripts/{name} "),
                                result.stderr)
                self.assertNothingRan()


class FormatWritesOnlyWhenAskedTest(unittest.TestCase):
    """scripts/format in a checkout of its own, with one file laid out wrongly."""

    def test_only_a_run_without_arguments_changes_the_file(self):
        for args, status, changed in ((["--chek"], EX_USAGE, False), (["--check"], 1, False),
                                      (["--check", "--check"], 1, False), ([], 0, True)):
            with self.subTest(args=args), tempfile.TemporaryDirectory(prefix="vorla-format-") as tree:
                shutil.copytree(SCRIPTS, os.path.join(tree, "scripts"))
                shutil.copy(os.path.join(SCRIPTS, "..", ".clang-format"), tree)
                source = os.path.join(tree, "wrong.cpp")
                with open(source, "w", encoding="ascii") as handle:
                    handle.write("int  main( ){return 0;}\n")
                subprocess.run(["git", "init", "-q", tree], check=True)
                result = subprocess.run([os.path.join(tree, "scripts", "format"), *args],
                                        capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, status, result.stderr)
                with open(source, encoding="ascii") as handle:
                    self.assertEqual(handle.read() != "int  main( ){return 0;}\n", changed)


if __name__ == "__main__":
    unittest.main()
