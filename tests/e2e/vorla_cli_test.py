"""The command line of vorla: transcripts, exit statuses and what the service leaves behind."""

import json
import os
import select
import shutil
import signal
import subprocess
import time
import unittest

import harness

USAGE = """vorla system extension loader

Usage:
    vorla [command]

Commnads:
    load       load vorla system extension non-interactively
    unload     unload vorla system extension non-interactively
    help       print usage information
"""

EXTENSION = "com.vorla.client.extension"
REGISTRY = "Library/SystemExtensions/registry.json"
# Keeps its program path as its name, as the real extension does, and runs until stopped.
FAKE_EXTENSION = '#!/bin/bash\nexec -a "$0" sleep 600\n'

ERROR_MESSAGES = {
    1: "Unknown extension error",
    2: "Missing entitlement",
    3: "Move app to /Applications",
    4: "vorla extension not found",
    5: "Missing System Extension ID",
    6: "Duplicate System Extension ID",
    7: "Unknown System Extension category",
    8: "Invalid System Extension signature",
    9: "Invalid System Extension",
    10: "Not allowed to load System Extension",
    11: "Request cancelled",
    13: "Not authorized to perform action",
    0: "Unknown error",
    14: "Unknown error",
    -3: "Unknown error",
}


def is_running(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as handle:
            state = handle.read().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, IndexError):
        return False
    return state not in ("Z", "X")


def program_name(pid, seconds=5):
    """The name the process runs under, once the stand-in's shell has handed over to it."""
    deadline = time.monotonic() + seconds
    while True:
        with open(f"/proc/{pid}/cmdline", "rb") as handle:
            name = handle.read().split(b"\0")[0].decode()
        if name not in ("", "/bin/bash") or time.monotonic() > deadline:
            return name
        time.sleep(0.01)


def line_within(stream, seconds=30):
    """The next line a child writes, or a failure once it has written nothing for that long."""
    if not select.select([stream], [], [], seconds)[0]:
        raise AssertionError(f"no line within {seconds} s")
    return stream.readline()


