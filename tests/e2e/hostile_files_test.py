"""What root does when the extension's files are not what they should be: links, FIFOs and
devices at its paths, an empty umask, odd configured paths, a full disk and a crash while it
compresses. Nothing may be written through a planted object, nothing may hang, and no line may
be lost without a count in the system log."""

import gzip
import json
import os
import random
import shutil
import signal
import stat
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extension_events_test as events  # noqa: E402
import harness  # noqa: E402


def exec_lines(count, argument="x"):
    return [events.exec_message(["ls", argument, str(number)]) for number in range(count)]


class HostileFilesTest(events.ExtensionTestCase):
    def errors(self):
        return [entry[3] for entry in self.oslog_lines() if entry[0] == "error"]

    def gzipped_count(self):
        return sum(1 for entry in self.oslog_lines() if entry[3].startswith("gzipped "))

    def test_roots_own_link_fifo_or_device_at_a_log_path_is_never_touched(self):
        victim = self.path("victim")
        with open(victim, "w", encoding="utf-8") as handle:
            handle.write("precious")
        kinds = ["link", "fifo", "device link"]
        if os.geteuid() == 0:
            kinds += ["device", "configured device"]
        for kind in kinds:
            with self.subTest(kind):
                shutil.rmtree(self.path("Library"), ignore_errors=True)
                os.makedirs(self.support())
                audit = self.support("audit.log")
                if kind == "configured device":
                    # An administrator's usual way to discard a log, with a device of the
                    # test's own instead of the machine's /dev/null.
                    audit = self.path("null")
                    if os.path.lexists(audit):
                        os.remove(audit)
                    self.write_config(audit_path=audit)
                if kind == "link":
                    os.symlink(victim, audit)
                elif kind == "fifo":
                    os.mkfifo(audit)
                elif kind == "device link":
                    os.symlink("/dev/null", audit)
                else:
                    os.mknod(audit, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
                before = os.lstat(audit)
                if os.path.exists(self.oslog):
                    os.remove(self.oslog)
                result = self.run_extension(exec_lines(3), timeout=30)
                self.assertEqual(result.returncode, 4, result)
                reasons = [error for error in self.errors() if "which is left as it is" in error]
                self.assertEqual(len(reasons), 1, self.errors())
                after = os.lstat(audit)
                self.assertEqual((after.st_ino, after.st_mode, after.st_rdev),
                                 (before.st_ino, before.st_mode, before.st_rdev))
                self.assertEqual(self.read(victim), "precious")
                folder = os.path.dirname(audit)
                self.assertFalse([name for name in os.listdir(folder) if "-untrusted-" in name])

    def test_a_config_that_is_no_regular_file_is_set_aside_without_hanging(self):
        for kind in ("fifo", "zero"):
            with self.subTest(kind):
                os.makedirs(self.support(), exist_ok=True)
                for name in os.listdir(self.support()):
                    os.remove(self.support(name))
                if kind == "fifo":
                    os.mkfifo(self.support("config.yaml"))
                else:
                    os.symlink("/dev/zero", self.support("config.yaml"))
                result = self.run_extension(exec_lines(1), timeout=30)
                self.assertEqual(result.returncode, 0, result)
                self.assertEqual(len(self.log_lines("audit.log")), 1)
                self.assertTrue(stat.S_ISREG(os.lstat(self.support("config.yaml")).st_mode))
                kept = [name for name in os.listdir(self.support()) if ".broken-" in name]
                self.assertEqual(len(kept), 1, os.listdir(self.support()))

    def test_modes_do_not_depend_on_the_umask(self):
        source = self.write_stream(exec_lines(1))
        result = subprocess.run([harness.program(events.EXTENSION)],
                                env=self.env(VORLA_ES_SOURCE=source), capture_output=True,
                                timeout=60, preexec_fn=lambda: os.umask(0))
        self.assertEqual(result.returncode, 0, result)
        modes = {name: stat.S_IMODE(os.stat(self.support(name)).st_mode)
                 for name in ("", "audit.log", "access.log", "error.log", "config.yaml")}
        self.assertEqual(modes, {"": 0o755, "audit.log": 0o640, "access.log": 0o640,
                                 "error.log": 0o640, "config.yaml": 0o644})
        for folder in (self.path("Library"), self.path("Library/Application Support")):
            self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o755, folder)

    def test_configured_paths_are_normalised_or_refused(self):
        logs = self.path("logs")
        long_name = "a" * 230 + ".log"
        cases = [
            ("doubled slash", logs + "//audit.log", os.path.join(logs, "audit.log"), None),
            ("zero byte", logs + "/audit\0.log", self.support("audit.log"),
             "[validation]: logFilePath must be a valid file path. "
                                "Falling back to default"),
            ("long name", os.path.join(logs, long_name), self.support("audit.log"),
             "[validation]: the file name of logFilePath must have at most 201 bytes, or its "
             "archives cannot be named. Falling back to default"),
        ]
        for name, configured, expected, warning in cases:
            with self.subTest(name):
                if os.path.exists(self.oslog):
                    os.remove(self.oslog)
                self.write_config(audit_path=configured, max_size=1024)
                result = self.run_extension(exec_lines(40, "y" * 100), timeout=60)
                self.assertEqual(result.returncode, 0, result)
                folder = os.path.dirname(expected)
                archives = [entry for entry in os.listdir(folder)
                            if entry.startswith("audit.log.")]
                self.assertEqual(len(archives), 5, sorted(os.listdir(folder)))
                self.assertLessEqual(os.path.getsize(expected), 1024 + 600)
                if warning:
                    texts = [entry[3] for entry in self.oslog_lines()]
                    self.assertIn(warning, texts)
                self.assertFalse(os.path.exists(os.path.join(logs, "audit")))

    def test_a_full_disk_loses_no_line_without_a_count(self):
        if os.geteuid() != 0 or subprocess.run(["unshare", "-m", "true"], capture_output=True,
                                               timeout=30).returncode != 0:
            self.skipTest("needs root and a private mount namespace")
        total = 3000
        source = self.write_stream(exec_lines(total, "z" * 200))
        os.makedirs(self.support(), exist_ok=True)
        script = ('mount -t tmpfs -o size=256k vorla "$1" && "$2"; status=$?; '
                  'tr -cd "\\n" < "$1/audit.log" | wc -c; exit $status')
        result = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", script,
                                 "sh", self.support(), harness.program(events.EXTENSION)],
                                env=self.env(VORLA_ES_SOURCE=source), capture_output=True,
                                text=True, timeout=240)
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])
        written = int(result.stdout.strip().splitlines()[-1])
        self.assertGreater(written, 0)
        self.assertLess(written, total)
        lost = 0
        for error in self.errors():
            words = error.split()
            if error.startswith("dropped "):
                lost += int(words[1])
            elif " could not be written before the stop and are lost" in error:
                self.assertTrue(words[3].endswith("/audit.log"), error)
                lost += int(words[0])
        self.assertEqual(written + lost, total)

    def test_a_crash_while_compressing_leaves_only_whole_gzip_files(self):
        self.write_config(max_size=200000)
        with open(self.support("config.yaml"), encoding="utf-8") as handle:
            text = handle.read().replace("compressArchives: false", "compressArchives: true")
        with open(self.support("config.yaml"), "w", encoding="utf-8") as handle:
            handle.write(text)
        source = self.write_stream(exec_lines(20000, "w" * 300))
        generator = random.Random(7)
        for _ in range(6):
            # Killed while it writes and compresses: just after the k-th archive of this run was
            # gzipped, with lines, rotations and the next compression going on.
            wanted = self.gzipped_count() + generator.randint(1, 4)
            process = subprocess.Popen([harness.program(events.EXTENSION)],
                                       env=self.env(VORLA_ES_SOURCE=source),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 120
            while self.gzipped_count() < wanted and process.poll() is None:
                self.assertLess(time.monotonic(), deadline, "no archive was compressed")
                time.sleep(0.01)
            process.send_signal(signal.SIGKILL)
            process.wait(timeout=30)
        # The start compresses what the crashes left; the extension ends only once it has.
        result = self.run_extension((), timeout=60)
        self.assertEqual(result.returncode, 0, result)
        names = os.listdir(self.support())
        self.assertFalse([name for name in names if ".tmp-" in name], names)
        gzip_files = [name for name in names if name.endswith(".gzip")]
        self.assertTrue(gzip_files, names)
        for name in gzip_files:
            with gzip.open(self.support(name)) as handle:
                self.assertGreater(len(handle.read()), 0, name)

    def test_a_torn_end_is_cut_before_the_next_line(self):
        whole = json.dumps({"log": {"args": ["ls", "x", "-1"]}}).encode() + b"\r\n"
        for name, tail in (("half a line", b'{"log":{"ar'), ("zero bytes", bytes(4096))):
            with self.subTest(name):
                shutil.rmtree(self.path("Library"), ignore_errors=True)
                self.write_config()
                with open(self.support("audit.log"), "wb") as handle:
                    handle.write(whole + tail)
                os.chmod(self.support("audit.log"), 0o640)
                if os.path.exists(self.oslog):
                    os.remove(self.oslog)
                result = self.run_extension(exec_lines(3), timeout=30)
                self.assertEqual(result.returncode, 0, result)
                numbers = [json.loads(line)["log"]["args"][2]
                           for line in self.log_lines("audit.log")]
                self.assertEqual(numbers, ["-1", "0", "1", "2"])
                cuts = [entry[3] for entry in self.oslog_lines() if entry[3].startswith("cut ")]
                self.assertEqual(cuts, [f"cut {len(tail)} bytes from the end of "
                                        f"file://{self.support('audit.log').replace(' ', '%20')}"
                                        ", which held no whole line"])


if __name__ == "__main__":
    unittest.main()
