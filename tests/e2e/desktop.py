"""Drives the real program on a private X server (Xvfb) managed by openbox.

Every wait is bounded; whatever was started is stopped again, also when a step fails:

    with desktop.running_desktop() as session:
        program = desktop.start_program(session, binary, cwd=directory)
        window = desktop.find_window(session, program.pid)
        desktop.click_control(session, window, "按钮2")
        desktop.screenshot(session, path)

Positions are in pixels; "client" coordinates are relative to the top-left corner of the
window's client area, the coordinates the window's controls are placed in.
"""

import contextlib
import dataclasses
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

# The controls of the window by name: x, y, width and height in client coordinates.
CONTROLS = {
    "分组框1": (0, 1, 344, 424),
    "图片框1": (8, 16, 328, 408),
    "标签4": (352, 7, 48, 32),
    "组合框4": (409, 15, 120, 20),
    "标签3": (352, 46, 48, 32),
    "组合框3": (409, 52, 120, 20),
    "标签1": (352, 78, 48, 32),
    "组合框1": (409, 86, 120, 20),
    "标签2": (352, 118, 48, 32),
    "组合框2": (409, 126, 120, 20),
    "标签5": (352, 162, 48, 32),
    "编辑框1": (410, 164, 119, 24),
    "按钮1": (360, 211, 72, 40),
    "按钮2": (456, 211, 72, 40),
    "按钮4": (361, 259, 72, 40),
    "按钮3": (456, 259, 72, 40),
    "按钮5": (392, 304, 112, 32),
    "标签6": (352, 344, 184, 80),
}

DEFAULT_TIMEOUT = 10.0


@dataclasses.dataclass
class Session:
    display: str
    xvfb: subprocess.Popen
    window_manager: subprocess.Popen | None
    log_dir: str
    programs: list = dataclasses.field(default_factory=list)


class DesktopError(RuntimeError):
    pass


def wait_until(condition, timeout, what):
    """Polls condition until it gives a true value, which is returned; raises on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise DesktopError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.05)


def _x_env(session):
    env = dict(os.environ)
    env["DISPLAY"] = session.display
    return env


def _x_tool(session, *args, timeout=DEFAULT_TIMEOUT, check=True):
    completed = subprocess.run(
        list(args), env=_x_env(session), capture_output=True, text=True, timeout=timeout
    )
    if check and completed.returncode != 0:
        raise DesktopError(f"{' '.join(args)} failed: {completed.stderr.strip()}")
    return completed


def _stop_process(process, timeout=5.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout)


def _start_xvfb(log_dir, width, height, timeout):
    read_end, write_end = os.pipe()
    log = open(os.path.join(log_dir, "xvfb.log"), "wb")
    try:
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
             "-screen", "0", f"{width}x{height}x24"],
            pass_fds=(write_end,), stdout=log, stderr=log, start_new_session=True,
        )
    finally:
        os.close(write_end)
        log.close()
    try:
        number = _read_display_number(read_end, xvfb, timeout)
    except BaseException:
        _stop_process(xvfb)
        raise
    finally:
        os.close(read_end)
    return xvfb, f":{number}"


def _read_display_number(read_end, xvfb, timeout):
    """Xvfb writes its display number once it accepts connections."""
    os.set_blocking(read_end, False)
    received = b""

    def number_written():
        nonlocal received
        if xvfb.poll() is not None:
            raise DesktopError(f"Xvfb ended with status {xvfb.returncode}")
        with contextlib.suppress(BlockingIOError):
            received += os.read(read_end, 64)
        return received.endswith(b"\n")

    wait_until(number_written, timeout, "Xvfb to start")
    return int(received.strip())


def _window_manager_ready(session):
    completed = _x_tool(session, "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False)
    return "window id" in completed.stdout


def start_desktop(width=1280, height=1024, timeout=DEFAULT_TIMEOUT, window_manager=True):
    """A fresh X server on a free display, with openbox managing its windows once ready."""
    log_dir = tempfile.mkdtemp(prefix="textbook-desktop-")
    xvfb, display = _start_xvfb(log_dir, width, height, timeout)
    session = Session(display=display, xvfb=xvfb, window_manager=None, log_dir=log_dir)
    if not window_manager:
        return session
    try:
        log = open(os.path.join(log_dir, "openbox.log"), "wb")
        with log:
            session.window_manager = subprocess.Popen(
                ["openbox", "--sm-disable"], env=_x_env(session), stdout=log, stderr=log,
                start_new_session=True,
            )
        wait_until(lambda: _window_manager_ready(session), timeout, "openbox to start")
    except BaseException:
        stop_desktop(session)
        raise
    return session


def stop_desktop(session):
    """Stops the programs started on this desktop, the window manager and the X server."""
    for program in session.programs:
        _stop_process(program)
    _stop_process(session.window_manager)
    _stop_process(session.xvfb)
    shutil.rmtree(session.log_dir, ignore_errors=True)


@contextlib.contextmanager
def running_desktop(**options):
    session = start_desktop(**options)
    try:
        yield session
    finally:
        stop_desktop(session)


def program_env(session, extra=None):
    """The environment for a program on this desktop: its display, the X11 platform of Qt."""
    env = _x_env(session)
    env.pop("WAYLAND_DISPLAY", None)
    env["QT_QPA_PLATFORM"] = "xcb"
    env.update(extra or {})
    return env


def start_program(session, binary, cwd, env=None):
    """Starts the program with the given working directory; its output is kept in pipes."""
    program = subprocess.Popen(
        [binary], cwd=cwd, env=program_env(session) if env is None else env,
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True,
    )
    session.programs.append(program)
    return program


def stop_program(program):
    """Ends the program if it still runs: SIGTERM, then SIGKILL."""
    _stop_process(program)


def wait_for_exit(program, timeout=DEFAULT_TIMEOUT):
    """The program's exit status, or None when it is still running after the timeout."""
    try:
        return program.wait(timeout)
    except subprocess.TimeoutExpired:
        return None


