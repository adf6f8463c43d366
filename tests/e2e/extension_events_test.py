"""The extension end to end: message streams in, three logs, the system log and the Endpoint
Security calls out, and the exit status of every start-up failure."""

import json
import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

EXTENSION = "com.vorla.client.extension"
ERROR_LINE = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (.*)$")
ACCESS_TYPES_13 = [111, 118, 119, 120, 121, 122, 123, 116, 117, 114, 115, 22, 23, 17, 18]
START = {"sec": 1714557600, "usec": 123000}


def audit_token(pid, uid=0, gid=0):
    return {"auid": uid, "euid": uid, "egid": gid, "ruid": uid, "rgid": gid,
            "pid": pid, "asid": 100001, "pidversion": 1}


def process(pid=4242, executable="/bin/ls", tty=None, uid=0, gid=0):
    return {"audit_token": audit_token(pid, uid, gid), "parent_audit_token": audit_token(1),
            "responsible_audit_token": audit_token(pid, uid, gid), "ppid": 1,
            "original_ppid": 1, "group_id": pid, "session_id": 100001,
            "team_id": None, "signing_id": "com.apple.ls", "is_platform_binary": True,
            "executable": executable, "tty": tty, "start_time": START}


def exec_message(args, executable="/bin/ls", **extra):
    message = {"event_type": 9, "process": process(1),
               "event": {"target": process(executable=executable), "cwd": "/tmp",
                         "dyld_exec_path": executable, "image_cputype": 16777228,
                         "args": args, "env": ["HOME=/root"]}}
    message.update(extra)
    return message


def event(event_type, payload, **extra):
    message = {"event_type": event_type, "process": process(7), "event": payload}
    message.update(extra)
    return message


ACCESS_EVENTS = [
    event(17, {"identifier": "com.example.driver"}),
    event(18, {"identifier": "com.example.driver"}),
    event(22, {"statfs": {"f_fstypename": "apfs", "f_mntonname": "/Volumes/Data",
                          "f_mntfromname": "/dev/disk3s1", "f_fsid": [1, 2]}}),
    event(23, {"statfs": {"f_fstypename": "apfs", "f_mntonname": "/Volumes/Data",
                          "f_mntfromname": "/dev/disk3s1"}}),
    event(111, {"success": True, "type": 0,
                "data": {"instigator": process(9), "record_type": "user",
                         "record_name": "alice", "node_name": "/Local/Default",
                         "db_path": "/var/db/dslocal"}}),
    event(114, {"username": "alice", "graphical_session_id": 1}),
    event(115, {"username": "alice", "graphical_session_id": 1}),
    event(116, {"username": "alice", "graphical_session_id": 1}),
    event(117, {"username": "alice", "graphical_session_id": 1}),
    event(118, {"success": True, "source_address_type": 1, "source_address": "10.0.0.2",
                "viewer_appleid": "a@example.com", "authentication_type": "password",
                "authentication_username": "alice", "session_username": "alice",
                "existing_session": False, "graphical_session_id": 1}),
    event(119, {"source_address_type": 1, "source_address": "10.0.0.2",
                "viewer_appleid": "a@example.com", "graphical_session_id": 1}),
    event(120, {"success": True, "result_type": 0, "source_address_type": 1,
                "source_address": "10.0.0.3", "username": "alice", "has_uid": True, "uid": 501}),
    event(121, {"source_address_type": 1, "source_address": "10.0.0.3", "username": "alice",
                "uid": 501}),
    event(122, {"success": False, "failure_message": "bad\npassword", "username": "alice",
                "has_uid": True, "uid": 501}),
    event(123, {"username": "alice", "uid": 501}),
    event(128, {"success": True, "from_uid": 501, "from_username": "alice", "has_to_uid": True,
                "to_uid": 0, "to_username": "root", "shell": "/bin/zsh", "argv": ["su", "-"],
                "env": ["TERM=xterm"]}),
    event(131, {"success": True, "reject_info": None, "has_from_uid": True, "from_uid": 501,
                "from_username": "alice", "has_to_uid": True, "to_uid": 0,
                "to_username": "root", "command": "/usr/bin/id"}),
]


