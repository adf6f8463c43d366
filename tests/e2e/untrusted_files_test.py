"""Root's file handling tried as an attacker would try it: a local user who owns a folder on the
way to a log, or who can write into one. Whatever such a user plants, nothing outside the
extension's own files may change, no line may be lost, memory and time stay bounded, and each
fault is reported once."""

import ctypes
import gzip
import hashlib
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extension_events_test as events  # noqa: E402
import extension_startup_test as startup  # noqa: E402
import hostile_files_test as hostile  # noqa: E402

NOBODY = 65534
MIB = 1024 * 1024
SECRET = b"root's secret: never to be copied\n"
# The test's own files in its root, which the extension's checks are not about.
OWN_FILES = {"oslog.txt", "es-trace.txt", "stream.jsonl"}
# Each way of making a folder untrusted, with a word that its reason must hold.
UNTRUSTED_FOLDERS = [
    ("a link made by the parent's owner", "65534"), ("a folder of another user", "65534"),
    ("root's link to another user's folder", "65534"),
    ("another user's link to root's folder", "65534"),
    ("root's folder in another user's folder", "65534"),
    ("missing, in another user's folder", "65534"),
    ("root's folder in a folder writable by others", "writable"),
]
AT_FDCWD = -100
RENAME_EXCHANGE = 2


def file_url(path):
    return "file://" + path.replace(" ", "%20")


def describe(path):
    """All that an attacker could change of one entry: kind, mode, owner, links, inode, contents."""
    info = os.lstat(path)
    # A folder's link count follows its subfolders, which `tree` lists anyway.
    links = None if stat.S_ISDIR(info.st_mode) else info.st_nlink
    contents = None
    if stat.S_ISLNK(info.st_mode):
        contents = os.readlink(path)
    elif stat.S_ISREG(info.st_mode):
        with open(path, "rb") as handle:
            contents = hashlib.file_digest(handle, "sha256").hexdigest()
    return (stat.S_IFMT(info.st_mode), stat.S_IMODE(info.st_mode), info.st_uid, links,
            info.st_ino, contents)


def tree(folder, leave_out=()):
    """`describe` of a folder and of everything below it, links not followed."""
    state = {}

    def visit(path, relative):
        state[relative] = describe(path)
        if stat.S_ISDIR(os.lstat(path).st_mode):
            for name in os.listdir(path):
                if relative or name not in leave_out:
                    visit(os.path.join(path, name), os.path.join(relative, name))

    visit(folder, "")
    return state


def read_log(path):
    opener = gzip.open if path.endswith(".gzip") else open
    with opener(path, "rb") as handle:
        return handle.read()


def logged_numbers(folder, name="audit.log"):
    """The numbers of the execution lines in root's log, archives and gzip files of a log."""
    numbers = []
    for entry in os.listdir(folder):
        info = os.lstat(os.path.join(folder, entry))
        if (entry == name or entry.startswith(name + ".")) and stat.S_ISREG(info.st_mode) and \
                info.st_uid == os.geteuid():
            path = os.path.join(folder, entry)
            numbers += [int(json.loads(line)["log"]["args"][2])
                        for line in events.crlf_lines(read_log(path).decode())]
    return sorted(numbers)


