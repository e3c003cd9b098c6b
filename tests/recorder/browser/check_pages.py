#!/usr/bin/env python3
"""The statistics report and an HTML manual in a real browser.

Builds a user folder with a recorded-style timeline (screenshots drawn here
as PNG files), played and never-played scripts and groups, has zvb_cmd write
the statistics page and the manual, and opens both in headless Chromium at a
desktop and a phone width. A script in the browser checks that every image
loaded, that every click marker sits inside its image box where the
operation's point is, and that nothing overflows the page. One screenshot
of each page (and both at phone width) goes to the shots folder.

Exit code 0 when every check holds, 1 otherwise, 77 (skipped) without a
browser.
"""
import argparse
import html
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

BOX = 195
DESKTOP = (1920, 1080)

# ---- PNG pictures -------------------------------------------------------------


class Canvas:
    def __init__(self, width, height, rgb):
        self.width, self.height = width, height
        self.pixels = bytearray(bytes(rgb) * (width * height))

    def fill(self, x0, y0, x1, y1, rgb):
        x0, y0 = max(0, x0), max(0, y0)
        x1, y1 = min(self.width, x1), min(self.height, y1)
        if x1 <= x0:
            return
        run = bytes(rgb) * (x1 - x0)
        for y in range(y0, y1):
            at = (y * self.width + x0) * 3
            self.pixels[at:at + len(run)] = run

    def window(self, x, y, w, h, accent):
        """A window as a screenshot shows it: frame, title bar, text lines."""
        self.fill(x, y, x + w, y + h, (246, 247, 249))
        self.fill(x, y, x + w, y + 34, accent)
        for i, line in enumerate(range(y + 60, y + h - 90, 28)):
            self.fill(x + 24, line, x + w - 40 - (i * 37) % 160, line + 10, (208, 213, 221))

    def target(self, x, y, rgb=(20, 20, 20)):
        """What the click hits: a button with a dark centre at (x, y)."""
        self.fill(x - 34, y - 14, x + 34, y + 14, (37, 99, 235))
        self.fill(x - 4, y - 4, x + 4, y + 4, rgb)

    def png(self):
        stride = self.width * 3
        raw = b"".join(b"\0" + bytes(self.pixels[y * stride:(y + 1) * stride]) for y in range(self.height))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")


# ---- operation records --------------------------------------------------------

FIELDS = {
    "category": (4, "i"), "interval": (8, "I"), "window_rect": (12, "4i"), "window_state": (28, "i"),
    "window_title": (32, "t"), "window_class": (544, "t"), "image_offset": (1056, "I"), "image_size": (1060, "I"),
    "code": (1064, "i"), "mouse_pos": (1068, "2i"), "mouse_rel": (1076, "2i"), "key_code": (1088, "I"),
    "modifiers": (1092, "I"), "event_text1": (1096, "t"), "event_text2": (1608, "t"), "masked": (2120, "I"),
    "desktop": (2124, "I"), "desktop_rect": (2644, "4i"), "event_data1": (2664, "i"), "data_version": (2668, "I"),
    "disabled": (2676, "I"),
}


def record(**fields):
    data = bytearray(2684)
    struct.pack_into("<I", data, 0, 2684)
    fields.setdefault("desktop_rect", (0, 0) + DESKTOP)
    fields.setdefault("data_version", 1)
    for name, value in fields.items():
        offset, form = FIELDS[name]
        if form == "t":
            text = value.encode("utf-16-le")[:510]
            data[offset:offset + len(text)] = text
        elif len(form) == 2:
            struct.pack_into("<" + form, data, offset, *value)
        else:
            struct.pack_into("<" + form, data, offset, value)
    return bytes(data)


def box_fit(rect):
    """Scale and offset of the reference rectangle in the image box."""
    w, h = rect[2] - rect[0], rect[3] - rect[1]
    k = BOX / max(w, h)
    sw, sh = int(w * k), int(h * k)
    return k, (BOX - sw) // 2, (BOX - sh) // 2


