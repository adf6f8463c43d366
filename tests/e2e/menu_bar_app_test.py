"""The menu-bar app starts without a command, and only when there is a display to show it on;
on a desktop of its own (an X server with a system tray, with or without a window manager and a
compositing manager) its popover behaves as a person expects."""

import ctypes
import ctypes.util
import os
import plistlib
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import BIN_DIR, SUPPORT, RootTestCase, program

DISPLAY_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")


class MenuBarAppTest(RootTestCase):
    def start(self, *args, stderr=subprocess.PIPE, **extra):
        env = self.env(**extra)
        for name in DISPLAY_VARIABLES:
            if name not in extra:
                env.pop(name, None)
        return subprocess.Popen([program("vorla"), *args], env=env, stdout=subprocess.PIPE,
                                stderr=stderr, text=True)

    def test_runs_without_a_system_tray_until_terminated(self):
        for args in ((), ("-NSDocumentRevisionsDebugMode",), ("-NSTreatUnknownArgumentsAsOpen", "load")):
            with self.subTest(args=args):
                errors = self.path("stderr.txt")
                with open(errors, "w") as handle:
                    app = self.start(*args, QT_QPA_PLATFORM="offscreen", stderr=handle)
                try:
                    # Said once the app has looked for the tray, right before it enters its event loop.
                    wait_for(lambda: "system tray" in self.read(errors) or app.poll() is not None,
                             what="the app to find no system tray")
                    self.assertIsNone(app.poll(), "the app ended by itself")
                    app.send_signal(signal.SIGTERM)
                    stdout, _ = app.communicate(timeout=30)
                finally:
                    if app.poll() is None:
                        app.kill()
                        app.communicate(timeout=30)
                self.assertEqual(app.returncode, 128 + signal.SIGTERM)
                self.assertEqual(stdout, "")
                self.assertEqual([line for line in self.read(errors).splitlines() if line.startswith("vorla:")],
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


DESKTOP_TOOLS = ("Xvfb", "trayer", "xdotool", "xwininfo", "xprop", "import", "convert", "xev", "xclip", "openbox",
                 "xcompmgr")
# Renders of the popover are left here for a reviewer to look at.
SNAPSHOTS = os.path.join(os.path.dirname(os.path.abspath(BIN_DIR)), "snapshots", "desktop")
SCREEN_SIZE = (1280, 800)
# Where the popover's controls lie in its content, in points.
ABOUT_TAB = (173, 77)
QUIT_BUTTON = (23, 28)
FIRST_COPY_BUTTON = (352, 119)
# Below the tab bar and above the bottom row: the pane shown.
PANE = (0, 115, 400, 150)
# The popover's one-point border, a mid grey.
BORDER_GREY = 128
# A desktop that shares eight cores with a dozen other programs is slow; what is waited for
# comes, or the test fails after this many seconds.
PATIENCE = 60


def wait_for(condition, timeout=PATIENCE, what="the desktop"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")


def is_border(rgb):
    return all(abs(channel - BORDER_GREY) <= 2 for channel in rgb)


class Screen:
    """A screenshot as the screen shows it, composited: (r, g, b) pixels of a binary PPM."""

    def __init__(self, data):
        magic, width, height, depth = data.split(maxsplit=4)[:4]
        if magic != b"P6" or depth != b"255":
            raise AssertionError("unexpected screenshot format")
        self.data, self.width, self.height = data, int(width), int(height)
        self.pixels = data[len(data) - 3 * self.width * self.height:]

    def pixel(self, x, y):
        start = 3 * (self.width * y + x)
        return tuple(self.pixels[start:start + 3])

    def crop(self, left, top, width, height):
        """Rows of (r, g, b) within the box."""
        rows = []
        for y in range(max(0, top), min(self.height, top + height)):
            start = 3 * (self.width * y + max(0, left))
            line = self.pixels[start:start + 3 * (min(self.width, left + width) - max(0, left))]
            rows.append([tuple(line[i:i + 3]) for i in range(0, len(line), 3)])
        return rows

    def save_png(self, path, box):
        """Writes the part of the screen within the box (left, top, width, height) as a PNG file."""
        left, top, width, height = box
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["convert", "ppm:-", "-crop", f"{width}x{height}+{max(0, left)}+{max(0, top)}", "+repage",
                        f"png:{path}"], input=self.data, check=True, timeout=PATIENCE)


def selection_owner(display, name):
    """The window that owns an X selection, 0 when none does."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XGetSelectionOwner.restype = ctypes.c_ulong
    x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        return 0
    try:
        return x11.XGetSelectionOwner(connection, x11.XInternAtom(connection, name.encode(), 0))
    finally:
        x11.XCloseDisplay(connection)


class Desktop:
    """An X server of its own with a system tray at the top right, white behind every window,
    optionally with a window manager and a compositing manager, and the app in it."""

    def __init__(self, test, window_manager=False, compositor=False, scale=1.0, root=None):
        self.scale, self.processes, self.app, self.result = scale, [], None, None
        # The status the app must end with when the desktop is taken down; a test that quits it
        # by its own button expects 0 instead.
        self.expected_status = 128 + signal.SIGTERM
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
        self.start(["Xvfb", "-displayfd", str(write), "-screen", "0", "x".join(map(str, SCREEN_SIZE)) + "x24", "-wr",
                    "-noreset", "-nolisten", "tcp"], env=os.environ, pass_fds=(write,))
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
            # The app asks the selection's owner whether anything blends its see-through shadow.
            wait_for(lambda: selection_owner(self.display, "_NET_WM_CM_S0"), what="the compositor")
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

    def start(self, command, env=None, stderr=subprocess.DEVNULL, stdout=subprocess.DEVNULL, **extra):
        process = subprocess.Popen(command, env=env or self.env, stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=stderr, **extra)
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
                    process.wait(timeout=PATIENCE)
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
        return subprocess.run(command, env=self.env, capture_output=True, text=True, timeout=PATIENCE,
                              check=check).stdout

    def tree(self, marker):
        """The windows whose line of the window tree holds the marker, as (id, width, height, x,
        y), x and y on the screen."""
        found = []
        for line in self.run("xwininfo", "-root", "-tree").splitlines():
            if marker in line:
                parts = line.split()
                width, height = (int(v) for v in parts[-2].partition("+")[0].split("x"))
                x, y = (int(v) for v in parts[-1].lstrip("+").split("+"))
                found.append((parts[0], width, height, x, y))
        return found

    def windows(self):
        return self.tree('("vorla" "vorla")')

    def status_item(self):
        """The status item's window once it has settled in the tray: the tray, sized to hold it,
        stands at the screen's right edge (a window manager may move the tray when it appears,
        and the tray grows when the icon docks)."""
        panels = self.tree('("panel" "trayer")')
        if not panels:
            return None
        _, panel_width, panel_height, panel_x, panel_y = panels[0]
        for icon in self.windows():
            _, width, height, x, y = icon
            if (width <= 64 and height <= 64 and panel_x + panel_width == SCREEN_SIZE[0] and
                    panel_x <= x and x + width <= panel_x + panel_width and
                    panel_y <= y and y + height <= panel_y + panel_height):
                return icon
        return None

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

    def in_content(self, box):
        """A box given in points of the popover's content, on the screen."""
        left, top, _, _ = self.content()
        x, y, width, height = box
        return (int(left + x * self.scale), int(top + y * self.scale), int(width * self.scale),
                int(height * self.scale))

    def click(self, x, y, button=1):
        self.run("xdotool", "mousemove", str(x), str(y), "click", str(button))

    def point(self, position):
        """Moves the pointer to a point of the popover's content, given in points."""
        x, y, _, _ = self.in_content((*position, 0, 0))
        self.run("xdotool", "mousemove", str(x), str(y))

    def click_status_item(self):
        _, width, height, x, y = wait_for(self.status_item, what="the status item in the tray")
        self.click(x + width // 2, y + height // 2)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "50", *keys)

    def open_popover(self):
        self.click_status_item()
        window = wait_for(self.popover, what="the popover to open")
        self.settled(painted=True)
        return window

    def wait_closed(self):
        wait_for(lambda: self.popover() is None, what="the popover to close")

    def screen(self):
        return Screen(subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                                     capture_output=True, timeout=PATIENCE, check=True).stdout)

    def shot(self, box):
        return self.screen().crop(*box)

    def settled(self, box=None, painted=False):
        """Waits until two screenshots in a row show the box (the popover's content when none is
        given) alike, with the popover painted when it must be: the toolkit has drawn, an
        animation has ended, a compositor has caught up. Returns the pixels."""
        previous = []

        def alike():
            left, top, width, height = self.content()
            screen = self.screen()
            image = screen.crop(*(box or (left, top, width, height)))
            # Drawn is the border beside the content's background; before that, the screen shows
            # what lies behind the window on both sides of its edge.
            row = top + height // 2
            drawn = not painted or any(is_border(screen.pixel(x, row)) and min(screen.pixel(x + 2, row)) > 200
                                       for x in range(left - 3, left + 1))
            same = drawn and previous and previous[-1] == image
            previous.append(image)
            return image if same else None

        return wait_for(alike, what="the popover's drawing to settle")

    def changed(self, box, before, what):
        """Waits until the box shows something else than before, then until it has settled."""
        wait_for(lambda: self.shot(box) != before, what=what)
        return self.settled(box)

    def drawn_content(self):
        """The popover's content as the screen shows it: the box (left, top, width, height) of its
        background, which the border encloses."""
        screen = self.screen()
        left, top, width, height = self.content()
        background = screen.pixel(left + 3, top + height - 3)
        _, width, height, x, y = self.popover()
        column, row = x + width // 2, y + height // 2
        inside = lambda px, py: screen.pixel(px, py) == background
        top = next(py for py in range(y, y + height) if inside(column, py))
        bottom = next(py for py in reversed(range(y, y + height)) if inside(column, py))
        left = next(px for px in range(x, x + width) if inside(px, row))
        right = next(px for px in reversed(range(x, x + width)) if inside(px, row))
        return left, top, right + 1 - left, bottom + 1 - top


