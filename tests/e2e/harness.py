"""Runs the built programs in a temporary root, the way the end-to-end tests need them."""

import os
import resource
import subprocess
import tempfile
import unittest

BIN_DIR = os.environ.get("VORLA_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SOURCE_DIR = os.environ.get("VORLA_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))
SUPPORT = "Library/Application Support/Vorla"
# Peak-memory bounds hold for a plain build only (a sanitizer's allocator holds freed memory).
MEMORY_BOUNDS = os.environ.get("VORLA_MEMORY_BOUNDS", "1") == "1"


def program(name):
    return os.path.join(BIN_DIR, name)


class RootTestCase(unittest.TestCase):
    """A test with its own VORLA_ROOT and unified-log mirror, removed afterwards."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="vorla-e2e-")
        self.root = self._tmp.name
        self.oslog = os.path.join(self.root, "oslog.txt")
        self.trace = os.path.join(self.root, "es-trace.txt")

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def support(self, *parts):
        return os.path.join(self.root, SUPPORT, *parts)

    def env(self, **extra):
        env = dict(os.environ)
        env.update({"VORLA_ROOT": self.root, "VORLA_OSLOG_FILE": self.oslog, "VORLA_ES_TRACE": self.trace})
        env.update({key: str(value) for key, value in extra.items()})
        return env

    def run_program(self, name, *args, timeout=60, stdin=None, **extra):
        return subprocess.run([program(name), *args], env=self.env(**extra), input=stdin,
                              capture_output=True, text=True, timeout=timeout)

    def assertChildrenPeakBelow(self, kibibytes):
        """The largest peak resident memory of the programs run so far, when bounds apply."""
        if MEMORY_BOUNDS:
            self.assertLess(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, kibibytes)

    def read(self, path):
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8", errors="surrogateescape") as handle:
            return handle.read()

    def oslog_lines(self):
        """The unified-log mirror as (type, subsystem, category, text) tuples."""
        return [tuple(line.split("\t", 3)) for line in self.read(self.oslog).splitlines()]