def timeline(folder):
    """The timeline's files; returns the marker centres each card must show
    (None for a card without marker)."""
    win = (200, 150, 840, 630)  # 640 x 480
    a = Canvas(640, 480, (255, 255, 255))
    a.window(0, 0, 640, 480, (44, 82, 130))
    a.target(520, 430)
    b = Canvas(640, 480, (255, 255, 255))
    b.window(0, 0, 640, 480, (120, 60, 150))
    b.target(100, 200)
    screen = Canvas(*DESKTOP, (30, 62, 94))
    screen.window(win[0], win[1], 640, 480, (16, 120, 90))
    screen.target(win[0] + 320, win[1] + 240)
    desktop = Canvas(*DESKTOP, (24, 48, 80))
    for i in range(6):
        desktop.fill(24, 40 + i * 110, 96, 112 + i * 110, (230, 232, 236))
    desktop.target(60, 76, (200, 30, 30))
    tall = Canvas(360, 520, (255, 255, 255))
    tall.window(0, 0, 360, 520, (90, 90, 90))
    tall.target(180, 480)

    images, offsets = b"", {}
    for name, canvas in (("a", a), ("b", b), ("screen", screen), ("desktop", desktop), ("tall", tall)):
        data = canvas.png()
        offsets[name] = (len(images), len(data))
        images += data

    def shot(name):
        return {"image_offset": offsets[name][0], "image_size": offsets[name][1]}

    title = "経費精算 - 社内システム"
    ops, markers = [], []

    def add(marker, **fields):
        ops.append(record(**fields))
        markers.append(marker)

    k, cx, cy = box_fit(win)
    desk_k, desk_cx, desk_cy = box_fit((0, 0) + DESKTOP)
    add((cx + int(520 * k), cy + int(430 * k)), category=0, code=1324, window_rect=win, mouse_rel=(520, 430),
        mouse_pos=(720, 580), window_title=title, interval=800, **shot("a"))
    add(None, category=1, code=1427, key_code=ord("S"), modifiers=2, window_rect=win, window_title=title,
        interval=400, **shot("a"))
    add((desk_cx + int(500 * desk_k), desk_cy + int(500 * desk_k)), category=0, code=515,
        window_rect=(400, 300, 1040, 780), mouse_pos=(500, 500), desktop=1, window_title="承認 - ワークフロー",
        interval=1200, **shot("b"))
    add((cx + int(320 * k), cy + int(240 * k)), category=0, code=1325, window_rect=win, mouse_rel=(320, 240),
        window_title=title, interval=650, **shot("screen"))
    add((desk_cx + int(60 * desk_k), desk_cy + int(76 * desk_k)), category=0, code=1324, desktop=1,
        window_rect=(0, 0) + DESKTOP, mouse_pos=(60, 76), interval=300, **shot("desktop"))
    add((cx + int(520 * k), cy + int(430 * k)), category=0, code=1324, window_rect=win, mouse_rel=(520, 430),
        window_title="パスワード入力", masked=1, **shot("a"))
    tall_rect = (700, 200, 1060, 720)
    tk, tcx, tcy = box_fit(tall_rect)
    add((tcx + int(180 * tk), tcy + int(480 * tk)), category=0, code=1325, window_rect=tall_rect,
        mouse_rel=(180, 480), window_title="確認", disabled=1, **shot("tall"))
    add(None, category=0, code=1328, window_rect=win, mouse_rel=(300, 200), window_title=title, **shot("a"))
    add(None, category=2, code=1525, event_text1="C:\\Program Files\\Tool\\tool.exe",
        event_text2="/open \"月次 <報告>.xlsx\"", interval=500)
    add(None, category=0, code=1324, window_rect=win, mouse_rel=(700, 100), window_title=title, **shot("a"))
    add(None, category=2, code=1529, event_text1="処理が完了しました。" + "Ｘ" * 60 + "A" * 120)
    add(None, category=2, code=1524, event_data1=3, event_text1="*保存が完了*", interval=500)
    add((cx + int(10 * k), cy + int(470 * k)), category=0, code=512, window_rect=win, mouse_rel=(10, 470),
        window_title=title, **shot("a"))

    with open(os.path.join(folder, NAME + ".zv"), "wb") as f:
        f.write(b"".join(ops))
    with open(os.path.join(folder, NAME + ".zv.img"), "wb") as f:
        f.write(images)
    return markers


NAME = "経費精算 #1 & 50%"
LONG_NAME = "とても長い名前のシナリオ" * 6


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


def ini(record_ms, total_ms, days_ago, start, end, script=False):
    stamp = int(time.time()) - days_ago * 86400
    text = f"[TIME]\r\nrecord={record_ms}\r\nplay_total={total_ms}\r\nrecord_timestamp={stamp}\r\n"
    text += f"[PLAY]\r\nstart={start}\r\nend={end}\r\n"
    return text + ("[STATS]\r\nscript=1\r\n" if script else "")


def user_folder(root):
    data = os.path.join(root, "data")
    os.makedirs(data)
    markers = timeline(data)
    write(os.path.join(data, NAME + ".zv.ini"), ini(95000, 4 * 52000, 12, 5, 4))
    write(os.path.join(data, "経理", "月次", "請求書の発行.zv"), "")
    write(os.path.join(data, "経理", "月次", "請求書の発行.zv.ini"), ini(300000, 3 * 120000, 40, 3, 3))
    write(os.path.join(data, "経理", "A&B テスト.zv"), "")
    write(os.path.join(data, "経理", "A&B テスト.zv.ini"), ini(42000, 2 * 12000, 3, 2, 2))
    write(os.path.join(data, "集計マクロ.ksc"), "")
    write(os.path.join(data, "バックアップ.ksc"), "")
    write(os.path.join(data, "バックアップ.ksc.ini"), ini(0, 2 * 2000, 7, 2, 2, script=True))
    write(os.path.join(data, LONG_NAME + ".zv"), "")
    write(os.path.join(data, LONG_NAME + ".zv.ini"), ini(20000, 30000, 1, 1, 1))
    return markers