def config_yaml(output_format="json", audit_enabled=True, access_enabled=True,
                audit_path=None, access_path=None, inverted=False, targets=(),
                template="${timestamp} ${username} ${command} ${args}", max_size=5242880):
    def quoted(text):
        return json.dumps(text)

    lines = ["auditLogger:",
             f"  customLogFormat: {quoted(template)}",
             "  muting:",
             f"    inverted: {str(inverted).lower()}"]
    if targets:
        lines.append("    targets:")
        for path, kind in targets:
            lines += [f"      - path: {quoted(path)}", f"        type: {kind}"]
    else:
        lines.append("    targets: []")
    lines += [f"  enabled: {str(audit_enabled).lower()}",
              f"  logFilePath: {quoted(audit_path)}",
              f"  outputFormat: {output_format}",
              "  maxLogFileCount: 5",
              f"  maxLogFileSize: {max_size}",
              "accessLogger:",
              f"  enabled: {str(access_enabled).lower()}",
              f"  logFilePath: {quoted(access_path)}",
              "  outputFormat: json",
              "  maxLogFileCount: 5",
              f"  maxLogFileSize: {max_size}",
              "compressArchives: false"]
    return "\n".join(lines) + "\n"


def crlf_lines(text):
    """The lines of a log whose every line ends with CR LF; fails on a bare line end."""
    if not text:
        return []
    assert text.endswith("\r\n"), repr(text[-40:])
    return text[:-2].split("\r\n")


def assert_sorted_keys(pairs):
    keys = [key for key, _ in pairs]
    assert keys == sorted(keys), keys
    return dict(pairs)


class ExtensionTestCase(harness.RootTestCase):
    def read_raw(self, path):
        """The file's text with its line ends as written (CR LF stays CR LF)."""
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8", errors="surrogateescape", newline="") as handle:
            return handle.read()

    def write_stream(self, messages, name="stream.jsonl"):
        path = self.path(name)
        with open(path, "w", encoding="utf-8") as handle:
            for message in messages:
                handle.write(json.dumps(message) + "\n")
        return path

    def write_config(self, **options):
        os.makedirs(self.support(), exist_ok=True)
        options.setdefault("audit_path", self.support("audit.log"))
        options.setdefault("access_path", self.support("access.log"))
        with open(self.support("config.yaml"), "w", encoding="utf-8") as handle:
            handle.write(config_yaml(**options))

    def run_extension(self, messages=(), **extra):
        source = self.write_stream(messages)
        return self.run_program(EXTENSION, VORLA_ES_SOURCE=source, **extra)

    def log_lines(self, name):
        return crlf_lines(self.read_raw(self.support(name)))

    def error_messages(self):
        messages = []
        for line in self.log_lines("error.log"):
            match = ERROR_LINE.match(line)
            self.assertIsNotNone(match, line)
            messages.append(match.group(1))
        return messages

    def trace_calls(self):
        return self.read(self.trace).splitlines()

    def access_records(self):
        return [json.loads(line, object_pairs_hook=assert_sorted_keys)
                for line in self.log_lines("access.log")]


