"""The menu-bar app starts without a command, and only when there is a display to show it on;
on a desktop of its own (an X server with a system tray, with or without a window manager and a
compositing manager) its popover behaves as a person expects."""

import os
import plistlib
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import BIN_DIR, SUPPORT, RootTestCase, program

DISPLAY_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")


class MenuBarAppTest(RootTestCase):
    def start(self, *args, **extra):
        env = self.env(**extra)
        for name in DISPLAY_VARIABLES:
            if name not in extra:
                env.pop(name, None)
        return subprocess.Popen([program("vorla"), *args], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def test_runs_without_a_system_tray_until_terminated(self):
        for args in ((), ("-NSDocumentRevisionsDebugMode",), ("-NSTreatUnknownArgumentsAsOpen", "load")):
            with self.subTest(args=args):
                app = self.start(*args, QT_QPA_PLATFORM="offscreen")
                try:
                    time.sleep(1.5)
                    self.assertIsNone(app.poll(), "the app ended by itself")
                    app.send_signal(signal.SIGTERM)
                    stdout, stderr = app.communicate(timeout=30)
                finally:
                    if app.poll() is None:
                        app.kill()
                        app.communicate(timeout=30)
                self.assertEqual(app.returncode, 128 + signal.SIGTERM)
                self.assertEqual(stdout, "")
                self.assertEqual([line for line in stderr.splitlines() if line.startswith("vorla:")],
                                 ["vorla: the menu-bar icon cannot be shown: the desktop offers no system tray; "
                                  "use \"vorla load\" and \"vorla unload\" instead"])

    def test_without_a_display_says_so_and_commands_still_work(self):
        app = self.start()
        stdout, stderr = app.communicate(timeout=30)
        self.assertEqual(app.returncode, 1)
        self.assertEqual(stdout, "")
        self.assertIn("no display", stderr)

        helped = self.start("help")
        stdout, _ = helped.communicate(timeout=30)
        self.assertEqual(helped.returncode, 0)
        self.assertTrue(stdout.startswith("vorla system extension loader\n"))

    def test_info_plist_lies_beside_the_program(self):
        with open(os.path.join(BIN_DIR, "Info.plist"), "rb") as handle:
            info = plistlib.load(handle)
        for key in ("CFBundleShortVersionString", "GithubURL", "EmailAddress"):
            self.assertIsInstance(info.get(key), str, key)


DESKTOP_TOOLS = ("Xvfb", "trayer", "xdotool", "xwininfo", "import", "convert", "xev", "xclip", "openbox",
                 "xcompmgr")
# Renders of the popover are left here for a reviewer to look at.
SNAPSHOTS = os.path.join(os.path.dirname(os.path.abspath(BIN_DIR)), "snapshots", "desktop")
# Where the popover's controls lie in its content, in points.
ABOUT_TAB = (173, 77)
QUIT_BUTTON = (23, 28)
FIRST_COPY_BUTTON = (352, 119)


def wait_for(condition, timeout=10, what="the desktop"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")


class Screen:
    """A screenshot as the screen shows it, composited: rows of (r, g, b) from a binary PPM."""

    def __init__(self, data):
        magic, width, height, depth = data.split(maxsplit=4)[:4]
        if magic != b"P6" or depth != b"255":
            raise AssertionError("unexpected screenshot format")
        self.data, self.width, self.height = data, int(width), int(height)
        pixels = data[len(data) - 3 * self.width * self.height:]
        self.rows = [[tuple(pixels[i:i + 3]) for i in range(3 * self.width * y, 3 * self.width * (y + 1), 3)]
                     for y in range(self.height)]

    def pixel(self, x, y):
        return self.rows[y][x]

    def crop(self, left, top, width, height):
        return [row[left:left + width] for row in self.rows[top:top + height]]

    def save_png(self, path, box):
        """Writes the part of the screen within the box (left, top, width, height) as a PNG file."""
        left, top, width, height = box
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["convert", "ppm:-", "-crop", f"{width}x{height}+{max(0, left)}+{max(0, top)}", "+repage",
                        f"png:{path}"], input=self.data, check=True, timeout=30)


class Desktop:
    """An X server of its own with a system tray at the top right, white behind every window,
    optionally with a window manager and a compositing manager, and the app in it."""

    def __init__(self, test, window_manager=False, compositor=False, scale=1.0, root=None):
        self.scale, self.processes, self.app, self.result = scale, [], None, None
        self.scratch = tempfile.TemporaryDirectory(prefix="vorla-desktop-")
        try:
            self.launch(test, window_manager, compositor, root)
        except BaseException:
            self.stop()
            raise

    def launch(self, test, window_manager, compositor, root):
        read, write = os.pipe()
        # Without -noreset the server resets whenever its last client leaves, and a client that
        # connects meanwhile (the polls below come and go) is refused: "Can't open display".
        self.start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-wr", "-noreset",
                    "-nolisten", "tcp"], env=os.environ, pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as pipe:
            self.display = ":" + pipe.readline().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_SCALE_FACTOR", "QT_FONT_DPI"):
            self.env.pop(name, None)
        if window_manager:
            self.start(["openbox"])
            wait_for(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                     what="the window manager")
        if compositor:
            self.start(["xcompmgr"])
            wait_for(lambda: '"xcompmgr"' in self.run("xwininfo", "-root", "-tree"), what="the compositor")
            time.sleep(0.3)  # from its window to its selection
        self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "true", "--transparent", "false", "--tint", "0xcccccc"])
        wait_for(lambda: '"panel"' in self.run("xwininfo", "-root", "-tree"), what="the tray")
        app_env = dict(test.env(), **self.env, QT_QPA_PLATFORM="xcb", QT_SCALE_FACTOR=str(self.scale))
        if root:
            app_env["VORLA_ROOT"] = root
        # On X11 the toolkit asks the session bus for a tray of another kind; without a session
        # bus, libdbus keeps its error message for good, which a sanitized build reports.
        suppressions = os.path.join(self.scratch.name, "leak-suppressions.txt")
        with open(suppressions, "w") as handle:
            handle.write("leak:libdbus-1.so\n")
        app_env["LSAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("LSAN_OPTIONS"),
                                                         f"suppressions={suppressions}"]))
        self.errors = os.path.join(self.scratch.name, "vorla-stderr.txt")
        with open(self.errors, "wb") as errors:
            self.app = self.start([program("vorla")], env=app_env, stderr=errors)
        wait_for(self.status_item, what="the status item in the tray")

    def start(self, command, env=None, stderr=subprocess.DEVNULL, **extra):
        process = subprocess.Popen(command, env=env or self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=stderr, **extra)
        self.processes.append(process)
        return process

    def stop(self):
        """Ends the app, then the desktop; returns the app's exit status (None when it never
        started) and what it wrote on standard error."""
        if self.result:
            return self.result
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        status, errors = None, ""
        if self.app:
            status = self.app.returncode
            with open(self.errors, errors="replace") as handle:
                errors = handle.read()
        self.scratch.cleanup()
        self.result = status, errors
        return self.result

    def run(self, *command, check=True):
        return subprocess.run(command, env=self.env, capture_output=True, text=True, timeout=30, check=check).stdout

    def windows(self):
        """The app's windows as (id, width, height, x, y), x and y on the screen."""
        found = []
        for line in self.run("xwininfo", "-root", "-tree").splitlines():
            if '("vorla" "vorla")' in line:
                parts = line.split()
                width, height = (int(v) for v in parts[-2].partition("+")[0].split("x"))
                x, y = (int(v) for v in parts[-1].lstrip("+").split("+"))
                found.append((parts[0], width, height, x, y))
        return found

    def status_item(self):
        """The status item's window once it has settled in the tray (a window manager may still
        move the tray when it appears)."""
        def icon():
            icons = [window for window in self.windows() if window[1] <= 64 and window[2] <= 64 and window[3] > 0]
            return icons[0] if icons else None
        first = icon()
        time.sleep(0.2)
        return first if first and icon() == first else None

    def popover(self):
        """The shown popover as (id, width, height, x, y), or None."""
        for window in self.windows():
            if window[1] > 100 and "IsViewable" in self.run("xwininfo", "-id", window[0], check=False):
                return window
        return None

    def content(self):
        """The shown popover's content as a box (left, top, width, height) of the screen."""
        _, width, height, x, y = self.popover()
        edge = round((width - 400 * self.scale) / 2)
        return x + edge, y + edge, width - 2 * edge, height - 2 * edge

    def click(self, x, y, button=1):
        self.run("xdotool", "mousemove", str(x), str(y), "click", str(button))

    def point(self, position):
        """Moves the pointer to a point of the popover's content, given in points."""
        left, top, _, _ = self.content()
        self.run("xdotool", "mousemove", str(int(left + position[0] * self.scale)),
                 str(int(top + position[1] * self.scale)))

    def click_status_item(self):
        _, width, height, x, y = wait_for(self.status_item, what="the status item in the tray")
        self.click(x + width // 2, y + height // 2)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "50", *keys)

    def open_popover(self):
        self.click_status_item()
        window = wait_for(self.popover, what="the popover to open")
        time.sleep(0.3)  # the switch's animation, and the first paint
        return window

    def wait_closed(self):
        wait_for(lambda: self.popover() is None, what="the popover to close")

    def screen(self):
        return Screen(subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                                     capture_output=True, timeout=30, check=True).stdout)