class OtherApplication:
    """xev in a window of its own, counting the presses it is given."""

    def __init__(self, desktop, geometry="300x200+50+400"):
        self.log = os.path.join(desktop.scratch.name, "xev.txt")
        with open(self.log, "w") as handle:
            desktop.start(["xev", "-geometry", geometry, "-event", "button"], stdout=handle)
        wait_for(lambda: desktop.tree('"Event Tester"'), what="the other application")

    def presses(self):
        with open(self.log, errors="replace") as handle:
            return sum(line.startswith("ButtonPress") for line in handle)

    def wait_presses(self, count):
        wait_for(lambda: self.presses() == count, what=f"the other application to have {count} presses")


@unittest.skipUnless(all(shutil.which(tool) for tool in DESKTOP_TOOLS),
                     "the desktop tools of scripts/setup are missing")
class DesktopTest(RootTestCase):
    def desktop(self, **options):
        """A desktop that ends with the test, where the app must have ended with the status it
        expects (by default that of its SIGTERM, 143)."""
        desktop = Desktop(self, **options)
        self.addCleanup(self.stop, desktop)
        return desktop

    def stop(self, desktop):
        status, errors = desktop.stop()
        if status is not None:
            self.assertEqual(status, desktop.expected_status, errors[-4000:])

    def test_the_status_item_opens_and_closes_the_popover(self):
        for window_manager in (False, True):
            with self.subTest(window_manager=window_manager):
                desktop = self.desktop(window_manager=window_manager)
                first = desktop.open_popover()
                for _ in range(2):
                    # A close that opened the popover again at once would never be seen closed.
                    desktop.click_status_item()
                    desktop.wait_closed()
                    again = desktop.open_popover()
                    self.assertEqual(again[0], first[0], "each opening shows the same window")
                self.stop(desktop)

    def test_the_popover_is_a_popup_of_the_status_item_and_no_window_of_the_desktop(self):
        for window_manager in (False, True):
            with self.subTest(window_manager=window_manager):
                desktop = self.desktop(window_manager=window_manager)
                desktop.open_popover()
                # Each showing declares it anew, and Escape still closes it.
                desktop.key("Escape")
                desktop.wait_closed()
                window = desktop.open_popover()[0]
                found = desktop.run("xprop", "-id", window, "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE")
                kinds = dict(line.split(" = ", 1) for line in found.splitlines() if " = " in line)
                self.assertIn(kinds.get("_NET_WM_WINDOW_TYPE(ATOM)"),
                              ("_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU"), found)
                states = kinds.get("_NET_WM_STATE(ATOM)", "").split(", ")
                for state in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"):
                    self.assertIn(state, states)
                if window_manager:
                    listed = desktop.run("xprop", "-root", "_NET_CLIENT_LIST")
                    clients = {int(value, 16) for value in re.findall(r"0x[0-9a-f]+", listed)}
                    self.assertTrue(clients, "the window manager lists its windows")
                    self.assertNotIn(int(window, 16), clients)
                self.stop(desktop)

    def test_a_click_in_another_application_closes_the_popover_and_reaches_it(self):
        for window_manager in (False, True):
            desktop = self.desktop(window_manager=window_manager)
            other = OtherApplication(desktop)
            # The monitor hears left and right clicks only; a window manager that focuses the
            # application clicked takes the activation away, which closes the popover anyway.
            for presses, button in enumerate((1, 3, 2), start=1):
                with self.subTest(window_manager=window_manager, button=button):
                    if desktop.popover() is None:
                        desktop.open_popover()
                    desktop.click(200, 500, button)
                    other.wait_presses(presses)
                    if button != 2:
                        desktop.wait_closed()
                    elif not window_manager:
                        # The popover still answers the keyboard, after the press was heard.
                        header = desktop.in_content((0, 0, 400, 115))
                        before = desktop.shot(header)
                        desktop.key("Tab")
                        desktop.changed(header, before, "the focus ring to move")
                        self.assertIsNotNone(desktop.popover(), "a middle click is no outside click")
            if desktop.popover() is not None:
                desktop.click(200, 500)
                desktop.wait_closed()
                other.wait_presses(4)
            presses = other.presses()
            desktop.click(200, 500)
            other.wait_presses(presses + 1)
            self.assertIsNone(desktop.popover(), "with the popover closed, clicks elsewhere change nothing")
            self.stop(desktop)

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

    def test_the_frame_sits_at_the_status_item_with_or_without_a_compositor(self):
        for scale in (1, 2):
            frames = {}
            for compositor in (False, True):
                with self.subTest(scale=scale, compositor=compositor):
                    desktop = self.desktop(compositor=compositor, scale=scale)
                    _, width, height, x, y = desktop.open_popover()
                    screen = desktop.screen()
                    screen.save_png(os.path.join(SNAPSHOTS, f"popover-at-status-item-scale-{scale}-"
                                                            f"compositor-{compositor}.png"),
                                    (x - 40, 0, width + 80, height + y + 40))
                    frames[compositor] = left, top, frame_width, frame_height = desktop.drawn_content()
                    self.assertEqual((frame_width, frame_height), (400 * scale, 320 * scale))
                    self.assertTrue(is_border(screen.pixel(left - 1, top + 10)), "the border encloses the content")
                    # The border stands at the window's edge, or the shadow lies outside it.
                    self.assertEqual((left - x, top - y), (9 * scale, 9 * scale) if compositor else (scale, scale))
                    if compositor:
                        beside, beyond = (sum(screen.pixel(left + frame_width // 2, top - scale - distance))
                                          for distance in (1, 8 * scale + 1))
                        self.assertLess(beside, beyond, "the shadow darkens what lies above the frame")
                    self.stop(desktop)
            self.assertEqual(frames[True], frames[False], f"the frame moves with a compositor at scale {scale}")

    def test_every_divider_shows_at_scales_1_and_1_5(self):
        for scale in (1, 1.5):
            desktop = self.desktop(scale=scale)
            desktop.open_popover()
            for tab, name, dividers in ((0, "extension", 2), (1, "paths", 5), (2, "about", 2)):
                with self.subTest(scale=scale, tab=name):
                    if tab:
                        pane = desktop.in_content(PANE)
                        before = desktop.shot(pane)
                        desktop.key("Tab", "space")
                        desktop.changed(pane, before, f"the {name} pane to show")
                        desktop.settled()
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
        header = desktop.in_content((0, 0, 400, 110))
        untouched = desktop.shot(header)
        for name, position in (("About tab", ABOUT_TAB), ("quit button", QUIT_BUTTON)):
            with self.subTest(control=name):
                desktop.point(position)
                desktop.changed(header, untouched, f"the {name} to show the pointer over it")
                desktop.key("Escape")
                desktop.wait_closed()
                desktop.open_popover()
                self.assertTrue(desktop.shot(header) == untouched, f"the {name} still shows the pointer over it")

    def test_tab_shows_where_the_focus_is(self):
        for window_manager in (False, True):
            with self.subTest(window_manager=window_manager):
                desktop = self.desktop(window_manager=window_manager)
                desktop.open_popover()
                box = desktop.content()
                before = desktop.shot(box)
                desktop.key("Tab")
                after = desktop.changed(box, before, "a Tab press to change what the popover shows")
                changed = [y for y in range(len(after)) if before[y] != after[y]]
                # The focus moved from the first tab to the second: the change lies in the tab bar.
                self.assertGreater(min(changed), 50)
                self.assertLess(max(changed), 115)
                self.stop(desktop)

    def test_the_quit_button_ends_the_tab_round_and_return_on_it_quits(self):
        desktop = self.desktop(window_manager=True)
        desktop.open_popover()
        quit_button = desktop.in_content((QUIT_BUTTON[0] - 14, QUIT_BUTTON[1] - 14, 28, 28))
        before = desktop.shot(quit_button)
        # The second and third tab, the switch, the two links: five stops before the quit button.
        desktop.key(*["Tab"] * 5)
        desktop.settled()
        self.assertEqual(desktop.shot(quit_button), before, "the quit button comes after the links")
        desktop.key("Tab")
        desktop.changed(quit_button, before, "the focus ring around the quit button")
        desktop.screen().save_png(os.path.join(SNAPSHOTS, "popover-quit-focused.png"), desktop.content())
        desktop.expected_status = 0
        desktop.key("Return")
        wait_for(lambda: desktop.app.poll() is not None, what="the app to quit")

    def test_a_copied_path_names_the_file_under_vorla_root(self):
        root = self.path("a root with spaces")
        os.makedirs(os.path.join(root, SUPPORT))
        config = os.path.join(root, SUPPORT, "config.yaml")
        open(config, "w").close()
        desktop = self.desktop(root=root)
        desktop.open_popover()
        pane = desktop.in_content(PANE)
        before = desktop.shot(pane)
        desktop.key("Tab", "space")
        desktop.changed(pane, before, "the Paths pane to show")
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
