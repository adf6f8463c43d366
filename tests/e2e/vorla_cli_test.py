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
# Says its start-up is done, as the real extension does once subscribed, keeps its program path
# as its name and runs until stopped.
FAKE_EXTENSION = '#!/bin/bash\nprintf . >&"$VORLA_SYSEXT_READY_FD"\nexec -a "$0" sleep 600\n'
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
BUSY = "registry is busy"

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


def wait_until(condition, what, seconds=30):
    """The condition's first true value, or a failure naming what did not happen in time."""
    deadline = time.monotonic() + seconds
    while not (value := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"{what}: not within {seconds} s")
        time.sleep(0.01)
    return value


def catches(pid, signals):
    """True once the process has handlers for all the signals, that is once it can be stopped."""
    try:
        with open(f"/proc/{pid}/status", encoding="ascii") as status:
            caught = next(int(line.split()[1], 16) for line in status if line.startswith("SigCgt:"))
    except (FileNotFoundError, StopIteration):
        return False
    return all(caught & (1 << (number - 1)) for number in signals)


def start_time(pid):
    """Field 22 of the process's stat line: when it started, in clock ticks since boot."""
    with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as handle:
        return int(handle.read().rsplit(")", 1)[1].split()[19])


def is_running(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as handle:
            state = handle.read().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, IndexError):
        return False
    return state not in ("Z", "X")