def _managed(session, window):
    completed = _x_tool(session, "xprop", "-id", str(window), "_NET_FRAME_EXTENTS", check=False)
    return "=" in completed.stdout


def find_window(session, pid, timeout=DEFAULT_TIMEOUT):
    """The visible top-level window of the process, once the window manager has framed it."""

    def framed_window():
        completed = _x_tool(session, "xdotool", "search", "--onlyvisible", "--pid", str(pid),
                            check=False)
        for line in completed.stdout.split():
            if _managed(session, int(line)):
                return int(line)
        return None

    return wait_until(framed_window, timeout, f"a window of process {pid}")


def visible_windows(session, pid):
    """Every visible window of the process: its top-level window and an open drop-down list."""
    completed = _x_tool(session, "xdotool", "search", "--onlyvisible", "--pid", str(pid),
                        check=False)
    return [int(line) for line in completed.stdout.split()]


def viewable_top_windows(session):
    """The windows directly on the root window that are on the screen now: window frames,
    the window manager's menus, drop-down lists."""
    children = _x_tool(session, "xwininfo", "-root", "-children").stdout
    viewable = set()
    for window in re.findall(r"^\s+(0x[0-9a-f]+)", children, re.MULTILINE):
        info = _x_tool(session, "xwininfo", "-id", window, check=False).stdout
        if "IsViewable" in info:
            viewable.add(int(window, 16))
    return viewable


def open_system_menu(session, window):
    """Opens the window's system menu (Alt+Space in openbox) and waits until it is shown."""
    before = viewable_top_windows(session)
    key(session, window, "alt+space")
    wait_until(lambda: viewable_top_windows(session) - before, DEFAULT_TIMEOUT,
               "the system menu to open")


def allowed_actions(session, window):
    """What the window manager lets the user do with the window: MOVE, CLOSE, MAXIMIZE_HORZ..."""
    completed = _x_tool(session, "xprop", "-id", str(window), "_NET_WM_ALLOWED_ACTIONS")
    return set(re.findall(r"_NET_WM_ACTION_(\w+)", completed.stdout))


def client_geometry(session, window):
    """x, y of the client area on the screen, and its width and height."""
    info = _x_tool(session, "xwininfo", "-id", str(window)).stdout

    def field(label):
        return int(re.search(rf"{label}:\s+(-?\d+)", info).group(1))

    return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
            field("Width"), field("Height"))


def frame_extents(session, window):
    """The window manager's frame around the client area: left, right, top, bottom."""
    completed = _x_tool(session, "xprop", "-id", str(window), "_NET_FRAME_EXTENTS")
    return tuple(int(n) for n in re.findall(r"\d+", completed.stdout.split("=", 1)[1]))


