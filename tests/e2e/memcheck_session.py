"""One session of the real program, run by scripts/memcheck under valgrind: view, next page,
previous page, a download of 20 pages, close. Usage:

    memcheck_session.py COMMAND...     the program's command line (valgrind and its options,
                                       then a copy of the program in a directory of its own)

Exits with the program's exit status; the page server stands in for the image host.
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
# The page server helpers of the fault tests read these when imported.
os.environ.setdefault("TEXTBOOK_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE)))
os.environ.setdefault("TEXTBOOK_BINARY", sys.argv[-1])
import desktop  # noqa: E402
from download_faults_test import FOLDER, PageServer, page_path  # noqa: E402

# valgrind makes everything some 20 to 50 times slower.
SLOW = 180.0


def main(command):
    program_dir = os.path.dirname(os.path.abspath(command[-1]))
    server = PageServer()
    try:
        with desktop.running_desktop() as session:
            return run_session(session, server, command, program_dir)
    finally:
        server.stop()


def run_session(session, server, command, program_dir):
    jpeg = subprocess.run(["convert", "-size", "400x560", "plasma:fractal", "-seed", "3",
                           "jpeg:-"], check=True, capture_output=True, timeout=60).stdout
    server.serve({page_path(page): (jpeg, {}) for page in range(1, 21)})
    env = desktop.program_env(session, {"http_proxy": f"http://127.0.0.1:{server.port}"})
    program = subprocess.Popen(command, cwd=program_dir, env=env, start_new_session=True)
    session.programs.append(program)
    window = desktop.find_window(session, program.pid, timeout=SLOW)
    for list_name, index in (("组合框4", 0), ("组合框3", 1), ("组合框1", 2), ("组合框2", 1)):
        desktop.pick_item(session, window, list_name, index)

    def requests_of(path, count):
        desktop.wait_until(lambda: server.requested_paths().count(path) >= count, SLOW,
                           f"{count} requests of {path}")

    desktop.click_control(session, window, "按钮2")
    requests_of(page_path(1), 1)
    desktop.click_control(session, window, "按钮3")
    requests_of(page_path(2), 1)
    desktop.click_control(session, window, "按钮4")
    requests_of(page_path(1), 2)
    desktop.click_control(session, window, "编辑框1")
    desktop.key(session, window, "ctrl+a")
    desktop.type_text(session, window, "20")
    desktop.click_control(session, window, "按钮1")
    last = os.path.join(program_dir, "语文人教版三年级下册20.jpg")
    desktop.wait_until(lambda: os.path.exists(last), SLOW, "page 20 to be saved")
    desktop.key(session, window, "Escape")
    status = desktop.wait_for_exit(program, timeout=SLOW)
    print(f"memcheck session: {FOLDER} pages viewed and downloaded; exit status {status}")
    return 1 if status is None else status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
