"""Sample page images for a few textbooks of the catalogue, drawn on demand.

The page server serves these in its sample mode, so the program can be tried and tested without
the publisher's image server. Pages are JPEG images drawn with ImageMagick's `convert` and kept
in memory once drawn.
"""

import re
import subprocess
import threading

FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# Image-host folder of a volume -> (subject, edition, grade, volume, number of pages).
BOOKS = {
    "yuwen/renjiaoban/sannianjixiace": ("语文", "人教版", "三年级", "下册", 12),
    "shuxue/beishida/wunianjishangce": ("数学", "北师大", "五年级", "上册", 10),
    "yingyu/renjiaoban/qinianjishangce": ("英语", "人教版", "七年级", "上册", 8),
}

PAGE_PATH = re.compile(r"^/img/jiaocai/(?P<folder>[a-z]+/[a-z]+/[a-z]+)/(?P<page>-?\d+)\.jpg$")

_cache = {}
_lock = threading.Lock()


def sample_page(path):
    """The JPEG bytes of the sample page at `path`, or None when there is no such page."""
    match = PAGE_PATH.match(path)
    if not match or match["folder"] not in BOOKS:
        return None
    book = BOOKS[match["folder"]]
    page = int(match["page"])
    if not 1 <= page <= book[4]:
        return None
    with _lock:
        if path not in _cache:
            _cache[path] = draw_page(book, page)
        return _cache[path]


def draw_page(book, page, width=1240, height=1754):
    subject, edition, grade, volume, _ = book
    lines = []
    for row in range(14):
        top = 430 + row * 70
        right = width - 140 - (row * 97 % 5) * 60
        lines += ["-draw", f"rectangle 140,{top} {right},{top + 18}"]
    command = [
        "convert", "-size", f"{width}x{height}", "xc:#fbf8f0", "-font", FONT,
        "-fill", "#203040", "-gravity", "north",
        "-pointsize", "72", "-annotate", "+0+150", f"{subject} {edition}",
        "-pointsize", "56", "-annotate", "+0+270", f"{grade} {volume}",
        "-fill", "#b8c0c8", *lines,
        "-fill", "#c03030", "-gravity", "south", "-pointsize", "160",
        "-annotate", "+0+120", str(page),
        "-quality", "85", "jpg:-",
    ]
    return subprocess.run(command, check=True, capture_output=True, timeout=60).stdout
