"""The audit log in auditd format, read back by the Linux audit tools: every event found, every
execution counted, and every argument, comm and exe given back byte for byte."""

import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from extension_events_test import ExtensionTestCase, audit_token, exec_message  # noqa: E402

try:
    import auparse
except ImportError:  # reported by the test that needs it
    auparse = None

# (executable, arguments): values that look like hex, hold spaces, quotes, control bytes, line
# ends, text that imitates fields and records, non-ASCII text, and long values.
EXECUTIONS = [
    ("/bin/cat", ["cat", "file"]),
    ("/bin/echo", ["echo", "deadbeef", "face", "10", "add", "C3A9"]),
    ("/bin/bash", ["bash", "-c", "echo a1=x type=EXECVE msg=audit(1:1): argc=0"]),
    ("/usr/bin/printf", ["printf", "\"quoted\"", "it's", "back\\slash"]),
    ("/usr/bin/nl", ["nl", "line1\nline2", "cr\rlf\r\n", "tab\there"]),
    ("/usr/bin/ctl", ["ctl", "\x01\x1f\x7f", "\x7e\x21"]),
    ("/usr/bin/long", ["long", "x" * 300, "y " * 150]),
    ("/tmp/my tool", []),
    ("/tmp/one", ["one"]),
    ("/tmp/forge", ["type=SYSCALL", "a1=forged", "key=\"x\"", "exe=/bin/true"]),
    ("/opt/app dir/caf\u00e9", ["caf\u00e9", "\u65e5\u672c\u8a9e"]),
    ("/bin/ls", ["ls", "-l", "/tmp"]),
]
# Argument lists far past what the audit tools read in one system-call record, each under its
# own executable so that each is counted on its own.
LONG_EXECUTIONS = [
    ("/usr/bin/long-argument", ["long-argument", "L" * 16384]),
    ("/bin/rm", ["rm"] + ["/tmp/%030d" % index for index in range(250)]),
    ("/usr/bin/touch", ["touch"] + [chr(ord("a") + index % 26) for index in range(4000)]),
]
EXECUTIONS += LONG_EXECUTIONS
# image_cputype of x86-64 and arm64, and a value of neither, taken in turn.
ARCHITECTURES = [16777223, 16777228, 16777229]

# Every id of the executed process differs from every other, so a field written from the
# wrong one is found under the wrong name.
TOKEN = {"ruid": 501, "rgid": 20, "euid": 502, "egid": 21, "auid": 503, "pid": 4242,
         "asid": 100002, "pidversion": 9}
IDS = {"uid": "501", "gid": "20", "euid": "502", "egid": "21", "auid": "503", "pid": "4242",
       "ppid": "4000", "ses": "100001"}
SEARCHES = [("-ui", "501"), ("-gi", "20"), ("-ue", "502"), ("-ge", "21"), ("-ua", "503"),
            ("-p", "4242"), ("-pp", "4000"), ("--session", "100001")]


def distinct_ids(message):
    target = message["event"]["target"]
    target["audit_token"] = dict(TOKEN)
    target["parent_audit_token"] = audit_token(4000)
    return message


@unittest.skipUnless(shutil.which("ausearch") and shutil.which("aureport"),
                     "the audit tools (package auditd) are not installed")
