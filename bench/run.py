#!/usr/bin/env python3
"""Runs the benchmark of scripts/bench: each figure of the program beside the tool a user would
pick instead, measured interleaved in the same run, medians of several repetitions. Prints one
line per figure and writes bench/RESULTS.md.

Usage: run.py BUILD_DIR [--quick]   (--quick: fewer repetitions, for trying the script out)
"""

import contextlib
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMAGE_HOST = "img.textbook-pages.example"
# 语文 人教版 三年级 下册, the book the driver picks.
VOLUME_PATH = "/img/jiaocai/yuwen/renjiaoban/sannianjixiace/"
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
STEP_TIMEOUT = 300
NOTES_HEADING = "## Findings"


def machine():
    model = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                  if line.startswith("model name")), platform.processor())
    memory = next(line.split(":", 1)[1].strip() for line in open("/proc/meminfo")
                  if line.startswith("MemTotal"))
    return {"nproc": os.cpu_count(), "cpu": model, "memory": memory,
            "kernel": platform.release()}


def load_average():
    return " ".join(f"{value:.2f}" for value in os.getloadavg())


def page_text(lines, seed):
    """Lines of CJK characters with some commas: what a scanned textbook page is made of."""
    state = seed
    rows = []
    for row in range(lines):
        characters = []
        width = 12 if row % 9 == 8 else 34
        for _ in range(width):
            state = (state * 1103515245 + 12345) % 2 ** 31
            characters.append("，" if state % 13 == 0 else chr(0x4E00 + state % 0x1500))
        rows.append("".join(characters))
    return "\n".join(rows)


def make_page(path, width, height):
    """A scanned text page: off-white paper, many lines of text, scanner noise, quality 85."""
    if os.path.exists(path):
        return
    scale = width / 2480
    subprocess.run(
        ["convert", "-size", f"{width}x{height}", "xc:#f2eee3", "-font", FONT,
         "-pointsize", str(round(54 * scale)), "-fill", "#262626",
         "-interline-spacing", str(round(6 * scale)),
         "-annotate", f"+{round(190 * scale)}+{round(260 * scale)}", page_text(52, 7),
         "-attenuate", "0.2", "+noise", "Gaussian", "-blur", "0x0.7",
         "-sampling-factor", "2x2", "-quality", "85", path + ".tmp.jpg"],
        check=True, timeout=STEP_TIMEOUT)
    os.replace(path + ".tmp.jpg", path)


@contextlib.contextmanager
def page_host(page, work):
    port_file = os.path.join(work, "port")
    with contextlib.suppress(FileNotFoundError):
        os.remove(port_file)
    host = subprocess.Popen([sys.executable, os.path.join(ROOT, "bench", "page_host.py"),
                             "--page", page, "--port-file", port_file])
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(port_file):
            if time.monotonic() > deadline or host.poll() is not None:
                raise RuntimeError("the page host did not start")
            time.sleep(0.05)
        with open(port_file) as file:
            yield int(file.read())
    finally:
        host.terminate()
        host.wait(10)


