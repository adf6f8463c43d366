"""A crash at any synchronisation of a compressing run loses no accepted line and stores none
twice. A preloaded library kills the extension at its k-th fsync, for every k of the run; a
second start then finishes what the first left, and every line must stand in exactly one file.
This emulates a crash (kill -9), not a power cut: what was written stays in the page cache. A
power cut would need a block device that drops unsynchronised writes, which this machine's
tests do without."""

import gzip
import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extension_events_test as events  # noqa: E402
import harness  # noqa: E402

LINES = 30
SHIM = os.environ.get("VORLA_CRASH_SHIM", "")


def numbers_of(path):
    opener = gzip.open if path.endswith(".gzip") else open
    with opener(path, "rb") as handle:
        text = handle.read().decode()
    return [int(json.loads(line)["log"]["args"][2]) for line in events.crlf_lines(text)]


class CrashConsistencyTest(events.ExtensionTestCase):
    def setUp(self):
        super().setUp()
        if not os.path.exists(SHIM):
            self.skipTest("the fsync-counting library was not built")
        self.stream = self.write_stream(
            [events.exec_message(["ls", "x" * 200, str(number)]) for number in range(LINES)])

    def start(self, crash_at, source):
        env = self.env(VORLA_ES_SOURCE=source, LD_PRELOAD=SHIM, VORLA_CRASH_AT_FSYNC=crash_at,
                       VORLA_CRASH_COUNT_FILE=self.path("fsyncs"),
                       ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0")
        return subprocess.run([harness.program(events.EXTENSION)], env=env,
                              capture_output=True, timeout=120)

    def fresh_support_folder(self):
        shutil.rmtree(self.path("Library"), ignore_errors=True)
        self.write_config(max_size=1024)
        path = self.support("config.yaml")
        with open(path, encoding="utf-8") as handle:
            text = handle.read()
        with open(path, "w", encoding="utf-8") as handle:
            handle.write(text.replace("compressArchives: false", "compressArchives: true")
                         .replace("maxLogFileCount: 5", "maxLogFileCount: 255"))

    def stored_numbers(self):
        numbers = []
        for name in os.listdir(self.support()):
            if name == "audit.log" or name.startswith("audit.log."):
                numbers += numbers_of(self.support(name))
        return sorted(numbers)

    def test_every_line_stands_once_after_a_crash_at_any_fsync(self):
        self.fresh_support_folder()
        self.assertEqual(self.start(0, self.stream).returncode, 0)
        with open(self.path("fsyncs"), encoding="utf-8") as handle:
            total = int(handle.read())
        self.assertEqual(self.stored_numbers(), list(range(LINES)))
        self.assertGreater(total, LINES)
        empty = self.write_stream([], "empty.jsonl")
        for crash_at in range(1, total + 1):
            with self.subTest(crash_at=crash_at):
                self.fresh_support_folder()
                self.start(crash_at, self.stream)
                # The next start finishes the interrupted work; the compression it starts in
                # the background ends before the extension does.
                self.assertEqual(self.start(-1, empty).returncode, 0)
                numbers = self.stored_numbers()
                self.assertEqual(numbers, list(range(len(numbers))), "a line lost or doubled")
                names = os.listdir(self.support())
                self.assertFalse([name for name in names if ".tmp-" in name], names)
                self.assertFalse([name for name in names if name.startswith("audit.log.")
                                  and not name.endswith(".gzip")], names)


if __name__ == "__main__":
    unittest.main()
