"""The buttons of the real program, clicked on a private X desktop: the page requests reach a
local page server that stands in for the image host through http_proxy, downloads land beside
the program, and the open-site button reaches a stand-in for xdg-open."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop  # noqa: E402
import page_server_process  # noqa: E402

BINARY = os.environ["TEXTBOOK_BINARY"]
SOURCE_DIR = os.environ["TEXTBOOK_SOURCE_DIR"]
IMAGE_HOST = os.environ["TEXTBOOK_IMAGE_HOST"]
SITE_HOST = os.environ["TEXTBOOK_SITE_HOST"]

# 语文, 人教版, 三年级, 下册: the list and the index of each label.
BOOK = (("组合框4", 0), ("组合框3", 1), ("组合框1", 2), ("组合框2", 1))
FOLDER_PATH = "/img/jiaocai/yuwen/renjiaoban/sannianjixiace/"
SAVED_NAME = "语文人教版三年级下册{}.jpg"
COLOUR_TOLERANCE = 12


def page_path(page):
    return f"{FOLDER_PATH}{page}.jpg"


def page_uri(page):
    return f"http://{IMAGE_HOST}{page_path(page)}"


def close_to(colour, wanted):
    return all(abs(a - b) <= COLOUR_TOLERANCE for a, b in zip(colour, wanted))


class PageCommandsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = desktop.start_desktop()
        cls.addClassCleanup(desktop.stop_desktop, cls.session)
        cls.server = page_server_process.PageServerProcess(SOURCE_DIR, sample_pages=True)
        cls.addClassCleanup(cls.server.stop)

    def setUp(self):
        self.program_dir = os.path.realpath(tempfile.mkdtemp(prefix="textbook-program-"))
        self.files_dir = tempfile.mkdtemp(prefix="textbook-files-")
        self.addCleanup(shutil.rmtree, self.program_dir, True)
        self.addCleanup(shutil.rmtree, self.files_dir, True)
        self.binary = shutil.copy2(BINARY, self.program_dir)
        self.server.set_routes({})
        self.earlier_requests = len(self.server.requests())

    # The program and the server

    def start(self, extra_env=None):
        env = desktop.program_env(self.session, {
            "http_proxy": self.server.proxy, "no_proxy": "", "NO_PROXY": "",
            **(extra_env or {})})
        program = desktop.start_program(self.session, self.binary, cwd=self.files_dir, env=env)
        self.addCleanup(desktop.stop_program, program)
        return desktop.find_window(self.session, program.pid)

    def requested_targets(self):
        """The targets of the requests that this case caused, in the order received."""
        requests = self.server.requests()[self.earlier_requests:]
        for request in requests:
            self.assertEqual(request["method"], "GET", request)
        return [request["target"] for request in requests]

    def wait_for_requests(self, count):
        desktop.wait_until(lambda: len(self.requested_targets()) >= count,
                           desktop.DEFAULT_TIMEOUT, f"{count} requests at the page server")

    def click_and_wait(self, window, button, requests_after):
        desktop.click_control(self.session, window, button)
        self.wait_for_requests(requests_after)

    def serve_files(self, pages):
        """Routes each page to a file of its own: {page number: file content}."""
        routes = {}
        for page, content in pages.items():
            path = os.path.join(self.files_dir, f"served-{page}-{len(routes)}")
            with open(path, "wb") as file:
                file.write(content)
            routes[page_path(page)] = {"body_file": path,
                                       "headers": [["Content-Type", "image/jpeg"]]}
        return routes

    # The user's actions

    def pick_book(self, window):
        for list_name, index in BOOK:
            desktop.pick_item(self.session, window, list_name, index)

    def enter_page_number(self, window, text):
        desktop.click_control(self.session, window, "编辑框1")
        desktop.key(self.session, window, "ctrl+a")
        desktop.type_text(self.session, window, text)

    # What the window shows

    def picture_box_pixels(self, window, name):
        x, y, _, _ = desktop.client_geometry(self.session, window)
        px, py, width, height = desktop.CONTROLS["图片框1"]
        shot = desktop.screenshot(self.session, os.path.join(self.files_dir, name))
        return desktop.pixels_in(shot, x + px, y + py, width, height)

    def wait_for_picture(self, window, condition, what):
        return desktop.wait_until(
            lambda: condition(self.picture_box_pixels(window, "picture.png")),
            desktop.DEFAULT_TIMEOUT, what)

    # The cases

    def test_view_and_steps_request_the_pages_the_box_names(self):
        window = self.start()
        self.pick_book(window)
        steps = (("按钮2", 1), ("按钮3", 2), ("按钮3", 3), ("按钮4", 2))
        for count, (button, _) in enumerate(steps, start=1):
            self.click_and_wait(window, button, count)
        # A number typed in between counts; 查看 then shows the page that 下一页 wrote back.
        self.enter_page_number(window, "10")
        self.click_and_wait(window, "按钮3", len(steps) + 1)
        self.click_and_wait(window, "按钮2", len(steps) + 2)
        expected = [page for _, page in steps] + [11, 11]
        self.assertEqual(self.requested_targets(), [page_uri(page) for page in expected])

    def test_viewed_page_fills_the_picture_box_and_a_failed_page_blanks_it(self):
        colour = (42, 122, 176)
        small_image = subprocess.run(
            ["convert", "-size", "100x50", "xc:rgb(42,122,176)", "-quality", "95", "jpg:-"],
            capture_output=True, check=True, timeout=desktop.DEFAULT_TIMEOUT).stdout
        routes = self.serve_files({1: small_image})
        routes[page_path(2)] = {"status": 404, "body": "<html><body>Not Found</body></html>"}
        self.server.set_routes(routes)
        window = self.start()
        self.pick_book(window)

        self.click_and_wait(window, "按钮2", 1)
        pixels = self.wait_for_picture(
            window, lambda pixels: close_to(pixels[len(pixels) // 2], colour) and pixels,
            "the page to be drawn")
        off_colour = [p for p in pixels if not close_to(p, colour)]
        self.assertEqual(off_colour, [], "a 100 × 50 page is stretched over the whole box")

        self.click_and_wait(window, "按钮3", 2)
        self.wait_for_picture(window, lambda pixels: len(set(pixels)) == 1,
                              "the box to show only its background after a 404")

    def test_pages_that_need_qt_format_plugins_are_drawn(self):
        # The window starts without Qt's image-format plugins; they must be back by the time a
        # page in one of their formats arrives.
        colour = (200, 40, 120)
        window = self.start()
        self.pick_book(window)
        for page, kind in enumerate(("gif", "ico"), start=1):
            with self.subTest(kind=kind):
                image = subprocess.run(
                    ["convert", "-size", "64x48", "xc:rgb(200,40,120)", f"{kind}:-"],
                    capture_output=True, check=True, timeout=desktop.DEFAULT_TIMEOUT).stdout
                self.server.set_routes(self.serve_files({page: image}))
                self.enter_page_number(window, str(page))
                self.click_and_wait(window, "按钮2", page)
                self.wait_for_picture(window, lambda pixels: close_to(pixels[0], colour),
                                      f"the {kind} page to be drawn")

    def test_download_saves_the_served_bytes_and_keeps_good_files_when_a_page_fails(self):
        first = {page: self.jpeg(f"rgb({page * 60},90,40)") for page in (1, 2, 3)}
        self.server.set_routes(self.serve_files(first))
        window = self.start()
        self.pick_book(window)
        self.enter_page_number(window, "3")
        self.click_and_wait(window, "按钮1", 3)
        # 查看 runs only after the download has returned, so its request marks the end.
        self.click_and_wait(window, "按钮2", 4)
        self.assertEqual(self.requested_targets(), [page_uri(page) for page in (1, 2, 3, 3)])
        self.assert_saved(first)

        replacement = self.jpeg("rgb(20,200,20)")
        routes = self.serve_files({1: replacement})
        routes[page_path(2)] = {"status": 404, "body": "<html><body>Not Found</body></html>"}
        routes[page_path(3)] = {"misbehaviour": "reset"}
        routes[page_path(4)] = {"status": 404, "body": "<html><body>Not Found</body></html>"}
        self.server.set_routes(routes)
        self.enter_page_number(window, "4")
        self.click_and_wait(window, "按钮1", 8)
        self.click_and_wait(window, "按钮2", 9)
        self.assertEqual(self.requested_targets()[4:], [page_uri(page) for page in (1, 2, 3, 4, 4)])
        self.assert_saved({1: replacement, 2: first[2], 3: first[3]})

    def test_open_site_hands_the_index_address_to_xdg_open(self):
        tools_dir = os.path.join(self.files_dir, "bin")
        os.mkdir(tools_dir)
        record = os.path.join(self.files_dir, "xdg-open.args")
        stand_in = os.path.join(tools_dir, "xdg-open")
        with open(stand_in, "w", encoding="utf-8") as file:
            file.write(f'#!/bin/sh\nprintf "%s\\n" "$#" "$@" > "{record}.tmp"\n'
                       f'mv "{record}.tmp" "{record}"\n')
        os.chmod(stand_in, os.stat(stand_in).st_mode | stat.S_IXUSR)
        window = self.start({"PATH": tools_dir + os.pathsep + os.environ.get("PATH", "")})

        desktop.click_control(self.session, window, "按钮5")
        desktop.wait_until(lambda: os.path.exists(record), desktop.DEFAULT_TIMEOUT,
                           "the stand-in for xdg-open to run")
        with open(record, encoding="utf-8") as file:
            self.assertEqual(file.read(), f"1\nhttp://{SITE_HOST}/jiaocai/\n")
        self.assertEqual(self.requested_targets(), [], "opening the site fetches no page")

    # Helpers of the download case

    def jpeg(self, colour):
        return subprocess.run(
            ["convert", "-size", "60x80", f"xc:{colour}", "jpg:-"],
            capture_output=True, check=True, timeout=desktop.DEFAULT_TIMEOUT).stdout

    def assert_saved(self, pages):
        """Beside the program are exactly the saved pages, each holding its bytes."""
        expected_names = {SAVED_NAME.format(page) for page in pages}
        self.assertEqual(set(os.listdir(self.program_dir)),
                         expected_names | {os.path.basename(self.binary)})
        for page, content in pages.items():
            with self.subTest(page=page):
                with open(os.path.join(self.program_dir, SAVED_NAME.format(page)), "rb") as file:
                    self.assertEqual(file.read(), content)


if __name__ == "__main__":
    unittest.main()