def program_name(pid):
    """The name the process runs under, once the stand-in's shell has handed over to it."""
    def name():
        with open(f"/proc/{pid}/cmdline", "rb") as handle:
            found = handle.read().split(b"\0")[0].decode()
        return found if found not in ("", "/bin/bash") else None
    return wait_until(name, f"process {pid} running its program")


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
        pid = record["pid"]
        self.assertEqual(record, {"bundleIdentifier": EXTENSION, "isEnabled": True, "isAwaitingUserApproval": False,
                                  "pid": pid, "startTime": start_time(pid), "uid": 0})
        self.assertTrue(is_running(pid))
        self.assertEqual(program_name(pid), self.extension)

        self.assertTranscript(self.vorla_run("load"), "vorla is already loaded\n", 0)
        self.assertEqual(self.registry()[0]["pid"], pid)

        self.assertTranscript(self.vorla_run("unload"), "vorla was successfully unloaded\n", 0)
        self.assertFalse(is_running(pid))
        self.assertEqual(self.registry(), [])
        self.assertTranscript(self.vorla_run("unload"), "vorla is already unloaded\n", 0)

    def interrupt(self, loader, signal_number):
        """Sends the signal once the loader catches it; gives its status and both outputs."""
        try:
            wait_until(lambda: catches(loader.pid, [signal.SIGINT, signal.SIGTERM]), "the loader's stop handlers")
            loader.send_signal(signal_number)
            stdout, stderr = loader.communicate(timeout=30)
        finally:
            if loader.poll() is None:
                loader.kill()
                loader.communicate(timeout=30)
        return loader.returncode, stdout, stderr

    def test_an_interrupted_approval_fails_and_says_how_to_withdraw_it(self):
        loader = subprocess.Popen([self.vorla, "load"], env=self.env(VORLA_SYSEXT_APPROVAL="required"),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(line_within(loader.stdout),
                         "Allow loading vorla in System Settings > Privacy & Security\n")
        self.assertIsNone(loader.poll())
        status, stdout, stderr = self.interrupt(loader, signal.SIGINT)
        self.assertEqual((status, stdout), (130, ""))
        self.assertEqual(stderr, "vorla: load was interrupted (Interrupt) while it waited for user approval; the "
                                 "request stays pending, and every \"vorla load\" says so, until \"vorla unload\" "
                                 "withdraws it\n")
        self.assertEqual(self.registry(), [{"bundleIdentifier": EXTENSION, "isEnabled": False,
                                            "isAwaitingUserApproval": True, "pid": None}])
        self.assertTranscript(self.vorla_run("load", VORLA_SYSEXT_APPROVAL="required"),
                              "vorla is waiting for user approval\n", 0)
        self.assertTranscript(self.vorla_run("unload"), "vorla was successfully unloaded\n", 0)
        self.assertEqual(self.registry(), [])

    def test_init_and_the_menu_bar_app_end_with_the_signal_status(self):
        for args, signal_number, status in [(["init"], signal.SIGTERM, 143), (["init"], signal.SIGINT, 130),
                                            ([], signal.SIGINT, 130)]:
            with self.subTest(args=args, signal=signal_number):
                program = subprocess.Popen([self.vorla, *args], env=self.env(QT_QPA_PLATFORM="offscreen"),
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                ended, stdout, stderr = self.interrupt(program, signal_number)
                self.assertEqual((ended, stdout), (status, ""))
                if args:
                    self.assertEqual(stderr, f"vorla: init was interrupted ({signal.strsignal(signal_number)})\n")

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
                wait_until(lambda: not is_running(pid), "the killed extension's end")
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
        # A readiness descriptor inherited from whoever started vorla is not the extension's.
        self.assertTranscript(self.vorla_run("load", vorla=built, VORLA_SYSEXT_READY_FD=1),
                              "vorla was successfully loaded\n", 0)
        pid = self.registry()[0]["pid"]
        self.assertTrue(is_running(pid))
        self.assertEqual(os.path.realpath(f"/proc/{pid}/exe"), os.path.realpath(harness.program(EXTENSION)))
        # Loaded means started: the extension has read its configuration and opened its logs.
        logs = [self.support(name) for name in ("config.yaml", "audit.log", "access.log", "error.log")]
        self.assertEqual([log for log in logs if not os.path.exists(log)], [])
        self.assertTranscript(self.vorla_run("unload", vorla=built), "vorla was successfully unloaded\n", 0)
        self.assertFalse(is_running(pid))

    def test_an_extension_that_ends_during_its_start_up_fails_the_load(self):
        built = harness.program("vorla")
        os.makedirs(self.support())
        with open(os.path.join(harness.SOURCE_DIR, "examples/config/config.yaml"), encoding="utf-8") as handle:
            config = handle.read()
        with open(self.support("config.yaml"), "w", encoding="utf-8") as handle:
            handle.write(config.replace("/Library/Application Support/Vorla/audit.log",
                                        self.path("blocker/audit.log")))
        with open(self.path("blocker"), "w", encoding="ascii"):
            pass
        for attempt in range(2):
            with self.subTest(attempt=attempt):
                result = self.vorla_run("load", vorla=built)
                self.assertTranscript(result, "Unknown extension error\n", 1)
                self.assertIn(f"{os.path.realpath(harness.program(EXTENSION))} ended during its start-up with "
                              "exit status 4; "
                              "the reason is in the system log", result.stderr)
                self.assertEqual(self.registry(), [])
                self.assertIn("could not create audit logger", self.read(self.oslog))
                # Other tests may run the built extension meanwhile, each under its own root.
                self.assertEqual([pid for pid in processes_of(harness.program(EXTENSION)) if self.runs_here(pid)], [])

    def runs_here(self, pid):
        """True when the process runs under this test's root."""
        try:
            with open(f"/proc/{pid}/environ", "rb") as handle:
                return f"VORLA_ROOT={self.root}".encode() in handle.read().split(b"\0")
        except OSError:
            return False

    def share_root(self):
        """Lets other users reach the root, as "/" lets them; what root makes in it stays root's."""
        os.chmod(self.root, 0o755)

    def as_nobody(self, *command):
        return subprocess.run(NOBODY + list(command), env=self.env(), capture_output=True, text=True, timeout=60)

    def test_under_umask_0_another_user_can_neither_plant_nor_hold_anything(self):
        self.share_root()
        loaded = subprocess.run([self.vorla, "load"], env=self.env(), capture_output=True, text=True, timeout=60,
                                preexec_fn=lambda: os.umask(0))
        self.assertTranscript(loaded, "vorla was successfully loaded\n", 0)
        folder = self.path("Library/SystemExtensions")
        modes = {name: os.stat(self.path(name)).st_mode & 0o7777 for name in
                 ["Library", "Library/SystemExtensions", REGISTRY, REGISTRY + ".lock"]}
        self.assertEqual(list(modes.values()), [0o755, 0o755, 0o644, 0o600], modes)
        attempts = {
            "hold the lock": ["flock", "-x", "-n", self.path(REGISTRY + ".lock"), "true"],
            "write a record": ["sh", "-c", f"echo [] > {self.path(REGISTRY)}"],
            "plant a FIFO": ["mkfifo", os.path.join(folder, "registry.json.new")],
            "plant a link": ["ln", "-s", "/etc/passwd", os.path.join(folder, "other")],
        }
        for name, command in attempts.items():
            with self.subTest(attempt=name):
                tried = self.as_nobody(*command)
                self.assertNotEqual(tried.returncode, 0, tried)
                self.assertIn("Permission denied", tried.stderr)
        self.assertTranscript(self.vorla_run("load"), "vorla is already loaded\n", 0)

    def test_a_lock_that_another_user_holds_delays_load_and_unload_by_10_s_at_most(self):
        self.share_root()
        self.assertTranscript(self.vorla_run("load"), "vorla was successfully loaded\n", 0)
        lock = self.path(REGISTRY + ".lock")
        # As an older run left it: readable by all, so any user could take it with flock.
        os.chmod(lock, 0o644)
        holder = subprocess.Popen(NOBODY + ["flock", "-x", lock, "sh", "-c", "echo held; exec sleep 300"],
                                  stdout=subprocess.PIPE, text=True, start_new_session=True)
        try:
            self.assertEqual(line_within(holder.stdout), "held\n")
            requests = [subprocess.Popen([self.vorla, command], env=self.env(), stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, text=True) for command in ("load", "unload")]
            for request in requests:
                stdout, stderr = request.communicate(timeout=60)
                self.assertEqual((stdout, request.returncode), ("Unknown extension error\n", 1), stderr)
                self.assertIn(f"{BUSY}: another request has held {lock} for 10 s", stderr)
            self.assertEqual(os.stat(lock).st_mode & 0o7777, 0o600)
        finally:
            # flock's child, which holds the lock too, goes with it.
            os.killpg(holder.pid, signal.SIGKILL)
            holder.communicate(timeout=30)
        self.assertTranscript(self.vorla_run("unload"), "vorla was successfully unloaded\n", 0)

    def test_a_user_who_may_not_make_the_registry_folder_is_told_why(self):
        self.share_root()
        result = subprocess.run(NOBODY + [self.vorla, "load"], env=self.env(), capture_output=True, text=True,
                                timeout=60)
        self.assertTranscript(result, "Unknown extension error\n", 1)
        self.assertIn(f"could not create the folder \"{self.path('Library')}\": Permission denied", result.stderr)


if __name__ == "__main__":
    unittest.main()
