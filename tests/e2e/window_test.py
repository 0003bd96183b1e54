"""The real program on a private X desktop: start-up, placement, drawing and every way to end it."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop  # noqa: E402

BINARY = os.environ["TEXTBOOK_BINARY"]
BUILD_DIR = os.path.dirname(os.path.abspath(BINARY))
NO_DISPLAY_STATUS = 255  # -1 as an exit status


class WindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = desktop.start_desktop()
        cls.addClassCleanup(desktop.stop_desktop, cls.session)

    def setUp(self):
        # A copy of the program in a directory of its own, started from a different one.
        self.program_dir = os.path.realpath(tempfile.mkdtemp(prefix="textbook-program-"))
        self.other_dir = tempfile.mkdtemp(prefix="textbook-elsewhere-")
        self.addCleanup(shutil.rmtree, self.program_dir, True)
        self.addCleanup(shutil.rmtree, self.other_dir, True)
        self.binary = shutil.copy2(BINARY, self.program_dir)

    def start(self):
        program = desktop.start_program(self.session, self.binary, cwd=self.other_dir)
        self.addCleanup(desktop.stop_program, program)
        return program, desktop.find_window(self.session, program.pid)

    def assert_ends_with_status_zero(self, program):
        status = desktop.wait_for_exit(program)
        self.assertEqual(status, 0, f"ended with {desktop.signal_name(status)}: "
                         f"{program.stderr.read().decode(errors='replace')}")

    def test_working_directory_becomes_the_programs_directory(self):
        program, window = self.start()
        self.assertEqual(os.readlink(f"/proc/{program.pid}/cwd"), self.program_dir)
        desktop.key(self.session, window, "Escape")
        self.assert_ends_with_status_zero(program)

    def test_every_way_of_closing_ends_with_status_zero(self):
        ways = {
            "Esc": lambda window: desktop.key(self.session, window, "Escape"),
            "Alt+F4": lambda window: desktop.key(self.session, window, "alt+F4"),
            "close button": lambda window: desktop.click_close_button(self.session, window),
            "system menu, Close": lambda window: (
                desktop.open_system_menu(self.session, window),
                desktop.press(self.session, "Up", "Return")),  # Close is the menu's last item
            "Esc in a list's field": lambda window: (
                desktop.click_control(self.session, window, "组合框1"),
                desktop.key(self.session, window, "Escape")),
        }
        for way, close in ways.items():
            with self.subTest(way=way):
                program, window = self.start()
                close(window)
                self.assert_ends_with_status_zero(program)

    def test_esc_while_a_list_is_open_ends_with_status_zero(self):
        program, window = self.start()
        desktop.open_list(self.session, window, program.pid, "组合框3")
        desktop.press(self.session, "Escape")
        self.assert_ends_with_status_zero(program)

    def test_window_is_centred_with_a_fixed_client_area(self):
        _, window = self.start()
        x, y, width, height = desktop.client_geometry(self.session, window)
        self.assertEqual((width, height), (536, 425))
        left, right, top, bottom = desktop.frame_extents(self.session, window)
        screen_width, screen_height = desktop.screen_size(self.session)
        frame_centre_x = x - left + (left + width + right) / 2
        frame_centre_y = y - top + (top + height + bottom) / 2
        # Placed before the window manager added its frame: off by at most the frame's size.
        self.assertLessEqual(abs(frame_centre_x - screen_width / 2), left + right + 1)
        self.assertLessEqual(abs(frame_centre_y - screen_height / 2), top + bottom + 1)
        actions = desktop.allowed_actions(self.session, window)
        self.assertIn("CLOSE", actions)
        self.assertIn("MINIMIZE", actions)
        self.assertIn("MOVE", actions)
        self.assertFalse({"RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"} & actions)
        self.assertRegex(desktop.window_title(self.session, window), r'_NET_WM_NAME = "\s*"')

    def test_catalogue_labels_and_hint_are_drawn(self):
        program, window = self.start()
        x, y, _, _ = desktop.client_geometry(self.session, window)
        shot = desktop.screenshot(self.session, os.path.join(BUILD_DIR, "window_test_window.png"))
        for name in ("标签1", "标签2", "标签3", "标签4", "标签5", "标签6", "按钮5", "编辑框1"):
            with self.subTest(control=name):
                cx, cy, cw, ch = desktop.CONTROLS[name]
                self.assertGreater(desktop.colours_in(shot, x + cx, y + cy, cw, ch), 1)
        px, py, pw, ph = desktop.CONTROLS["图片框1"]
        self.assertEqual(desktop.colours_in(shot, x + px, y + py, pw, ph), 1,
                         "the empty picture box shows only its background")

        desktop.open_list(self.session, window, program.pid, "组合框4")
        lx, ly, lw, _ = desktop.CONTROLS["组合框4"]
        shot = desktop.screenshot(self.session, os.path.join(BUILD_DIR, "window_test_list.png"))
        self.assertGreater(desktop.colours_in(shot, x + lx, y + ly + 24, lw, 160 - 28), 2,
                           "the open list shows the subjects")

    def test_second_start_opens_a_second_independent_window(self):
        first, first_window = self.start()
        second, second_window = self.start()
        self.assertNotEqual(first_window, second_window)
        desktop.key(self.session, second_window, "Escape")
        self.assert_ends_with_status_zero(second)
        self.assertIsNone(first.poll(), "closing one window leaves the other program running")
        desktop.key(self.session, first_window, "Escape")
        self.assert_ends_with_status_zero(first)


class NoDisplayTest(unittest.TestCase):
    def test_without_a_display_one_line_on_stderr_and_status_255(self):
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        environments = {
            "nothing set": base,
            "X server not running": dict(base, DISPLAY=":4711", QT_QPA_PLATFORM="xcb"),
            "no X server for the default platform": dict(base, DISPLAY=":4711"),
        }
        for case, env in environments.items():
            with self.subTest(case=case):
                completed = subprocess.run([BINARY], env=env, capture_output=True, text=True,
                                           timeout=desktop.DEFAULT_TIMEOUT)
                self.assertEqual(completed.returncode, NO_DISPLAY_STATUS, completed.stderr)
                lines = completed.stderr.splitlines()
                self.assertEqual(len(lines), 1, completed.stderr)
                self.assertIn("display", lines[0])
                self.assertEqual(completed.stdout, "")


if __name__ == "__main__":
    unittest.main()