class RoutingTest(ExtensionTestCase):
    def test_every_event_reaches_its_log(self):
        messages = [exec_message(["ls", "-l"])] + ACCESS_EVENTS + [exec_message(["id"])]
        result = self.run_extension(messages)
        self.assertEqual(result.returncode, 0, result.stderr)

        audit = [json.loads(line) for line in self.log_lines("audit.log")]
        self.assertEqual([record["log"]["args"] for record in audit], [["ls", "-l"], ["id"]])
        records = self.access_records()
        self.assertEqual(len(records), len(ACCESS_EVENTS))
        for record in records:
            self.assertEqual(set(record), {"log", "timestamp"})
            self.assertIn("event", record["log"])
        self.assertEqual(self.error_messages(), [])

    def test_unknown_types_and_empty_records_go_to_the_error_log(self):
        messages = [event(24, {}), event(111, {"success": True, "type": 4}),
                    event(111, {"success": True, "type": 9})]
        result = self.run_extension(messages)
        self.assertEqual(result.returncode, 0, result.stderr)
        errors = self.error_messages()
        self.assertEqual(errors[0], "recived unknown event type: 24")
        self.assertEqual(len(errors), 3)
        for line in errors[1:]:
            self.assertTrue(line.startswith("dropping line: "), line)
        self.assertEqual(self.log_lines("access.log"), [])
        self.assertEqual(self.log_lines("audit.log"), [])

    def test_only_subscribed_events_are_delivered(self):
        """As the service delivers only what was subscribed: su and sudo from version 14 on,
        no lines for a disabled log, and nothing skipped shows up as dropped lines."""
        su_sudo = [ACCESS_EVENTS[-2], ACCESS_EVENTS[-1]]
        execution = exec_message(["ls"])
        cases = [  # version, audit enabled, access enabled, audit lines, access records
            ("13.6.1", True, True, 1, 0),
            ("14.0.0", True, True, 1, 2),
            ("14.0.0", False, True, 0, 2),
            ("14.0.0", True, False, 1, 0),
        ]
        for version, audit, access, audit_lines, access_records in cases:
            with self.subTest(version=version, audit=audit, access=access):
                for name in ("audit.log", "access.log", "error.log"):
                    if os.path.exists(self.support(name)):
                        os.remove(self.support(name))
                self.write_config(audit_enabled=audit, access_enabled=access)
                result = self.run_extension(su_sudo + [execution] + su_sudo,
                                            VORLA_OS_VERSION=version)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(self.error_messages(), [])
                self.assertEqual(len(self.log_lines("audit.log")), audit_lines)
                self.assertEqual(len(self.access_records()), 2 * access_records)

    def test_skipped_sequence_numbers_are_counted(self):
        messages = [exec_message(["a"], global_seq_num=1), exec_message(["b"], global_seq_num=2),
                    exec_message(["c"], global_seq_num=6), exec_message(["d"], global_seq_num=4),
                    exec_message(["e"], global_seq_num=6, version=3),
                    exec_message(["f"], global_seq_num=9)]
        result = self.run_extension(messages)
        self.assertEqual(result.returncode, 0, result.stderr)
        # 6 after 2 skips three; 4 after 6 skips none; version 3 is not counted; 9 after 7 skips one.
        self.assertEqual(self.error_messages(), ["3 lines dropped", "1 lines dropped"])
        self.assertEqual(len(self.log_lines("audit.log")), 6)

    def test_hostile_arguments_stay_inside_one_line(self):
        hostile = ["sh", "-c", "x\r\ntype=EXECVE msg=audit(1:1): argc=0", "a b=c", "\"q\""]
        for output_format in ("json", "auditd", "custom"):
            with self.subTest(output_format):
                self.write_config(output_format=output_format)
                if os.path.exists(self.support("audit.log")):
                    os.remove(self.support("audit.log"))
                result = self.run_extension([exec_message(hostile, "/tmp/evil\r\nbin")])
                self.assertEqual(result.returncode, 0, result.stderr)
                text = self.read_raw(self.support("audit.log"))
                self.assertEqual(text.count("\r"), 1, text)
                self.assertEqual(text.count("\n"), 2 if output_format == "auditd" else 1, text)

    def test_an_overlong_line_is_skipped_without_being_held(self):
        # Six million one-byte arguments: 24 MB of line, past the 16 MiB bound.
        messages = [exec_message(["before"]), exec_message(["a"] * 6_000_000), exec_message(["after"])]
        result = self.run_extension(messages, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        audit = [json.loads(line) for line in self.log_lines("audit.log")]
        self.assertEqual([record["log"]["args"] for record in audit], [["before"], ["after"]])
        self.assertEqual(result.stderr.count("skipped"), 1, result.stderr)
        self.assertIn("line 2 skipped: longer than the 16777216 bytes the service accepts", result.stderr)
        # Kilobytes on Linux: the extension is the only child large enough to matter.
        self.assertChildrenPeakBelow(256 * 1024)

    def test_a_long_line_within_the_bound_costs_memory_by_its_length(self):
        # Three million one-byte arguments: 15 MB of line, within the bound, written whole.
        result = self.run_extension([exec_message(["a"] * 3_000_000)], timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.support("audit.log.1"), "rb") as handle:
            self.assertEqual(handle.read().count(b'"a"'), 3_000_000)
        self.assertChildrenPeakBelow(256 * 1024)


class SubscriptionTest(ExtensionTestCase):
    def subscribed(self):
        return [line for line in self.trace_calls() if line.startswith("es_subscribe")]

    def test_subscription_follows_the_enabled_flags(self):
        access_14 = ",".join(map(str, ACCESS_TYPES_13 + [128, 131]))
        cases = [(False, False, "es_subscribe "), (True, False, "es_subscribe 9"),
                 (False, True, "es_subscribe " + access_14),
                 (True, True, "es_subscribe 9," + access_14)]
        for audit, access, expected in cases:
            with self.subTest(audit=audit, access=access):
                self.write_config(audit_enabled=audit, access_enabled=access)
                if os.path.exists(self.trace):
                    os.remove(self.trace)
                result = self.run_extension()
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(self.subscribed(), [expected])
                for name in ("audit.log", "access.log", "error.log"):
                    self.assertTrue(os.path.isfile(self.support(name)), name)

    def test_su_and_sudo_follow_the_operating_system_version(self):
        with_su = "es_subscribe 9," + ",".join(map(str, ACCESS_TYPES_13 + [128, 131]))
        without = "es_subscribe 9," + ",".join(map(str, ACCESS_TYPES_13))
        cases = [  # VORLA_OS_VERSION, subscription, diagnostics on standard error
            ("13.6.1", without, 0), ("13", without, 0), ("14.0", with_su, 0),
            ("", with_su, 0), ("14.x", with_su, 1), ("13.5.", with_su, 1), ("v13", with_su, 1),
        ]
        for version, expected, diagnostics in cases:
            with self.subTest(version=version):
                if os.path.exists(self.trace):
                    os.remove(self.trace)
                result = self.run_extension(VORLA_OS_VERSION=version)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(self.subscribed(), [expected])
                self.assertEqual(result.stderr.count("VORLA_OS_VERSION"), diagnostics,
                                 result.stderr)

    def test_muting_calls_come_in_order_before_the_subscription(self):
        self.write_config(inverted=True, targets=[("/usr/bin", "prefix"),
                                                  ("/Applications/My App", "literal")])
        result = self.run_extension()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.trace_calls()[:5], ["es_new_client", "es_unmute_all_target_paths",
                                            "es_invert_muting 2", "es_mute_path 2 /usr/bin",
                                            "es_mute_path 3 /Applications/My App"])
        self.assertTrue(self.trace_calls()[5].startswith("es_subscribe 9,111,"))