# ---- the browser --------------------------------------------------------------

CHECK_SCRIPT = r"""
function check(frame) {
  const doc = frame.contentDocument, win = frame.contentWindow;
  const bottom = doc.body.getBoundingClientRect().bottom + parseFloat(win.getComputedStyle(doc.body).marginBottom);
  const out = {width: win.innerWidth, height: Math.ceil(bottom), problems: [], markers: [], images: 0};
  const vw = doc.documentElement.clientWidth;
  if (doc.documentElement.scrollWidth > vw) out.problems.push("page scrolls sideways: " + doc.documentElement.scrollWidth + " > " + vw);
  for (const img of doc.images) {
    out.images++;
    if (!img.complete || img.naturalWidth <= 0) out.problems.push("image not loaded: " + img.getAttribute("src"));
  }
  for (const el of doc.body.querySelectorAll("*")) {
    if (el.closest(".image") || el.closest("script, style")) continue;
    const r = el.getBoundingClientRect();
    if (r.width === 0 && r.height === 0) continue;
    if (r.right > vw + 0.5 || r.left < -0.5)
      out.problems.push("outside the page: <" + el.tagName.toLowerCase() + " class=" + el.className + "> " + Math.round(r.left) + ".." + Math.round(r.right));
    if (el.matches(".title, .detail, td, th, h1, h2") && el.scrollWidth > el.clientWidth + 1)
      out.problems.push("text overflows <" + el.tagName.toLowerCase() + ">: " + el.textContent.slice(0, 40));
  }
  for (const item of doc.querySelectorAll(".item")) {
    const box = item.querySelector(".image");
    const b = box.getBoundingClientRect();
    if (Math.round(b.width) !== 195 || Math.round(b.height) !== 195) out.problems.push("image box " + b.width + "x" + b.height);
    const marker = box.querySelector('img[src$="point.svg"]');
    if (!marker) { out.markers.push(null); continue; }
    const m = marker.getBoundingClientRect();
    const x = m.left + m.width / 2 - b.left, y = m.top + m.height / 2 - b.top;
    out.markers.push([x, y]);
    if (x < 0 || y < 0 || x > b.width || y > b.height) out.problems.push("marker outside its box: " + x + "," + y);
    const shot = box.querySelector('img:not([src$="point.svg"])');
    if (shot) {
      const s = shot.getBoundingClientRect();
      if (m.left + m.width / 2 < s.left || m.left + m.width / 2 > s.right || m.top + m.height / 2 < s.top || m.top + m.height / 2 > s.bottom)
        out.problems.push("marker off its picture");
    }
  }
  out.arcs = [...doc.querySelectorAll("circle.arc")].map(c => [c.getAttribute("stroke-dasharray"), c.getTotalLength()]);
  out.heading = (doc.querySelector("h1") || {}).textContent || "";
  return out;
}
window.addEventListener("load", () => {
  const results = {};
  for (const frame of document.querySelectorAll("iframe")) {
    try {
      results[frame.id] = check(frame);
    } catch (e) {
      results[frame.id] = {problems: ["check failed: " + e], markers: [], images: 0, arcs: [], height: 0};
    }
  }
  const pre = document.createElement("pre");
  pre.id = "zv-result";
  pre.textContent = JSON.stringify(results);
  document.body.appendChild(pre);
});
"""


class Browser:
    def __init__(self, program):
        self.program = program

    def run(self, url, *args, timeout=120):
        profile = tempfile.mkdtemp(prefix="zv-chromium-")
        command = [self.program, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--user-data-dir=" + profile, "--allow-file-access-from-files", "--hide-scrollbars",
                   "--virtual-time-budget=15000", *args, url]
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        try:
            out, _ = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)  # the browser and its helpers, by our own group
            process.communicate()
            raise
        finally:
            shutil.rmtree(profile, ignore_errors=True)
        return process.returncode, out.decode("utf-8", "replace")

    def screenshot(self, url, path, width, height):
        code, _ = self.run(url, f"--window-size={width},{height}", "--screenshot=" + path)
        return code == 0 and os.path.exists(path)


def url_of(path):
    return "file://" + "/".join(relative_url(part) for part in path.split("/"))


