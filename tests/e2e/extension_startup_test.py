"""Start-up of the extension: where its configuration comes from, and how start-up fails."""

import json
import os
import shutil
import signal
import stat
import struct
import subprocess
import sys
import threading
import time
import unittest

import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extension_events_test as events  # noqa: E402
from harness import RootTestCase, program  # noqa: E402

EXTENSION = "com.vorla.client.extension"
PROFILE = "Library/Managed Preferences/com.vorla.client.plist"
COUNT_WARNING = "[validation]: maxLogFileCount must be >= 1. Falling back to default (5)"
PATH_WARNING = "[validation]: logFilePath must be a valid file path. Falling back to default"
NOBODY = 65534


def binary_list(objects):
    """A binary property list of `objects`, the first on top, with 4-byte offsets and references."""
    body, table = b"bplist00", b""
    for item in objects:
        table += struct.pack(">I", len(body))
        body += item
    return body + table + bytes(6) + bytes([4, 4]) + struct.pack(">QQQ", len(objects), 0, len(body))


class StartupTestCase(RootTestCase):
    def start(self, *, user=None):
        command = [program(EXTENSION)]
        if user is not None:
            command = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + command
        return subprocess.Popen(command, env=self.env(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    @staticmethod
    def catches_sigterm(pid):
        """True once the process has its SIGTERM handler, that is once its main loop runs."""
        try:
            with open(f"/proc/{pid}/status", encoding="ascii") as status:
                for line in status:
                    if line.startswith("SigCgt:"):
                        return int(line.split()[1], 16) & (1 << (signal.SIGTERM - 1)) != 0
        except FileNotFoundError:
            pass
        return False

    def run_until_started(self):
        """Starts the extension, waits until its main loop runs, stops it and checks it ends well."""
        process = self.start()
        deadline = time.monotonic() + 20
        while not self.catches_sigterm(process.pid) and process.poll() is None:
            self.assertLess(time.monotonic(), deadline, "the extension did not start")
            time.sleep(0.05)
        if process.poll() is not None:
            self.fail(f"the extension ended with {process.returncode}: {process.communicate(timeout=20)}")
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=20), 0)
        process.communicate(timeout=20)

    def run_failing(self, **kwargs):
        process = self.start(**kwargs)
        try:
            return process.wait(timeout=20)
        finally:
            process.kill()
            process.communicate(timeout=20)

    def messages(self):
        return [(kind, text) for kind, subsystem, category, text in self.oslog_lines()
                if (subsystem, category) == ("com.vorla.system", "vorla")]

    def write(self, relative, text):
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as handle:
            handle.write(text)

    def default_values(self):
        support = self.support()
        section = {"enabled": True, "outputFormat": "json", "maxLogFileCount": 5,
                   "maxLogFileSize": 5242880}
        return {
            "auditLogger": {"customLogFormat": "${timestamp} ${username} ${group} ${command} ${args}",
                            "muting": {"inverted": False, "targets": []},
                            **section, "logFilePath": os.path.join(support, "audit.log")},
            "accessLogger": {**section, "logFilePath": os.path.join(support, "access.log")},
            "compressArchives": False,
        }