def fresh_directory(work, name):
    path = os.path.join(work, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def timed(command, cwd=None, env=None, shell=False):
    start = time.perf_counter()
    completed = subprocess.run(command, cwd=cwd, env=env, shell=shell, capture_output=True,
                               text=True, timeout=STEP_TIMEOUT)
    elapsed = (time.perf_counter() - start) * 1000
    if completed.returncode != 0:
        raise RuntimeError(f"{command} failed: {completed.stderr.strip()[-500:]}")
    return elapsed, completed.stdout


def values(output):
    pairs = (line.split() for line in output.splitlines() if line.strip())
    return {key: float(value) for key, value in pairs}


def count_files(directory, size):
    return sum(1 for name in os.listdir(directory)
               if os.path.getsize(os.path.join(directory, name)) == size)


def batch_download(build, work, page, port, repetitions, pages=200):
    """The program's download beside wget -i and a curl loop, all three through the proxy."""
    env = dict(os.environ, http_proxy=f"http://127.0.0.1:{port}", no_proxy="")
    urls = os.path.join(work, "urls.txt")
    with open(urls, "w") as file:
        file.writelines(f"http://{IMAGE_HOST}{VOLUME_PATH}{n}.jpg\n" for n in range(1, pages + 1))
    size = os.path.getsize(page)
    times = {"program": [], "wget": [], "curl": []}
    commands = {
        "wget": ["wget", "-q", "-i", urls],
        "curl": ["bash", "-c", 'while read -r url; do curl -s -f -O "$url" || exit 1; done < "$0"',
                 urls],
    }
    for _ in range(repetitions):
        for name in ("wget", "program", "curl"):
            directory = fresh_directory(work, f"download-{name}")
            if name == "program":
                _, output = timed([os.path.join(build, "bench", "bench_driver"), "download",
                                   str(pages)], cwd=directory, env=env)
                times[name].append(values(output)["download_ms"])
            else:
                times[name].append(timed(commands[name], cwd=directory, env=env)[0])
            if count_files(directory, size) != pages:
                raise RuntimeError(f"{name} did not save {pages} whole pages")
    return {name: statistics.median(series) for name, series in times.items()}


def djpeg_ms(page, runs):
    samples = []
    for _ in range(runs):
        with open(os.devnull, "wb") as sink:
            start = time.perf_counter()
            subprocess.run(["djpeg", page], stdout=sink, check=True, timeout=STEP_TIMEOUT)
            samples.append((time.perf_counter() - start) * 1000)
    return samples


def showing_a_page(build, page, rounds, runs):
    """picture(box, bytes) up to the painted box, beside djpeg's full decode of the file."""
    shown, in_process, djpeg = [], [], []
    for _ in range(rounds):
        djpeg += djpeg_ms(page, runs)
        _, output = timed([os.path.join(build, "bench", "bench_driver"), "show", page, str(runs)])
        result = values(output)
        shown.append(result["show_ms"])
        in_process.append(result["full_decode_ms"])
    return {"program": statistics.median(shown), "djpeg": statistics.median(djpeg),
            "full_decode": statistics.median(in_process)}


@contextlib.contextmanager
def bare_display():
    """A private Xvfb without a window manager, so that only the measured program draws."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                             "-screen", "0", "1280x1024x24"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        yield f":{number}"
    finally:
        xvfb.terminate()
        xvfb.wait(10)


def start_up(build, work, repetitions):
    """Process start to the window's first complete picture: the program, a bare window, and
    the bare window with one label of Chinese text."""
    clock = os.path.join(build, "bench", "window_clock")
    if not os.path.exists(clock):
        return None
    programs = {"program": os.path.join(build, "textbook-pages"),
                "bare": os.path.join(build, "bench", "bare_window"),
                "text": os.path.join(build, "bench", "text_window")}
    painted = {name: [] for name in programs}
    mapped = {name: [] for name in programs}
    with bare_display() as display:
        env = dict(os.environ, DISPLAY=display)
        env.pop("QT_QPA_PLATFORM", None)
        for repetition in range(repetitions + 1):
            for name, program in programs.items():
                _, output = timed([clock, program], cwd=work, env=env)
                if repetition == 0:
                    continue  # the first start of each warms the file cache
                result = values(output)
                painted[name].append(result["painted_ms"])
                mapped[name].append(result["mapped_ms"])
    return {f"{name}_{kind}": statistics.median(series[name])
            for kind, series in (("painted", painted), ("mapped", mapped)) for name in programs}


def memory(build, work, port, pages=500):
    env = dict(os.environ, http_proxy=f"http://127.0.0.1:{port}", no_proxy="")
    directory = fresh_directory(work, "download-memory")
    _, output = timed([os.path.join(build, "bench", "bench_driver"), "memory", str(pages)],
                      cwd=directory, env=env)
    shutil.rmtree(directory, ignore_errors=True)
    return values(output)


def line(name, value, reference, reference_name, target, unit="ms"):
    ratio = value / reference
    met = "met" if ratio <= target else "NOT met"
    text = (f"{name}: {value:.1f} {unit} vs {reference_name} {reference:.1f} {unit}, "
            f"ratio {ratio:.2f} (target <= {target:.2f}, {met})")
    print(text, flush=True)
    return text


def main(argv):
    build = os.path.abspath(argv[0])
    quick = "--quick" in argv
    work = os.path.join(build, "bench-work")
    os.makedirs(work, exist_ok=True)
    load_before = load_average()
    big = os.path.join(work, "page-2480x3508.jpg")
    small = os.path.join(work, "page-1240x1754.jpg")
    make_page(big, 2480, 3508)
    make_page(small, 1240, 1754)
    lines = [f"Pages: {os.path.getsize(big)} bytes (2480 x 3508), "
             f"{os.path.getsize(small)} bytes (1240 x 1754), JPEG quality 85"]
    print(lines[0], flush=True)

    with page_host(big, work) as port:
        download = batch_download(build, work, big, port, 2 if quick else 5)
    lines.append(line("1. Batch download, 200 pages", download["program"], download["wget"],
                      "wget -i", 1.10))
    lines.append(line("   (second reference) program", download["program"], download["curl"],
                      "curl loop", 1.10))

    for label, page in (("2480 x 3508", big), ("1240 x 1754", small)):
        shown = showing_a_page(build, page, 2 if quick else 4, 5 if quick else 10)
        lines.append(line(f"2. Showing a {label} page", shown["program"], shown["djpeg"],
                          "djpeg full decode", 0.5))
        lines.append(line(f"   (honesty) in-process full decode of the {label} page",
                          shown["full_decode"], shown["djpeg"], "djpeg", 1.0))

    started = start_up(build, work, 3 if quick else 10)
    if started is None:
        lines.append("3. Start-up: not measured (window_clock was not built: no xcb-damage)")
        print(lines[-1])
    else:
        lines.append(line("3. Start-up to first paint", started["program_painted"],
                          started["bare_painted"], "bare Qt window", 1.25))
        lines.append(line("   start-up to window mapped", started["program_mapped"],
                          started["bare_mapped"], "bare Qt window", 1.25))
        lines.append(line("   (floor) bare window with one label of Chinese text, to first paint",
                          started["text_painted"], started["bare_painted"], "bare Qt window",
                          1.25))
        lines.append(line("   (floor) program to first paint", started["program_painted"],
                          started["text_painted"], "window with Chinese text", 1.25))

    with page_host(big, work) as port:
        rss = memory(build, work, port)
    growth = (rss["rss_last_kib"] - rss["rss_page50_kib"]) / 1024
    peak = rss["hwm_kib"] / 1024
    lines.append(line("4. Memory growth, page 50 to 500", growth, 5.0, "limit", 1.0, "MiB"))
    lines.append(line("   peak resident memory, 500 pages", peak, 100.0, "limit", 1.0, "MiB"))
    details = (f"   (resident: {rss['rss_before_kib'] / 1024:.1f} MiB before the download, "
               f"{rss['rss_page50_kib'] / 1024:.1f} after page 50, "
               f"{rss['rss_last_kib'] / 1024:.1f} after page 500, "
               f"highest sampled {rss['rss_max_sampled_kib'] / 1024:.1f})")
    print(details)
    lines.append(details)

    write_results(lines, machine(), load_before, load_average(), quick)
    return 0


def write_results(lines, host, load_before, load_after, quick):
    stamp = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
    text = [
        "# Benchmark results",
        "",
        f"Run of `./scripts/bench` on {stamp}{' (quick run)' if quick else ''}.",
        "",
        f"- Machine: {host['nproc']} CPUs ({host['cpu']}), {host['memory']} memory, "
        f"Linux {host['kernel']}",
        f"- Load average (1, 5, 15 min) before: {load_before}; after: {load_after}",
        "",
        "Every figure is a median of repetitions, the program and its reference measured",
        "interleaved in the same run against the same local server (127.0.0.1). A ratio is the",
        "program's figure divided by the reference's.",
        "",
        "```",
        *lines,
        "```",
        "",
    ]
    path = os.path.join(ROOT, "bench", "RESULTS.md")
    notes = ""
    if os.path.exists(path):
        with open(path, encoding="utf-8") as file:
            earlier = file.read()
        # The hand-written findings below the results survive a new run.
        if NOTES_HEADING in earlier:
            notes = earlier[earlier.index(NOTES_HEADING):]
    with open(path, "w", encoding="utf-8") as file:
        file.write("\n".join(text) + ("\n" + notes if notes else ""))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