def processes_of(program):
    """Ids of the processes started from the program: named by it, or its interpreter while
    it starts."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or not is_running(entry):
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as handle:
                arguments = handle.read().split(b"\0")[:2]
        except OSError:
            continue
        if program.encode() in arguments:
            found.append(int(entry))
    return found


class VorlaCommandLineTest(harness.RootTestCase):
    """Runs a copy of vorla in its own folder, beside a stand-in for the extension program."""

    def setUp(self):
        super().setUp()
        self.bin = self.path("bin")
        os.makedirs(self.bin)
        self.vorla = os.path.join(self.bin, "vorla")
        shutil.copy2(harness.program("vorla"), self.vorla)
        self.extension = os.path.join(self.bin, EXTENSION)
        with open(self.extension, "w", encoding="ascii") as handle:
            handle.write(FAKE_EXTENSION)
        os.chmod(self.extension, 0o755)

    def tearDown(self):
        try:
            records = self.registry()
        except (OSError, ValueError):
            records = []
        for record in records:
            if isinstance(record, dict) and record.get("pid") and is_running(record["pid"]):
                os.kill(record["pid"], signal.SIGKILL)
        super().tearDown()

    def vorla_run(self, *args, vorla=None, **extra):
        return subprocess.run([vorla or self.vorla, *args], env=self.env(**extra),
                              capture_output=True, text=True, timeout=60)

    def assertTranscript(self, result, stdout, status):
        self.assertEqual((result.stdout, result.returncode), (stdout, status), result.stderr)

    def registry(self):
        with open(self.path(REGISTRY), encoding="utf-8") as handle:
            return json.load(handle)

    def test_help_prints_the_usage(self):
        self.assertTranscript(self.vorla_run("help"), USAGE, 0)
        self.assertTranscript(self.vorla_run("help", "load"), USAGE, 0)

    def test_other_words_are_not_commands(self):
        for word in ["Load", "HELP", "Unload", "start", "", "--help", "-NSOther"]:
            with self.subTest(word=word):
                self.assertTranscript(self.vorla_run(word, "load"),
                                      word + " command is not supported.\n" + USAGE, 1)

    def test_load_twice_then_unload_twice(self):
        self.assertTranscript(self.vorla_run("load", "ignored"), "vorla was successfully loaded\n", 0)
        [record] = self.registry()
        self.assertEqual({key: value for key, value in record.items() if key != "pid"},
                         {"bundleIdentifier": EXTENSION, "isEnabled": True, "isAwaitingUserApproval": False})
        pid = record["pid"]
        self.assertTrue(is_running(pid))
        self.assertEqual(program_name(pid), self.extension)

        self.assertTranscript(self.vorla_run("load"), "vorla is already loaded\n", 0)
        self.assertEqual(self.registry()[0]["pid"], pid)

        self.assertTranscript(self.vorla_run("unload"), "vorla was successfully unloaded\n", 0)
        self.assertFalse(is_running(pid))
        self.assertEqual(self.registry(), [])
        self.assertTranscript(self.vorla_run("unload"), "vorla is already unloaded\n", 0)

    def test_approval_required_keeps_the_loader_waiting_until_stopped(self):
        loader = subprocess.Popen([self.vorla, "load"], env=self.env(VORLA_SYSEXT_APPROVAL="required"),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            self.assertEqual(line_within(loader.stdout),
                             "Allow loading vorla in System Settings > Privacy & Security\n")
            time.sleep(0.3)
            self.assertIsNone(loader.poll())
            loader.send_signal(signal.SIGTERM)
            self.assertEqual(loader.wait(timeout=30), 0)
            self.assertEqual(loader.stdout.read(), "")
        finally:
            if loader.poll() is None:
                loader.kill()
            loader.stdout.close()
            loader.stderr.close()
        self.assertEqual(self.registry(), [{"bundleIdentifier": EXTENSION, "isEnabled": False,
                                            "isAwaitingUserApproval": True, "pid": None}])
        self.assertTranscript(self.vorla_run("load", VORLA_SYSEXT_APPROVAL="required"),
                              "vorla is waiting for user approval\n", 0)
        self.assertTranscript(self.vorla_run("unload"), "vorla was successfully unloaded\n", 0)
        self.assertEqual(self.registry(), [])

    def test_init_only_asks_and_runs_until_stopped(self):
        loader = subprocess.Popen([self.vorla, "init"], env=self.env(), stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, text=True)
        time.sleep(0.5)
        self.assertIsNone(loader.poll())
        loader.send_signal(signal.SIGTERM)
        stdout, _ = loader.communicate(timeout=30)
        self.assertEqual((stdout, loader.returncode), ("", 0))

    def test_each_error_code_has_its_message_and_status_one(self):
        for code, message in ERROR_MESSAGES.items():
            for command in ["load", "unload"]:
                with self.subTest(code=code, command=command):
                    self.assertTranscript(self.vorla_run(command, VORLA_SYSEXT_ERROR=code), message + "\n", 1)

    def test_a_superseded_request_prints_the_command_and_why(self):
        self.assertTranscript(self.vorla_run("load", VORLA_SYSEXT_ERROR=12),
                              "on\nAlready unloaded by GUI app\n", 1)
        self.assertTranscript(self.vorla_run("unload", VORLA_SYSEXT_ERROR=12),
                              "off\nRequest already pending\n", 1)

    def test_results_other_than_completed_end_with_status_zero(self):
        self.assertTranscript(self.vorla_run("load", VORLA_SYSEXT_RESULT=1),
                              "Operation will only take full effect after reboot\n", 0)
        self.assertTranscript(self.vorla_run("unload", VORLA_SYSEXT_RESULT=7),
                              "Unknown operation result\n", 0)
        self.assertEqual(self.registry(), [])

    def test_racing_loads_start_one_extension_and_one_unload_stops_it(self):
        for _ in range(10):
            loads = [subprocess.Popen([self.vorla, "load"], env=self.env(), text=True,
                                      stdout=subprocess.PIPE) for _ in range(2)]
            answers = sorted(load.communicate(timeout=60)[0] for load in loads)
            self.assertEqual(answers, ["vorla is already loaded\n", "vorla was successfully loaded\n"])
            pid = self.registry()[0]["pid"]
            self.assertEqual(program_name(pid), self.extension)
            self.assertEqual(processes_of(self.extension), [pid])
            self.assertTranscript(self.vorla_run("unload"), "vorla was successfully unloaded\n", 0)
            self.assertEqual(processes_of(self.extension), [])

    def test_an_ended_extension_is_neither_loaded_nor_stopped_again(self):
        for command, answer in [("load", "vorla was successfully loaded\n"),
                                ("unload", "vorla is already unloaded\n")]:
            with self.subTest(command=command):
                self.assertTranscript(self.vorla_run("load"), "vorla was successfully loaded\n", 0)
                pid = self.registry()[0]["pid"]
                os.kill(pid, signal.SIGKILL)
                deadline = time.monotonic() + 10
                while is_running(pid):
                    self.assertLess(time.monotonic(), deadline, "the killed extension did not end")
                    time.sleep(0.01)
                self.assertTranscript(self.vorla_run(command), answer, 0)
                records = self.registry()
                self.assertEqual([record["pid"] != pid for record in records], [True] * len(records))
                # A process just started may not have reached its program yet.
                self.assertEqual([program_name(record["pid"]) for record in records],
                                 [self.extension] * len(records))
                self.assertEqual(processes_of(self.extension), [record["pid"] for record in records])
                self.vorla_run("unload")

    def test_output_that_cannot_be_written_fails(self):
        for args in [["help"], ["unload"], ["start"]]:
            with self.subTest(args=args), open("/dev/full", "w", encoding="ascii") as full:
                result = subprocess.run([self.vorla, *args], env=self.env(), stdout=full,
                                        stderr=subprocess.PIPE, text=True, timeout=60)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stderr, "vorla: cannot write the output (No space left on device)\n")

    def test_a_missing_extension_program_is_reported_not_recorded(self):
        os.remove(self.extension)
        result = self.vorla_run("load")
        self.assertTranscript(result, "vorla extension not found\n", 1)
        self.assertIn(self.extension, result.stderr)
        self.assertFalse(os.path.exists(self.path(REGISTRY)))

    def test_a_broken_registry_is_reported_and_taken_as_empty(self):
        os.makedirs(os.path.dirname(self.path(REGISTRY)))
        with open(self.path(REGISTRY), "w", encoding="utf-8") as handle:
            handle.write("[{\"bundleIdentifier\": ")
        result = self.vorla_run("unload")
        self.assertTranscript(result, "vorla is already unloaded\n", 0)
        self.assertIn("is broken", result.stderr)
        self.assertTranscript(self.vorla_run("load"), "vorla was successfully loaded\n", 0)
        self.assertEqual(len(self.registry()), 1)

    def test_the_built_extension_is_started_and_stopped(self):
        built = harness.program("vorla")
        self.assertTranscript(self.vorla_run("load", vorla=built), "vorla was successfully loaded\n", 0)
        pid = self.registry()[0]["pid"]
        self.assertTrue(is_running(pid))
        self.assertEqual(os.path.realpath(f"/proc/{pid}/exe"), os.path.realpath(harness.program(EXTENSION)))
        # Once started, the extension writes its files under the root.
        deadline = time.monotonic() + 10
        logs = [self.support(name) for name in ("config.yaml", "audit.log", "access.log", "error.log")]
        while not all(map(os.path.exists, logs)) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertTrue(all(map(os.path.exists, logs)), logs)
        self.assertTranscript(self.vorla_run("unload", vorla=built), "vorla was successfully unloaded\n", 0)
        self.assertFalse(is_running(pid))


if __name__ == "__main__":
    unittest.main()