class UntrustedFilesTest(events.ExtensionTestCase):
    def setUp(self):
        super().setUp()
        # Another user must reach the folders given to it; 0755 keeps the root trusted.
        os.chmod(self.root, 0o755)

    def need_another_user(self):
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("planting files as user nobody needs root and setpriv")

    def shell(self, script, *args, user=None, check=True):
        """Runs a shell script as root, or as `user`, with the arguments as $1, $2..."""
        command = ["sh", "-ec", script, "sh", *args]
        if user is not None:
            command = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups", "--",
                       *command]
        result = subprocess.run(command, capture_output=True, text=True, timeout=60)
        if check:
            self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def give_nobody(self, *parts):
        path = self.path(*parts)
        os.makedirs(path, exist_ok=True)
        os.chown(path, NOBODY, NOBODY)
        return path

    def reset(self):
        """An empty root for the next case."""
        for name in os.listdir(self.root):
            path = self.path(name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)

    def texts(self, kind=None):
        return [text for entry_kind, _, _, text in self.oslog_lines() if kind in (None, entry_kind)]

    def configure(self, compress=False, count=5, **options):
        self.write_config(**options)
        with open(self.support("config.yaml"), encoding="utf-8") as handle:
            text = handle.read()
        text = text.replace("compressArchives: false", f"compressArchives: {str(compress).lower()}")
        with open(self.support("config.yaml"), "w", encoding="utf-8") as handle:
            handle.write(text.replace("maxLogFileCount: 5", f"maxLogFileCount: {count}"))

    def write_file(self, path, contents, mode=0o644):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as handle:
            handle.write(contents)
        os.chmod(path, mode)
        return path

    def plant_theirs(self, folder, user):
        """Another program's audit.log and audit.log.1 to .4, with its config.yaml."""
        self.shell('cd "$1"; for name in audit.log audit.log.1 audit.log.2 audit.log.3 '
                   'audit.log.4 config.yaml; do echo "$name of another program" > "$name"; done',
                   folder, user=user)

    def assertNoMoreOpenThanTheLog(self, path):
        """The file is the extension's own and is open to no more than a log (0640)."""
        info = os.lstat(path)
        self.assertEqual((info.st_uid, stat.S_IMODE(info.st_mode) & ~0o640), (os.geteuid(), 0),
                         f"{path}: {stat.filemode(info.st_mode)}")

    def assertNoCopyOfTheSecret(self, secret, folder):
        """No file but the secret's own names holds it, and no gzip file is open to more than
        the log's owner and group."""
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            info = os.lstat(path)
            if not stat.S_ISREG(info.st_mode) or info.st_ino == os.stat(secret).st_ino:
                continue
            self.assertNotIn(SECRET, read_log(path), name)
            if name.endswith(".gzip"):
                self.assertNoMoreOpenThanTheLog(path)

    def plant_untrusted_folder(self, shape, folder):
        """Makes `folder` untrusted in the way that `shape` names, with another program's files in
        what it leads to."""
        parent = os.path.dirname(folder)
        if shape == "a link made by the parent's owner":
            self.give_nobody(parent)
            self.shell('mkdir "$1/theirs"; ln -s theirs "$2"', parent, folder, user=NOBODY)
            self.plant_theirs(os.path.join(parent, "theirs"), NOBODY)
        elif shape == "a folder of another user":
            os.makedirs(parent, exist_ok=True)
            self.plant_theirs(self.give_nobody(folder), NOBODY)
        elif shape == "root's link to another user's folder":
            os.makedirs(parent, exist_ok=True)
            self.plant_theirs(self.give_nobody("theirs"), NOBODY)
            os.symlink(self.path("theirs"), folder)
        elif shape == "another user's link to root's folder":
            os.makedirs(parent, exist_ok=True)
            os.makedirs(self.path("real"))
            self.plant_theirs(self.path("real"), None)
            os.symlink(self.path("real"), folder)
            os.lchown(folder, NOBODY, NOBODY)
        elif shape == "root's folder in another user's folder":
            self.give_nobody(parent)
            os.makedirs(folder)
            self.plant_theirs(folder, None)
        elif shape == "missing, in another user's folder":
            self.give_nobody(parent)
        elif shape == "root's folder in a folder writable by others":
            os.makedirs(folder)
            os.chmod(parent, 0o777)
            self.plant_theirs(folder, None)
        else:
            os.makedirs(folder)
            os.chmod(folder, 0o777 if shape == "root's folder writable by others" else 0o775)
            self.plant_theirs(folder, None)

    def test_a_support_folder_that_cannot_be_trusted_ends_the_start_with_status_2(self):
        self.need_another_user()
        for shape, word in UNTRUSTED_FOLDERS:
            with self.subTest(shape):
                self.reset()
                self.plant_untrusted_folder(shape, self.support())
                before = tree(self.root, OWN_FILES)
                result = self.run_extension(hostile.exec_lines(3))
                self.assertEqual(result.returncode, 2, result.stderr)
                errors = self.texts("error")
                self.assertEqual(len(errors), 2, errors)
                self.assertTrue(errors[0].startswith(
                    f"the support folder {self.support()} cannot be used: "), errors)
                self.assertIn(word, errors[0])
                self.assertEqual(errors[1], "could create directory: " + self.support())
                self.assertEqual(tree(self.root, OWN_FILES), before)

    def test_a_loose_support_folder_of_root_is_tightened(self):
        for mode in (0o777, 0o775, 0o757):
            with self.subTest(f"{mode:o}"):
                self.reset()
                os.makedirs(self.support())
                os.chmod(self.support(), mode)
                result = self.run_extension(hostile.exec_lines(3))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(stat.S_IMODE(os.stat(self.support()).st_mode), 0o755)
                tightened = [(kind, text) for kind, _, _, text in self.oslog_lines()
                             if "tightened" in text]
                self.assertEqual(tightened, [("default", "tightened the permissions of the support "
                                              f"folder {self.support()} from {mode:04o} to 0755")])
                self.assertEqual(self.texts("error"), [])
                self.assertEqual(logged_numbers(self.support()), [0, 1, 2])

    def test_a_log_folder_that_cannot_be_trusted_falls_back_to_the_default_path(self):
        self.need_another_user()
        # The support folder may tighten a loose folder of root's; a log folder may not.
        loose = [("root's folder writable by others", "writable"),
                 ("root's folder writable by group", "writable")]
        for shape, word in UNTRUSTED_FOLDERS + loose:
            with self.subTest(shape):
                self.reset()
                self.plant_untrusted_folder(shape, self.path("var", "logs"))
                configured = self.path("var", "logs", "audit.log")
                before = tree(self.root, OWN_FILES | {"Library"})
                # Small files, so that a log in the folder would have rotated into theirs.
                self.configure(audit_path=configured, max_size=1024)
                result = self.run_extension(hostile.exec_lines(10, "y" * 100))
                self.assertEqual(result.returncode, 0, result.stderr)
                reports = [(kind, text) for kind, _, _, text in self.oslog_lines()
                           if "cannot be trusted" in text]
                self.assertEqual(len(reports), 1, reports[:3])
                kind, text = reports[0]
                self.assertEqual(kind, "error")
                self.assertTrue(text.startswith(f"[validation]: logFilePath {configured} lies in "
                                                "a folder that cannot be trusted ("), text)
                self.assertTrue(text.endswith("). Falling back to default"), text)
                self.assertIn(word, text)
                self.assertEqual(logged_numbers(self.support()), list(range(10)))
                self.assertEqual(tree(self.root, OWN_FILES | {"Library"}), before)

    def test_a_configuration_that_cannot_be_trusted_is_used_in_memory_only(self):
        self.need_another_user()
        profile = self.path(startup.PROFILE)
        cases = [  # file, its owner, its mode (None: a link to root's file), owner of its folder,
            # a word of the reason
            ("config.yaml", NOBODY, 0o644, 0, "65534"),
            ("config.yaml", NOBODY, None, 0, "65534"),
            ("config.yaml", 0, 0o666, 0, "writable"),
            ("config.yaml", 0, 0o664, 0, "writable"),
            ("profile", NOBODY, 0o644, 0, "65534"),
            ("profile", 0, 0o646, 0, "writable"),
            ("profile", 0, 0o644, NOBODY, "65534"),
        ]
        for kind, owner, mode, folder_owner, word in cases:
            with self.subTest(kind=kind, owner=owner, mode=f"{mode:o}" if mode else "link",
                              folder=folder_owner):
                self.reset()
                passwd = self.write_file(self.path("etc", "passwd"), b"root:x:0:0::/root:/bin/sh\n")
                if kind == "config.yaml":
                    # It sends the audit log to the passwd stand-in, to be rotated and pruned.
                    self.configure(audit_path=passwd, max_size=1024, count=1)
                    planted = self.support("config.yaml")
                    expected = (f"could not use existing config {file_url(planted)}: ",
                                "; the default config is used without being written")
                else:
                    planted = self.write_file(profile, f"""<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>AuditLoggerLogFilePath</key><string>{passwd}</string>
<key>AuditLoggerMaxFileCount</key><integer>1</integer>
<key>AuditLoggerMaxFileSize</key><integer>1024</integer>
</dict></plist>
""".encode())
                    expected = (f"could not use the managed profile {file_url(planted)}: ",
                                "; the default config is used")
                if mode is None:
                    os.rename(planted, self.path("etc", "config.yaml"))
                    os.symlink(self.path("etc", "config.yaml"), planted)
                else:
                    os.chmod(planted, mode)
                os.lchown(planted, owner, owner)
                os.chown(os.path.dirname(planted), folder_owner, folder_owner)
                before = {"file": describe(planted), "etc": tree(self.path("etc"))}
                result = self.run_extension(hostile.exec_lines(10, "y" * 100))
                self.assertEqual(result.returncode, 0, result.stderr)
                errors = self.texts("error")
                self.assertEqual(len(errors), 1, errors)
                self.assertTrue(errors[0].startswith(expected[0]), errors)
                self.assertTrue(errors[0].endswith(expected[1]), errors)
                self.assertIn(word, errors[0])
                self.assertEqual({"file": describe(planted), "etc": tree(self.path("etc"))}, before)
                self.assertFalse([name for name in os.listdir(self.support()) if "broken" in name])
                if kind == "profile":
                    self.assertFalse(os.path.lexists(self.support("config.yaml")))
                self.assertEqual(logged_numbers(self.support()), list(range(10)))

    def test_a_log_file_that_cannot_be_trusted_is_set_aside_for_a_fresh_one(self):
        self.need_another_user()
        secret = self.path("secret")

        def hard_link_to_roots_secret(log):
            os.link(secret, log)

        def roots_file_writable_by_others(log):
            self.write_file(log, b"a forged line\r\n", 0o666)

        def another_users_link(log):
            os.symlink(secret, log)
            os.lchown(log, NOBODY, NOBODY)

        def another_users_fifo(log):
            os.mkfifo(log, 0o600)
            os.chown(log, NOBODY, NOBODY)

        def another_users_folder_in_a_sticky_folder(log):
            self.shell('mkdir "$1"', log, user=NOBODY)

        def another_users_link_to_a_folder_in_a_sticky_folder(log):
            self.shell('ln -s / "$1"', log, user=NOBODY)

        def file_of_another_user(log):
            self.write_file(log, b"a forged line\r\n", 0o600)
            os.chown(log, NOBODY, NOBODY)

        def another_users_file_in_a_sticky_folder(log):
            # Its owner also takes the names that setting it aside may pick in the next seconds.
            taken = [f"{log}-untrusted-{time.strftime('%Y%m%dT%H%M%SZ', time.gmtime(second))}"
                     for second in range(int(time.time()) - 1, int(time.time()) + 10)]
            self.shell('log=$1; shift; printf "a forged line\\r\\n" > "$log"; chmod 666 "$log"; '
                       'for name; do echo theirs > "$name"; done', log, *taken, user=NOBODY)

        cases = [  # how the log is planted, which log, a word of the reason
            (hard_link_to_roots_secret, "audit.log", "links"),
            (roots_file_writable_by_others, "audit.log", "writable"),
            (another_users_link, "audit.log", "link owned by user 65534"),
            (another_users_fifo, "audit.log", "65534"),
            (another_users_file_in_a_sticky_folder, "audit.log", "65534"),
            (another_users_folder_in_a_sticky_folder, "audit.log", "65534"),
            (another_users_link_to_a_folder_in_a_sticky_folder, "audit.log", "65534"),
            (hard_link_to_roots_secret, "error.log", "links"),
            (file_of_another_user, "access.log", "65534"),
        ]
        for plant, name, word in cases:
            with self.subTest(plant.__name__, log=name):
                self.reset()
                self.write_file(secret, SECRET, 0o600)
                folder = self.support()
                sticky = plant in (another_users_file_in_a_sticky_folder,
                                   another_users_folder_in_a_sticky_folder,
                                   another_users_link_to_a_folder_in_a_sticky_folder)
                if sticky:
                    folder = self.path("shared")
                    os.makedirs(folder)
                    os.chmod(folder, 0o1777)
                log = os.path.join(folder, name)
                self.configure(audit_path=os.path.join(folder, "audit.log"))
                plant(log)
                before, secret_before = tree(folder), describe(secret)
                result = self.run_extension(hostile.exec_lines(5), timeout=30)
                self.assertEqual(result.returncode, 0, result.stderr)
                errors = self.texts("error")
                self.assertEqual(len(errors), 1, errors)
                match = re.fullmatch(re.escape(f"set aside {file_url(log)} as {file_url(log)}")
                                     + r"(-untrusted-\d{8}T\d{6}Z-[A-Za-z0-9]{6}): (.*)", errors[0])
                self.assertIsNotNone(match, errors)
                self.assertRegex(match.group(2), word)
                aside = name + match.group(1)
                self.assertNotIn(aside, before, "a name that was taken")
                after = tree(folder)
                self.assertEqual(after.pop(aside), before.pop(name))
                self.assertEqual({entry: after[entry] for entry in before}, before)
                self.assertEqual(describe(secret), secret_before)
                fresh = os.lstat(log)
                self.assertEqual((stat.S_IFMT(fresh.st_mode), stat.S_IMODE(fresh.st_mode),
                                  fresh.st_uid, fresh.st_nlink),
                                 (stat.S_IFREG, 0o640, os.geteuid(), 1))
                self.assertEqual(logged_numbers(folder), list(range(5)))
                if sticky:
                    attempt = self.shell('echo forged >> "$1"', log, user=NOBODY, check=False)
                    self.assertNotEqual(attempt.returncode, 0, "nobody could write the new log")

    def test_an_archive_exchanged_while_it_is_compressed_copies_no_secret(self):
        """The exchange is made by root: in a folder that passes the trust rule no other user
        can rename root's archives, so this is the last line of defence, not the first."""
        libc = ctypes.CDLL(None, use_errno=True)
        if not hasattr(libc, "renameat2"):
            self.skipTest("the C library has no renameat2")
        libc.renameat2.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p,
                                   ctypes.c_uint]
        secret = self.path("secret")
        for kind, plant in (("symbolic link", os.symlink), ("hard link", os.link)):
            with self.subTest(kind):
                self.reset()
                self.write_file(secret, SECRET, 0o600)
                # Every gzip file is kept, so that a copy of the secret would stay to be found.
                self.configure(max_size=1024, compress=True, count=255)
                decoy = self.support("decoy")
                plant(secret, decoy)
                names = os.fsencode(self.support("audit.log.1")), os.fsencode(decoy)
                stop, exchanges = threading.Event(), [0]

                def exchange():
                    while not stop.is_set():
                        if libc.renameat2(AT_FDCWD, names[0], AT_FDCWD, names[1],
                                          RENAME_EXCHANGE) == 0:
                            exchanges[0] += 1

                racer = threading.Thread(target=exchange)
                racer.start()
                try:
                    result = self.run_extension(hostile.exec_lines(500, "r" * 100), timeout=120)
                finally:
                    stop.set()
                    racer.join()
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertGreater(exchanges[0], 0, "the archive was never exchanged")
                self.assertNoCopyOfTheSecret(secret, self.support())
                # Only root can exchange names in root's folder, and then root's removal of an
                # archive can always meet the secret's second name instead: what must hold is
                # that the secret itself keeps its bytes and its mode.
                self.assertEqual((read_log(secret), stat.S_IMODE(os.stat(secret).st_mode)),
                                 (SECRET, 0o600))

    def test_a_gzip_copy_is_never_more_open_than_the_log(self):
        cases = [(0o6750, True), (0o4755, True), (0o1644, True), (0o644, True), (0o6777, False)]
        for mode, compressed in cases:
            with self.subTest(f"{mode:o}"):
                self.reset()
                self.configure(compress=True)
                planted = self.write_file(self.support("audit.log.7"), SECRET, mode)
                before = describe(planted)
                result = self.run_extension()
                self.assertEqual(result.returncode, 0, result.stderr)
                gzip_files = [name for name in os.listdir(self.support()) if name.endswith(".gzip")]
                if compressed:
                    self.assertEqual(len(gzip_files), 1, gzip_files)
                    self.assertFalse(os.path.lexists(planted))
                    self.assertEqual(read_log(self.support(gzip_files[0])), SECRET)
                    self.assertNoMoreOpenThanTheLog(self.support(gzip_files[0]))
                else:
                    self.assertTrue(os.path.lexists(planted), "an untrusted archive was compressed")
                    self.assertEqual((gzip_files, describe(planted)), ([], before))

    def test_a_huge_planted_archive_is_streamed_or_left_alone(self):
        archive = self.support("audit.log.7")
        cases = [  # the logs' size limit, whether the archive is compressed
            (5242880, False), (512 * MIB, True)]
        for limit, compressed in cases:
            with self.subTest(limit=limit):
                self.reset()
                self.configure(compress=True, max_size=limit)
                with open(archive, "wb") as handle:
                    handle.write(b"planted\n")
                    handle.truncate(512 * MIB)
                before = os.lstat(archive)
                result = self.run_extension(timeout=240)
                self.assertEqual(result.returncode, 0, result.stderr)
                reports = [text for text in self.texts() if text.startswith("did not compress ")]
                gzip_files = [name for name in os.listdir(self.support()) if name.endswith(".gzip")]
                if compressed:
                    self.assertEqual((reports, len(gzip_files)), ([], 1), gzip_files)
                    self.assertFalse(os.path.lexists(archive))
                    with gzip.open(self.support(gzip_files[0])) as handle:
                        size = len(handle.read(8))
                        while chunk := handle.read(MIB):
                            size += len(chunk)
                            self.assertFalse(chunk.strip(b"\0"))
                    self.assertEqual(size, 512 * MIB)
                else:
                    self.assertEqual(len(reports), 1, reports)
                    self.assertTrue(
                        reports[0].startswith(f"did not compress {file_url(archive)}: "), reports)
                    self.assertIn("larger", reports[0])
                    after = os.lstat(archive)
                    self.assertEqual((after.st_ino, after.st_size, after.st_blocks),
                                     (before.st_ino, before.st_size, before.st_blocks))
                    self.assertEqual(gzip_files, [])
        self.assertChildrenPeakBelow(100 * 1024)

    def test_roots_entry_blocking_rotation_is_reported_once_and_costs_no_line(self):
        self.write_file(self.support("audit.log.1", "kept"), b"kept\n")
        self.configure(max_size=1024, compress=True)
        before = tree(self.support(), {"config.yaml"})
        result = self.run_extension(hostile.exec_lines(300, "b" * 100), timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        reports = [text for text in self.texts()
                   if text.startswith("error in archiving the target file, error: ")]
        self.assertEqual(len(reports), 1, reports[:3])
        self.assertEqual(logged_numbers(self.support()), list(range(300)))
        after = tree(self.support())
        self.assertEqual({name: after.get(name) for name in before if name},
                         {name: state for name, state in before.items() if name})

    def test_others_entries_at_archive_names_make_way_and_the_limit_holds(self):
        self.need_another_user()
        # Compressed archives leave <log>.1 before the next rotation; plain ones are shifted
        # through every number up to one past the five kept.
        cases = [(True, ["audit.log.1"]),
                 (False, ["audit.log.1", "audit.log.2", "audit.log.3", "audit.log.4",
                          "audit.log.6"])]
        for compress, needed in cases:
            with self.subTest(compress=compress):
                self.reset()
                self.plant_others_archive_names_and_rotate(compress, needed)

    def plant_others_archive_names_and_rotate(self, compress, needed):
        shared = self.path("shared")
        os.makedirs(shared)
        os.chmod(shared, 0o1777)
        self.write_file(self.path("secret"), SECRET, 0o600)
        # None of them is an archive of root's: each one a rotation needs is set aside whole.
        self.shell('cd "$1"; echo theirs > audit.log.1; ln -s "$2" audit.log.2; '
                   'mkdir audit.log.3; mkfifo audit.log.4; echo theirs > audit.log.6; '
                   'echo theirs > audit.log.9; echo theirs | gzip > audit.log.1.gzip', shared,
                   self.path("secret"), user=NOBODY)
        self.configure(audit_path=os.path.join(shared, "audit.log"), max_size=1024,
                       compress=compress)
        before = tree(shared)
        result = self.run_extension(hostile.exec_lines(300, "b" * 100), timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        # Rotation works: the newest lines stand without a gap, the oldest went with retention.
        numbers = logged_numbers(shared)
        self.assertEqual(numbers, list(range(300 - len(numbers), 300)))
        self.assertGreater(len(numbers), 5)
        self.assertLess(len(numbers), 300)
        self.assertLess(os.path.getsize(os.path.join(shared, "audit.log")), 1024 + 600)
        after = tree(shared)
        reports = [text for text in self.texts() if text.startswith("set aside ")]
        moved = {}
        for report in reports:
            match = re.fullmatch(re.escape("set aside " + file_url(shared) + "/") + r"(\S+) as " +
                                 re.escape(file_url(shared) + "/") + r"(\S+): .*65534.*", report)
            self.assertIsNotNone(match, report)
            moved[match.group(1)] = match.group(2)
        # The names that rotation took made way, each once; what stood elsewhere stays.
        self.assertEqual(sorted(moved), needed, reports)
        for name, state in before.items():
            if name and "/" not in name and name != "config.yaml":
                self.assertEqual(after[moved.get(name, name)], state, name)
        self.assertEqual(self.texts("error"), reports)
        self.assertEqual(read_log(self.path("secret")), SECRET)

    def timed_rotations(self, folder):
        """Seconds for 300 lines at a 1 KiB limit into `folder`, from a fresh log."""
        for name in os.listdir(folder):
            if name == "audit.log" or (name.startswith("audit.log.") and
                                       os.lstat(os.path.join(folder, name)).st_uid == 0 and
                                       not os.path.islink(os.path.join(folder, name))):
                os.remove(os.path.join(folder, name))
        start = time.monotonic()
        result = self.run_extension(hostile.exec_lines(300, "t" * 100), timeout=280)
        self.assertEqual(result.returncode, 0, result.stderr)
        return time.monotonic() - start

    def test_links_named_like_archives_are_never_followed(self):
        self.configure(max_size=1024)
        secret = self.write_file(self.path("secret"), SECRET, 0o600)
        plain = self.timed_rotations(self.support())
        links = {f"audit.log.{number}": secret for number in range(10, 50010)}
        for name, target in links.items():
            os.symlink(target, self.support(name))
        with_links = self.timed_rotations(self.support())
        print(f"\n300 lines at 1 KiB: {with_links:.2f} s beside 50,000 links named like "
              f"archives, {plain:.2f} s without ({with_links / plain:.1f} times)", file=sys.stderr)
        remaining = {name: os.readlink(self.support(name)) for name in os.listdir(self.support())
                     if os.path.islink(self.support(name))}
        self.assertEqual(remaining, links)
        self.assertEqual(read_log(secret), SECRET)

    def test_a_loop_taking_the_log_name_costs_no_line(self):
        """Another user tries to take the log's name without pause while the extension starts,
        rotates and sets aside: prints the lines lost and the system-log lines."""
        self.need_another_user()
        shared = self.path("shared")
        os.makedirs(shared)
        os.chmod(shared, 0o1777)
        log = os.path.join(shared, "audit.log")
        self.configure(audit_path=log, max_size=65536, count=255)
        taker = subprocess.Popen(
            ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", "--",
             "/usr/bin/python3", "-c",
             "import os, sys\n"
             "while True:\n"
             "    try:\n"
             "        os.close(os.open(sys.argv[1], os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o666))\n"
             "    except OSError:\n"
             "        pass\n", log])
        try:
            results = [self.run_extension(hostile.exec_lines(1500, str(run) * 100), timeout=120)
                       for run in range(2)]
        finally:
            taker.kill()
            taker.wait()
        self.assertEqual([result.returncode for result in results], [0, 0],
                         [result.stdout[-500:] for result in results])
        numbers = logged_numbers(shared)
        self.assertEqual(numbers, sorted(list(range(1500)) * 2))
        errors = self.texts("error")
        print(f"\nname-taking loop: {3000 - len(numbers)} of 3000 lines lost, "
              f"{len(errors)} system-log errors", file=sys.stderr)
        self.assertLessEqual(len(errors), 2, errors[:5])

    def test_legitimate_set_ups_keep_working(self):
        def roots_own_log_folder():
            os.makedirs(self.path("logs"))
            return self.path("logs")

        def support_folder_linked_by_root():
            os.makedirs(self.path("Library/Application Support"))
            os.makedirs(self.path("real"))
            os.symlink(self.path("real"), self.support())
            return self.support()

        def log_folder_linked_by_root():
            os.makedirs(self.path("logs"))
            os.symlink(self.path("logs"), self.path("logs-link"))
            return self.path("logs-link")

        def sticky_folder_with_roots_log():
            os.makedirs(self.path("shared"))
            os.chmod(self.path("shared"), 0o1777)
            earlier = json.dumps({"log": {"args": ["ls", "x", "-1"]}}).encode() + b"\r\n"
            self.write_file(self.path("shared", "audit.log"), earlier, 0o640)
            return self.path("shared")

        cases = [(roots_own_log_folder, [0, 1, 2]), (support_folder_linked_by_root, [0, 1, 2]),
                 (log_folder_linked_by_root, [0, 1, 2]),
                 (sticky_folder_with_roots_log, [-1, 0, 1, 2])]
        for plant, numbers in cases:
            with self.subTest(plant.__name__):
                self.reset()
                folder = plant()
                log = os.path.join(folder, "audit.log")
                existing = os.lstat(log).st_ino if os.path.lexists(log) else None
                self.configure(audit_path=log)
                result = self.run_extension(hostile.exec_lines(3))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(self.texts("error") + self.texts("default"), [])
                self.assertEqual(logged_numbers(folder), numbers)
                if existing is not None:
                    self.assertEqual(os.lstat(log).st_ino, existing)
                if plant is support_folder_linked_by_root:
                    self.assertTrue(os.path.islink(self.support()))


if __name__ == "__main__":
    unittest.main()