def window_title(session, window):
    completed = _x_tool(session, "xprop", "-id", str(window), "-notype", "_NET_WM_NAME", "WM_NAME")
    return completed.stdout


def screen_size(session):
    info = _x_tool(session, "xdpyinfo").stdout
    width, height = re.search(r"dimensions:\s+(\d+)x(\d+)", info).groups()
    return int(width), int(height)


def focus(session, window):
    _x_tool(session, "xdotool", "windowactivate", "--sync", str(window))
    wait_until(
        lambda: _x_tool(session, "xdotool", "getactivewindow").stdout.strip() == str(window),
        DEFAULT_TIMEOUT, f"window {window} to become active")


def press(session, *keys):
    """Presses keys (xdotool names: Escape, Tab, shift+Tab, alt+F4) wherever the keyboard
    goes now, an open drop-down list included."""
    _x_tool(session, "xdotool", "key", "--clearmodifiers", "--delay", "30", *keys)


def key(session, window, *keys):
    """Makes the window active, then presses the keys."""
    focus(session, window)
    press(session, *keys)


def type_text(session, window, text):
    focus(session, window)
    _x_tool(session, "xdotool", "type", "--clearmodifiers", "--delay", "30", text)


def move_pointer(session, x, y):
    """Moves the pointer to screen coordinates x, y and waits until it is there."""
    location = _x_tool(session, "xdotool", "getmouselocation", "--shell").stdout
    # xdotool's --sync waits for the pointer to move, for ever when it is there already.
    if re.search(rf"^X={x}\nY={y}$", location, re.MULTILINE):
        return
    _x_tool(session, "xdotool", "mousemove", "--sync", str(x), str(y))


def click(session, window, x, y, button=1):
    """Clicks at client coordinates x, y of the window."""
    left, top, _, _ = client_geometry(session, window)
    focus(session, window)
    move_pointer(session, left + x, top + y)
    _x_tool(session, "xdotool", "click", str(button))


def click_close_button(session, window):
    """Clicks the close button at the right end of the title bar (openbox's default layout)."""
    left, top, width, _ = client_geometry(session, window)
    _, right_extent, top_extent, _ = frame_extents(session, window)
    frame_right = left + width + right_extent - 1
    focus(session, window)
    move_pointer(session, frame_right - 10, top - top_extent // 2)
    _x_tool(session, "xdotool", "click", "1")


def control_centre(name):
    x, y, width, height = CONTROLS[name]
    return x + width // 2, y + height // 2


def click_control(session, window, name):
    click(session, window, *control_centre(name))


def open_list(session, window, pid, list_name):
    """Opens a drop-down list by its arrow and waits until its list is on the screen."""
    x, y, width, height = CONTROLS[list_name]
    click(session, window, x + width - 6, y + height // 2)
    wait_until(lambda: len(visible_windows(session, pid)) > 1, DEFAULT_TIMEOUT,
               f"the list of {list_name} to open")


def pick_item(session, window, list_name, index):
    """Selects the item at index in a drop-down list with the keyboard, as a user would."""
    x, y, width, height = CONTROLS[list_name]
    click(session, window, x + width // 3, y + height // 2)
    # From no selection the first Down selects item 0; Up then stops at item 0 in any case.
    key(session, window, "Down", *["Up"] * 10, *["Down"] * index)


def screenshot(session, path):
    """Saves the whole screen as a PNG."""
    _x_tool(session, "import", "-window", "root", path, timeout=30)
    return path


def move_pointer_away(session):
    """Moves the pointer to the top-left corner of the screen, so that it hovers no control."""
    move_pointer(session, 0, 0)


def pixels_in(path, x, y, width, height):
    """The colours of the rectangle of a screenshot as (red, green, blue), row by row."""
    completed = subprocess.run(
        ["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8",
         "rgb:-"],
        capture_output=True, timeout=DEFAULT_TIMEOUT, check=True,
    )
    data = completed.stdout
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def colours_in(path, x, y, width, height):
    """How many different colours the rectangle of a screenshot holds."""
    completed = subprocess.run(
        ["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-format", "%k",
         "info:"],
        capture_output=True, text=True, timeout=DEFAULT_TIMEOUT, check=True,
    )
    return int(completed.stdout.strip())


def signal_name(status):
    if status is not None and status < 0:
        return signal.Signals(-status).name
    return str(status)