def relative_url(name):
    return re.sub(r"[^A-Za-z0-9._~-]", lambda m: "".join(f"%{b:02X}" for b in m.group(0).encode()), name)


def frames_page(frames):
    cells = "".join(f'<iframe id="{fid}" src="{relative_url(src)}" style="width:{w}px;height:{h}px;border:0;'
                    f'display:block;margin:0 0 20px"></iframe>' for fid, src, w, h in frames)
    return f"<!DOCTYPE html><html><body style='margin:0'>{cells}<script>{CHECK_SCRIPT}</script></body></html>"


def side_by_side(frames):
    cells = "".join(f'<iframe src="{relative_url(src)}" style="width:{w}px;height:{h}px;border:0;'
                    f'margin:0 16px;background:#fff"></iframe>' for src, w, h in frames)
    return f"<!DOCTYPE html><html><body style='margin:16px 0;background:#9aa3b2;display:flex;align-items:flex-start'>{cells}</body></html>"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zvb-cmd", required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--chromium", default="chromium")
    options = parser.parse_args()
    program = shutil.which(options.chromium)
    if not program:
        print(f"skipped: no {options.chromium} (./dev deps installs it)")
        return 77
    browser = Browser(program)
    failures = []

    work = tempfile.mkdtemp(prefix="zv-pages-")
    try:
        user = os.path.join(work, "user")
        expected_markers = user_folder(user)
        out = os.path.join(work, "out")
        os.makedirs(out)
        for args in (["stats", os.path.join(out, "statistics.html")], ["manual", NAME, out]):
            result = subprocess.run([options.zvb_cmd, "/dir", user, *args], capture_output=True, timeout=120)
            if result.returncode != 0:
                print(f"zvb_cmd {args[0]} failed: {result.stderr.decode(errors='replace')}")
                return 1
        stats, manual = "statistics.html", NAME + ".html"
        frames = [("stats_wide", stats, 1280, 3000), ("stats_phone", stats, 390, 3000),
                  ("manual_wide", manual, 1280, 6000), ("manual_phone", manual, 390, 9000)]
        write(os.path.join(out, "check.html"), frames_page(frames))
        code, dom = browser.run(url_of(os.path.join(out, "check.html")), "--window-size=1400,1000", "--dump-dom")
        found = re.search(r'<pre id="zv-result">(.*?)</pre>', dom, re.S)
        if code != 0 or not found:
            print(f"the browser gave no result (exit code {code}):\n{dom[-2000:]}")
            return 1
        results = json.loads(html.unescape(found.group(1)))

        for fid, result in results.items():
            for problem in result["problems"]:
                failures.append(f"{fid}: {problem}")
            if fid.startswith("manual") and result["images"] == 0:
                failures.append(f"{fid}: no images")
        for fid in ("manual_wide", "manual_phone"):
            got = results[fid]["markers"]
            if len(got) != len(expected_markers):
                failures.append(f"{fid}: {len(got)} cards, {len(expected_markers)} operations")
                continue
            if results[fid]["heading"] != NAME:
                failures.append(f"{fid}: heading {results[fid]['heading']!r}")
            for n, (want, have) in enumerate(zip(expected_markers, got), 1):
                if (want is None) != (have is None) or (
                        want and (abs(want[0] - have[0]) > 1 or abs(want[1] - have[1]) > 1)):
                    failures.append(f"{fid}: card {n}: marker at {have}, expected {want}")
        for fid in ("stats_wide", "stats_phone"):
            arcs = results[fid]["arcs"]
            if len(arcs) != 2 or any(abs(length - 723) > 2 or not re.fullmatch(r"\d+\.\d{3} 723", dash)
                                     for dash, length in arcs):
                failures.append(f"{fid}: ring arcs {arcs}")

        # Screenshots: each page at desktop width, both side by side at phone width.
        os.makedirs(options.shots, exist_ok=True)
        for name, page, fid in (("statistics", stats, "stats_wide"), ("manual", manual, "manual_wide")):
            height = min(results[fid]["height"], 8000)
            if not browser.screenshot(url_of(os.path.join(out, page)), os.path.join(options.shots, name + ".png"),
                                      1280, height):
                failures.append(f"no screenshot of {page}")
        phone = [(stats, 390, results["stats_phone"]["height"]), (manual, 390, results["manual_phone"]["height"])]
        write(os.path.join(out, "phone.html"), side_by_side(phone))
        if not browser.screenshot(url_of(os.path.join(out, "phone.html")),
                                  os.path.join(options.shots, "statistics_manual_phone.png"), 860,
                                  min(max(h for _, _, h in phone) + 32, 8000)):
            failures.append("no phone screenshot")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAILED:", failure)
    if not failures:
        print(f"pages checked; screenshots in {options.shots}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