class ExtensionStartupTest(StartupTestCase):
    def test_without_any_configuration_the_defaults_are_written(self):
        self.run_until_started()
        with open(self.support("config.yaml"), encoding="utf-8") as handle:
            self.assertEqual(yaml.safe_load(handle), self.default_values())
        self.assertIn(("debug", "falling back to default config"), self.messages())
        self.assertFalse(any(text.startswith("[validation]") for _, text in self.messages()))

    def test_a_valid_file_is_validated_and_left_as_it_is(self):
        values = self.default_values()
        values["accessLogger"]["maxLogFileCount"] = 0
        text = yaml.safe_dump(values, sort_keys=False)
        self.write(self.support("config.yaml"), text)
        self.run_until_started()
        self.assertEqual(self.read(self.support("config.yaml")), text)
        messages = self.messages()
        self.assertLess(messages.index(("debug", "validating config")),
                        messages.index(("default", COUNT_WARNING)))

    def test_a_broken_file_is_kept_aside_before_the_defaults_replace_it(self):
        broken = "auditLogger:\n  enabled: maybe\n"
        self.write(self.support("config.yaml"), broken)
        self.run_until_started()
        kept = [name for name in os.listdir(self.support()) if name.startswith("config.yaml.broken-")]
        self.assertEqual(len(kept), 1)
        self.assertEqual(self.read(self.support(kept[0])), broken)
        with open(self.support("config.yaml"), encoding="utf-8") as handle:
            self.assertEqual(yaml.safe_load(handle), self.default_values())
        texts = [text for _, text in self.messages()]
        self.assertTrue(texts[0].startswith("could not use existing config file://"), texts)
        self.assertIn("moved unusable config file to " + self.support(kept[0]), texts)

    def test_a_profile_wins_and_the_yaml_file_stays_away(self):
        audit_log = self.path("logs", "audit.log")
        os.makedirs(self.path("logs"))
        self.write(self.path(PROFILE), f"""<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>AuditLoggerLogFilePath</key><string>{audit_log}</string>
<key>AuditLoggerCustomLogFormat</key><string>${{command}}</string>
<key>AuditLoggerMaxFileCount</key><integer>300</integer>
<key>AuditLoggerMaxFileSize</key><integer>4096</integer>
<key>AccessLoggerMaxFileCount</key><integer>2</integer>
<key>AccessLoggerMaxFileSize</key><integer>4096</integer>
</dict></plist>
""")
        self.run_until_started()
        self.assertFalse(os.path.exists(self.support("config.yaml")))
        self.assertTrue(os.path.exists(audit_log))
        # The empty access path falls back to the support folder instead of naming a folder.
        self.assertTrue(os.path.exists(self.support("access.log")))
        warnings = [text for kind, text in self.messages() if kind == "default"]
        self.assertEqual(warnings, [PATH_WARNING, COUNT_WARNING])

    def test_hostile_profiles_are_unreadable_and_cost_little_memory(self):
        """Each profile is refused as unreadable: the extension starts on its defaults."""
        chain = [bytes([0xA1]) + struct.pack(">I", index + 1) for index in range(100_000)]
        fan_out = [bytes([0xAF, 0x10, 15]) + struct.pack(">I", level + 1) * 15 for level in range(20)]
        profiles = {
            "deep XML": b"<plist>" + b"<dict>" * 170_000,
            "deep binary": binary_list(chain + [bytes([0xA0])]),
            "shared items": binary_list(fan_out + [b"\x55hello"]),
            "over 1 MiB": b"<plist><dict/></plist>" + b" " * 1024 * 1024,
        }
        os.makedirs(os.path.dirname(self.path(PROFILE)))
        for name, contents in profiles.items():
            with self.subTest(name):
                with open(self.path(PROFILE), "wb") as handle:
                    handle.write(contents)
                self.run_until_started()
                self.assertTrue(os.path.exists(self.support("audit.log")))
        os.remove(self.path(PROFILE))
        os.mkfifo(self.path(PROFILE))
        self.run_until_started()
        self.assertChildrenPeakBelow(256 * 1024)

    def test_a_mirror_on_standard_error_shows_the_entries_there(self):
        # /dev/stderr is a link, and the mirror follows none: the name stands for the stream.
        self.write(self.path("stream.jsonl"), "")
        result = self.run_program(EXTENSION, VORLA_OSLOG_FILE="/dev/stderr",
                                  VORLA_ES_SOURCE=self.path("stream.jsonl"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("debug\tcom.vorla.system\tvorla\tfalling back to default config\n",
                      result.stderr)

    def test_a_file_in_place_of_the_support_folder_ends_with_status_2(self):
        self.write(self.path("Library/Application Support"), "not a folder")
        self.assertEqual(self.run_failing(), 2)
        self.assertEqual(self.messages(), [("error", "could create directory: " + self.support())])

    def test_an_unwritable_support_folder_ends_with_status_3(self):
        os.chmod(self.root, 0o755)
        os.makedirs(self.support())
        self.write(self.oslog, "")
        os.chown(self.oslog, NOBODY, NOBODY)
        self.assertEqual(self.run_failing(user=65534), 3)
        config_url = "file://" + self.support("config.yaml").replace(" ", "%20")
        messages = [message for message in self.messages() if message[0] == "error"]
        self.assertEqual(len(messages), 2, messages)
        self.assertTrue(messages[0][1].startswith("could not write config file: could not"), messages)
        self.assertEqual(messages[1][1], "could not write config file: " + config_url)
        self.assertFalse(os.path.exists(self.support("config.yaml")))


class ReadOnlySupportFolderTest(StartupTestCase):
    """The support folder on a read-only mount, seen by the extension alone."""

    def setUp(self):
        super().setUp()
        if os.geteuid() != 0 or shutil.which("unshare") is None or subprocess.run(
                ["unshare", "--mount", "true"], capture_output=True).returncode != 0:
            self.skipTest("a private read-only mount needs root and unshare")
        os.makedirs(self.support())

    def start(self, *, user=None):
        # The mount lives in the extension's own mount namespace and goes with it.
        script = 'mount --bind -o ro "$1" "$1" && exec "$0"'
        return subprocess.Popen(["unshare", "--mount", "sh", "-c", script, program(EXTENSION),
                                 self.support()], env=self.env(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def test_without_config_it_ends_with_status_3_and_moves_nothing(self):
        self.assertEqual(self.run_failing(), 3)
        config_url = "file://" + self.support("config.yaml").replace(" ", "%20")
        texts = [text for kind, text in self.messages() if kind == "error"]
        self.assertEqual(len(texts), 2, texts)
        self.assertTrue(texts[0].startswith("could not write config file: "), texts)
        self.assertIn("Read-only file system", texts[0])
        self.assertEqual(texts[1], "could not write config file: " + config_url)
        self.assertEqual(os.listdir(self.support()), [])

    def test_a_folder_that_cannot_be_tightened_says_why_before_status_2(self):
        os.chmod(self.support(), 0o1777)
        self.assertEqual(self.run_failing(), 2)
        support = self.support()
        self.assertEqual(self.messages(), [
            ("error", f"the support folder {support} cannot be used: {support} is writable by "
                      "group or others (mode 1777) and could not be tightened: could not set the "
                      f'permissions of "{support}": Read-only file system'),
            ("error", "could create directory: " + support)])
        self.assertEqual(stat.S_IMODE(os.stat(support).st_mode), 0o1777)


class AnotherUserTest(StartupTestCase):
    """What user nobody can do beside root's files in a folder that anyone may add to."""

    def setUp(self):
        super().setUp()
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("acting as user nobody needs root and setpriv")
        os.chmod(self.root, 0o755)
        self.shared = self.path("shared")
        os.mkdir(self.shared)
        os.chmod(self.shared, 0o1777)

    def as_nobody(self, script, *args, wait=True):
        command = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", "--",
                   "sh", "-c", script, "sh", *args]
        if not wait:
            return subprocess.Popen(command)
        self.assertEqual(subprocess.run(command, timeout=60).returncode, 0)
        return None

    def audit_lines(self):
        return self.read(self.support("audit.log")).splitlines()

    def test_a_log_folder_it_races_for_is_a_bad_value_never_status_4(self):
        logs = os.path.join(self.shared, "logs")
        self.write(self.support("config.yaml"), events.config_yaml(
            audit_path=os.path.join(logs, "audit.log"), access_path=self.support("access.log")))
        racer = self.as_nobody('while :; do mkdir "$1" 2>/dev/null && rmdir "$1"; done', logs,
                               wait=False)
        fallbacks = 0
        try:
            for start in range(20):
                before = len(self.messages())
                self.run_until_started()
                refused = [text for _, text in self.messages()[before:]
                           if "lies in a folder that cannot be trusted" in text]
                if refused:
                    fallbacks += 1
                    self.assertIn("is owned by user 65534", refused[0])
                    self.assertTrue(os.path.exists(self.support("audit.log")))
                else:
                    info = os.lstat(logs)
                    self.assertEqual((stat.S_ISDIR(info.st_mode), info.st_uid), (True, 0), start)
                    self.assertTrue(os.path.exists(os.path.join(logs, "audit.log")))
                    shutil.rmtree(logs)
        finally:
            racer.kill()
            racer.wait(timeout=20)
        print(f"\n{fallbacks} of 20 starts found the folder taken", file=sys.stderr)

    def test_what_it_plants_at_the_mirror_trace_or_stream_is_never_used(self):
        secret = self.path("secret")
        self.write(secret, "root's own\n")
        os.chmod(secret, 0o600)
        forged = events.exec_message(["forged"])
        planted = os.path.join(self.shared, "planted")
        stream = self.path("stream.jsonl")
        self.write(stream, "")
        # The kernel already refuses to follow another user's link in a sticky folder; root's
        # own link there is refused by the extension alone.
        followed = "Permission denied"
        rows = [  # the variable, what is planted there, and a word of the refusal
            ("VORLA_OSLOG_FILE", "link", followed),
            ("VORLA_OSLOG_FILE", "root's link", "Too many levels of symbolic links"),
            ("VORLA_OSLOG_FILE", "file", "owned by user 65534"),
            ("VORLA_ES_TRACE", "link", followed),
            ("VORLA_ES_TRACE", "root's link", "Too many levels of symbolic links"),
            ("VORLA_ES_TRACE", "file", "owned by user 65534"),
            ("VORLA_ES_SOURCE", "link", "not a regular file or FIFO"),
            ("VORLA_ES_SOURCE", "root's link", "not a regular file or FIFO"),
            ("VORLA_ES_SOURCE", "file", "owned by user 65534"),
            ("VORLA_ES_SOURCE", "fifo", "owned by user 65534"),
        ]
        prefixes = {"VORLA_OSLOG_FILE": "VORLA_OSLOG_FILE: ", "VORLA_ES_SOURCE": "VORLA_ES_SOURCE: ",
                    "VORLA_ES_TRACE": "endpoint security trace: "}
        for variable, kind, word in rows:
            prefix = prefixes[variable]
            with self.subTest(variable=variable, kind=kind):
                if os.path.lexists(planted):
                    os.remove(planted)
                for own in (self.oslog, self.trace, self.support("audit.log")):
                    if os.path.exists(own):
                        os.remove(own)
                if kind == "root's link":
                    os.symlink(secret, planted)
                else:
                    plant = {"link": 'ln -s "$2" "$1"', "fifo": 'mkfifo -m 666 "$1"',
                             "file": 'printf "%s\\n" "$3" > "$1"; chmod 666 "$1"'}[kind]
                    self.as_nobody(plant, planted, secret,
                                   json.dumps(forged) if variable == "VORLA_ES_SOURCE" else "")
                before = os.lstat(planted)
                result = self.run_program(EXTENSION, **{"VORLA_ES_SOURCE": stream, variable: planted})
                self.assertEqual(result.returncode, 0, result.stderr)
                said = [line for line in result.stderr.splitlines() if line.startswith(prefix)]
                # The trace is opened at each call, so it says so at each.
                self.assertEqual(len(said), 1 if variable != "VORLA_ES_TRACE" else len(said) or 1,
                                 result.stderr)
                self.assertTrue(all(word in line for line in said), said)
                after = os.lstat(planted)
                self.assertEqual((after.st_mode, after.st_uid, after.st_size, after.st_ino),
                                 (before.st_mode, before.st_uid, before.st_size, before.st_ino))
                self.assertEqual(self.read(secret), "root's own\n")
                self.assertEqual(self.audit_lines(), [])

    def test_root_s_own_fifo_or_pipe_still_carries_the_stream(self):
        fifo = self.path("stream.fifo")
        os.mkfifo(fifo, 0o600)
        line = json.dumps(events.exec_message(["ls", "from", "fifo"])) + "\n"

        def feed():
            with open(fifo, "w", encoding="utf-8") as writer:
                writer.write(line)

        feeder = threading.Thread(target=feed)
        feeder.start()
        result = self.run_program(EXTENSION, VORLA_ES_SOURCE=fifo)
        feeder.join(timeout=20)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(self.audit_lines()), 1)
        result = self.run_program(EXTENSION, VORLA_ES_SOURCE="-", stdin=line)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(self.audit_lines()), 2)


if __name__ == "__main__":
    unittest.main()
