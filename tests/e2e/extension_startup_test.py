"""Start-up of the extension: where its configuration comes from, and how start-up fails."""

import os
import signal
import struct
import subprocess
import time
import unittest

import yaml

from harness import RootTestCase, program

EXTENSION = "com.vorla.client.extension"
PROFILE = "Library/Managed Preferences/com.vorla.client.plist"
COUNT_WARNING = "[validation]: maxLogFileCount must be >= 1. Falling back to default (5)"
PATH_WARNING = "[validation]: logFilePath must be a valid file path. Falling back to default"


def binary_list(objects):
    """A binary property list of `objects`, the first on top, with 4-byte offsets and references."""
    body, table = b"bplist00", b""
    for item in objects:
        table += struct.pack(">I", len(body))
        body += item
    return body + table + bytes(6) + bytes([4, 4]) + struct.pack(">QQQ", len(objects), 0, len(body))


class ExtensionStartupTest(RootTestCase):
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

    def test_a_file_in_place_of_the_support_folder_ends_with_status_2(self):
        self.write(self.path("Library/Application Support"), "not a folder")
        self.assertEqual(self.run_failing(), 2)
        self.assertEqual(self.messages(), [("error", "could create directory: " + self.support())])

    def test_an_unwritable_support_folder_ends_with_status_3(self):
        os.chmod(self.root, 0o755)
        os.makedirs(self.support())
        self.write(self.oslog, "")
        os.chmod(self.oslog, 0o666)
        self.assertEqual(self.run_failing(user=65534), 3)
        config_url = "file://" + self.support("config.yaml").replace(" ", "%20")
        messages = [message for message in self.messages() if message[0] == "error"]
        self.assertEqual(len(messages), 2, messages)
        self.assertTrue(messages[0][1].startswith("could not write config file: could not"), messages)
        self.assertEqual(messages[1][1], "could not write config file: " + config_url)
        self.assertFalse(os.path.exists(self.support("config.yaml")))


if __name__ == "__main__":
    unittest.main()