class AuditToolsTest(ExtensionTestCase):
    def setUp(self):
        super().setUp()
        self.write_config(output_format="auditd")
        messages = [distinct_ids(exec_message(args, executable=exe, global_seq_num=100 + index))
                    for index, (exe, args) in enumerate(EXECUTIONS)]
        for index, message in enumerate(messages):
            message["event"]["image_cputype"] = ARCHITECTURES[index % 3]
        result = self.run_extension(messages)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.log = self.support("audit.log")

    def tool(self, *args):
        return subprocess.run(list(args), capture_output=True, text=True, timeout=60,
                              errors="surrogateescape")

    def test_ausearch_finds_every_event_raw_and_interpreted(self):
        for extra in ([], ["-i"]):
            with self.subTest(extra):
                found = self.tool("ausearch", "-if", self.log, *extra)
                self.assertEqual(found.returncode, 0, found.stderr)
                self.assertEqual(found.stdout.count("----\n"), len(EXECUTIONS), found.stdout)

    def test_ausearch_finds_every_event_by_each_id(self):
        for option, value in SEARCHES:
            with self.subTest(option):
                found = self.tool("ausearch", "-if", self.log, option, value)
                self.assertEqual(found.returncode, 0, found.stderr)
                self.assertEqual(found.stdout.count("----\n"), len(EXECUTIONS), found.stdout)

    def test_ausearch_finds_an_executable_by_a_path_with_a_space(self):
        found = self.tool("ausearch", "-if", self.log, "-x", "/tmp/my tool")
        self.assertEqual(found.returncode, 0, found.stderr)
        self.assertEqual(found.stdout.count("----\n"), 1, found.stdout)

    def test_ausearch_finds_each_long_execution_raw_and_interpreted(self):
        for exe, _ in LONG_EXECUTIONS:
            for extra in ([], ["-i"]):
                with self.subTest(exe=exe, extra=extra):
                    found = self.tool("ausearch", "-if", self.log, "-x", exe, *extra)
                    self.assertEqual(found.returncode, 0, found.stderr)
                    self.assertEqual(found.stdout.count("----\n"), 1, found.stdout[:2000])

    def test_ausearch_finds_executions_by_the_system_call_of_their_architecture(self):
        counts = [len(range(index, len(EXECUTIONS), 3)) for index in range(3)]
        # A record of no known architecture is found by the call's number only, which finds
        # x86-64's as well, and never arm64's.
        for search, expected in [(["--arch", "x86_64", "-sc", "execve"], counts[0]),
                                 (["--arch", "aarch64", "-sc", "execve"], counts[1]),
                                 (["-sc", "59"], counts[0] + counts[2])]:
            with self.subTest(search=search):
                found = self.tool("ausearch", "-if", self.log, *search)
                self.assertEqual(found.returncode, 0, found.stderr)
                self.assertEqual(found.stdout.count("----\n"), expected, found.stdout[:2000])
        interpreted = self.tool("ausearch", "-if", self.log, "-i")
        self.assertEqual(interpreted.stdout.count(" syscall=execve "), len(EXECUTIONS))

    def test_aureport_lists_every_execution(self):
        report = self.tool("aureport", "-if", self.log, "-x")
        self.assertEqual(report.returncode, 0, report.stderr)
        rows = [line.split() for line in report.stdout.splitlines()
                if line.split() and line.split()[0].endswith(".")]
        self.assertEqual(len(rows), len(EXECUTIONS), report.stdout[:2000])
        for exe, _ in LONG_EXECUTIONS:
            self.assertEqual(sum(exe in row for row in rows), 1, exe)

    def test_aureport_counts_every_execution(self):
        report = self.tool("aureport", "-if", self.log, "-x", "--summary")
        self.assertEqual(report.returncode, 0, report.stderr)
        counts = {}
        for line in report.stdout.splitlines():
            total, _, path = line.strip().partition("  ")
            if total.isdigit():
                counts[path.strip()] = int(total)
        self.assertEqual(sum(counts.values()), len(EXECUTIONS), report.stdout)
        for exe in ["/tmp/my tool"] + [exe for exe, _ in LONG_EXECUTIONS]:
            self.assertEqual(counts.get(exe), 1, report.stdout)

    @unittest.skipIf(auparse is None, "the audit parsing library (python3-audit) is missing")
    def test_the_parsing_library_gives_back_every_value_exactly(self):
        parser = auparse.AuParser(auparse.AUSOURCE_FILE, self.log)
        parser.set_escape_mode(auparse.AUPARSE_ESC_RAW)
        events = []
        while parser.parse_next_event():
            fields = {}
            parser.first_record()
            while True:
                record = parser.get_type_name()
                parser.first_field()
                while True:
                    name = parser.get_field_name()
                    fields[(record, name)] = parser.interpret_field()
                    fields[(record, name, "raw")] = parser.get_field_str()
                    if not parser.next_field():
                        break
                if not parser.next_record():
                    break
            events.append(fields)
        self.assertEqual(len(events), len(EXECUTIONS))
        for fields, (exe, args) in zip(events, EXECUTIONS):
            with self.subTest(exe=exe):
                self.assertEqual(fields[("EXECVE", "argc")], str(len(args)))
                for index, argument in enumerate(args):
                    self.assertEqual(fields[("EXECVE", "a%d" % index)], argument)
                self.assertEqual(fields[("SYSCALL", "comm")], args[0] if args else "")
                self.assertEqual(fields[("SYSCALL", "exe")], exe)
                self.assertEqual(fields[("SYSCALL", "key")], "vorla")
                self.assertEqual({name: fields[("SYSCALL", name, "raw")] for name in IDS}, IDS)


if __name__ == "__main__":
    unittest.main()