@unittest.skipUnless(all(shutil.which(tool) for tool in DESKTOP_TOOLS),
                     "the desktop tools of scripts/setup are missing")
class DesktopTest(RootTestCase):
    def desktop(self, **options):
        """A desktop that ends with the test, where the app must have ended by its SIGTERM (143)."""
        desktop = Desktop(self, **options)
        self.addCleanup(self.stop, desktop)
        return desktop

    def stop(self, desktop):
        status, errors = desktop.stop()
        if status is not None:
            self.assertEqual(status, 128 + signal.SIGTERM, errors[-4000:])

    def test_the_status_item_opens_and_closes_the_popover(self):
        for window_manager in (False, True):
            with self.subTest(window_manager=window_manager):
                desktop = self.desktop(window_manager=window_manager)
                first = desktop.open_popover()
                desktop.click_status_item()
                desktop.wait_closed()
                time.sleep(1)
                self.assertIsNone(desktop.popover(), "the click that closed the popover opened it again")
                again = desktop.open_popover()
                self.assertEqual(again[0], first[0], "each opening shows the same window")
                self.stop(desktop)

    def test_a_click_in_another_application_closes_the_popover_and_reaches_it(self):
        for window_manager in (False, True):
            desktop = self.desktop(window_manager=window_manager)
            other = subprocess.Popen(["xev", "-geometry", "300x200+50+400", "-event", "button"],
                                     env=desktop.env, stdout=subprocess.PIPE, text=True)
            desktop.processes.append(other)
            wait_for(lambda: "Event Tester" in desktop.run("xwininfo", "-root", "-tree"), what="the other application")
            # The monitor hears left and right clicks only; a window manager that focuses the
            # application clicked takes the activation away, which closes the popover anyway.
            for button in (1, 3, 2):
                with self.subTest(window_manager=window_manager, button=button):
                    if desktop.popover() is None:
                        desktop.open_popover()
                    desktop.click(200, 500, button)
                    if button != 2:
                        desktop.wait_closed()
                    elif not window_manager:
                        time.sleep(0.5)
                        self.assertIsNotNone(desktop.popover(), "a middle click is no outside click")
            desktop.click(200, 500)
            time.sleep(0.3)
            self.assertIsNone(desktop.popover(), "with the popover closed, clicks elsewhere change nothing")
            self.stop(desktop)
            presses = [line for line in other.communicate(timeout=10)[0].splitlines() if line.startswith("ButtonPress")]
            self.assertEqual(len(presses), 4, "every click reached the application clicked")

    def test_the_popover_has_no_black_band_with_or_without_a_compositor(self):
        for compositor in (False, True):
            with self.subTest(compositor=compositor):
                desktop = self.desktop(compositor=compositor)
                _, width, height, x, y = desktop.open_popover()
                screen = desktop.screen()
                screen.save_png(os.path.join(SNAPSHOTS, f"popover-compositor-{compositor}.png"),
                                (x - 20, y - 20, width + 40, height + 40))
                # Across the popover's edges and what lies around them, along its middle row and column.
                middle_row = [screen.pixel(px, y + height // 2) for px in range(x - 12, x + 30)]
                middle_column = [screen.pixel(x + width // 2, py) for py in range(y - 3, y + 30)]
                darkest = min(min(rgb) for rgb in middle_row + middle_column)
                self.assertGreater(darkest, 100, "no dark band around the popover")
                self.stop(desktop)

    def test_every_divider_shows_at_scales_1_and_1_5(self):
        for scale in (1, 1.5):
            desktop = self.desktop(scale=scale)
            desktop.open_popover()
            for tab, name, dividers in ((0, "extension", 2), (1, "paths", 5), (2, "about", 2)):
                with self.subTest(scale=scale, tab=name):
                    if tab:
                        desktop.key("Tab", "space")
                        time.sleep(0.3)
                    screen = desktop.screen()
                    _, window_width, window_height, x, y = desktop.popover()
                    screen.save_png(os.path.join(SNAPSHOTS, f"popover-{name}-scale-{scale}.png"),
                                    (x, y, window_width, window_height))
                    left, top, width, height = desktop.content()
                    background = screen.pixel(left + 3, top + height - 3)
                    lines, previous = 0, False
                    # A divider is a row of one colour, darker than the background, across the content.
                    for row in screen.crop(left + 2, top + 2, width - 4, height - 4):
                        colour = max(set(row), key=row.count)
                        is_line = row.count(colour) > 0.7 * len(row) and sum(colour) < sum(background) - 40
                        lines += is_line and not previous
                        previous = is_line
                    self.assertEqual(lines, dividers)
            self.stop(desktop)

    def test_hover_looks_end_when_the_popover_closes(self):
        desktop = self.desktop()
        desktop.open_popover()
        left, top, width, _ = desktop.content()
        header = lambda: desktop.screen().crop(left, top, width, 110)
        untouched = header()
        for name, position in (("About tab", ABOUT_TAB), ("quit button", QUIT_BUTTON)):
            with self.subTest(control=name):
                desktop.point(position)
                wait_for(lambda: header() != untouched, what=f"the {name} to show the pointer over it")
                desktop.key("Escape")
                desktop.wait_closed()
                desktop.open_popover()
                self.assertTrue(header() == untouched, f"the {name} still shows the pointer over it")

    def test_tab_shows_where_the_focus_is(self):
        desktop = self.desktop()
        desktop.open_popover()
        screen = desktop.screen()
        left, top, width, height = desktop.content()
        before = screen.crop(left, top, width, height)
        desktop.key("Tab")

        def changed_screen():
            image = desktop.screen().crop(left, top, width, height)
            return image if image != before else None

        after = wait_for(changed_screen, what="a Tab press to change what the popover shows")
        changed = [y for y in range(height) if before[y] != after[y]]
        # The focus moved from the first tab to the second: the change lies in the tab bar.
        self.assertGreater(min(changed), 50)
        self.assertLess(max(changed), 115)

    def test_a_copied_path_names_the_file_under_vorla_root(self):
        root = self.path("a root with spaces")
        os.makedirs(os.path.join(root, SUPPORT))
        config = os.path.join(root, SUPPORT, "config.yaml")
        open(config, "w").close()
        desktop = self.desktop(root=root)
        desktop.open_popover()
        desktop.key("Tab", "space")
        time.sleep(0.3)
        desktop.point(FIRST_COPY_BUTTON)
        desktop.run("xdotool", "click", "1")
        copied = wait_for(lambda: desktop.run("xclip", "-o", "-selection", "clipboard", check=False),
                          what="the copied path")
        self.assertIn("/Library/Application\\ Support/Vorla/config.yaml", copied)
        pasted = subprocess.run(["/bin/sh", "-c", "printf %s " + copied], capture_output=True, text=True,
                                check=True).stdout
        self.assertEqual(pasted, config)
        self.assertTrue(os.path.isfile(pasted))


if __name__ == "__main__":
    unittest.main()