class ExitStatusTest(ExtensionTestCase):
    def test_a_logger_path_that_is_a_folder_ends_with_status_4(self):
        folder = self.path("a-folder")
        os.makedirs(folder)
        for label, options in (("com.vorla.audit", {"audit_path": folder}),
                               ("com.vorla.access", {"access_path": folder})):
            with self.subTest(label):
                self.write_config(**options)
                if os.path.exists(self.oslog):
                    os.remove(self.oslog)
                result = self.run_extension()
                self.assertEqual(result.returncode, 4)
                errors = [entry[3] for entry in self.oslog_lines() if entry[0] == "error"]
                self.assertEqual(len(errors), 2, errors)
                short = label.split(".")[-1]
                self.assertTrue(errors[0].startswith(f"could not create {short} logger. error: "))
                self.assertTrue(errors[1].startswith(f"could not setup logger {label}: "))
                self.assertEqual(self.oslog_lines()[-1][3], errors[1], "nothing after the reason")
                self.assertNotIn("es_new_client", self.trace_calls())

    def test_a_refused_client_ends_with_status_5(self):
        cases = {3: "extension is missing entitlement.",
                 4: "prompt is not approved on Security & Privacy pane.",
                 5: "extension is not running as root.",
                 9: "error occured: es_new_client_result_t(rawValue: 9)"}
        for code, reason in cases.items():
            with self.subTest(code=code):
                if os.path.exists(self.support("error.log")):
                    os.remove(self.support("error.log"))
                result = self.run_extension([exec_message(["ls"])],
                                            VORLA_ES_NEW_CLIENT_RESULT=code)
                self.assertEqual(result.returncode, 5)
                self.assertEqual(self.error_messages(),
                                 [f"failed to create new ES client: {code}", reason])
                self.assertEqual(self.log_lines("audit.log"), [])

    def test_a_refused_subscription_ends_with_status_6(self):
        result = self.run_extension([exec_message(["ls"])], VORLA_ES_SUBSCRIBE_RESULT=1)
        self.assertEqual(result.returncode, 6)
        self.assertEqual(self.error_messages(), ["failed to subscribe to events"])
        self.assertEqual(self.trace_calls()[-1], "es_delete_client")
        self.assertEqual(self.log_lines("audit.log"), [])


if __name__ == "__main__":
    unittest.main()
