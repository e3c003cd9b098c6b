#!/usr/bin/env python3
"""The statistics report and an HTML manual in a real browser.

zvb_cmd writes both pages for a user folder made here: a recorded-style
timeline with screenshots drawn as PNG files, played and never-played
scripts, groups. Headless Chromium opens them at a desktop and a phone
width; a script in the browser checks that every image loaded, that every
click marker sits inside its box at the operation's point, and that nothing
is wider than the page. A screenshot of each page goes to the shots folder.
Exit code 0 when all holds, 1 otherwise, 77 (skipped) without a browser.
"""
import argparse, html, json, os, re, shutil, signal, struct, subprocess, sys, tempfile, time, zlib

BOX = 195
DESKTOP = (1920, 1080)
NAME = "経費精算 #1 & 50%"


class Canvas:
    def __init__(self, width, height, rgb):
        self.width, self.height = width, height
        self.pixels = bytearray(bytes(rgb) * (width * height))

    def fill(self, x0, y0, x1, y1, rgb):
        run = bytes(rgb) * (x1 - x0)
        for y in range(y0, y1):
            at = (y * self.width + x0) * 3
            self.pixels[at:at + len(run)] = run

    def window(self, x, y, w, h, accent):
        self.fill(x, y, x + w, y + h, (246, 247, 249))
        self.fill(x, y, x + w, y + 34, accent)
        for i, line in enumerate(range(y + 60, y + h - 90, 28)):
            self.fill(x + 24, line, x + w - 40 - (i * 37) % 160, line + 10, (208, 213, 221))

    def target(self, x, y):
        """What the click hits: a button with a dark centre at (x, y)."""
        self.fill(x - 34, y - 14, x + 34, y + 14, (37, 99, 235))
        self.fill(x - 4, y - 4, x + 4, y + 4, (20, 20, 20))

    def png(self):
        stride = self.width * 3
        raw = b"".join(b"\0" + self.pixels[y * stride:(y + 1) * stride] for y in range(self.height))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))


FIELDS = {"category": (4, "i"), "interval": (8, "I"), "window_rect": (12, "4i"), "window_title": (32, "t"),
          "image_offset": (1056, "I"), "image_size": (1060, "I"), "code": (1064, "i"), "mouse_pos": (1068, "2i"),
          "mouse_rel": (1076, "2i"), "key_code": (1088, "I"), "modifiers": (1092, "I"), "event_text1": (1096, "t"),
          "event_text2": (1608, "t"), "masked": (2120, "I"), "desktop": (2124, "I"), "desktop_rect": (2644, "4i"),
          "event_data1": (2664, "i"), "data_version": (2668, "I"), "disabled": (2676, "I")}


def record(**fields):
    data = bytearray(2684)
    struct.pack_into("<I", data, 0, 2684)
    fields = {"desktop_rect": (0, 0) + DESKTOP, "data_version": 1, **fields}
    for name, value in fields.items():
        offset, form = FIELDS[name]
        if form == "t":
            data[offset:offset + 2 * len(value)] = value.encode("utf-16-le")
        else:
            struct.pack_into("<" + form, data, offset, *(value if isinstance(value, tuple) else (value,)))
    return bytes(data)


def marker_at(rect, x, y):
    """Where the marker of point (x, y) of rect sits in the image box."""
    w, h = rect[2] - rect[0], rect[3] - rect[1]
    k = BOX / max(w, h)
    return (BOX - int(w * k)) // 2 + int(x * k), (BOX - int(h * k)) // 2 + int(y * k)


def timeline(folder):
    """Writes the timeline's files; returns each card's marker (or None)."""
    win, screen_rect, tall = (200, 150, 840, 630), (0, 0) + DESKTOP, (700, 200, 1060, 720)
    pictures = {}
    a = pictures["a"] = Canvas(640, 480, (255, 255, 255))
    a.window(0, 0, 640, 480, (44, 82, 130))
    a.target(520, 430)
    b = pictures["b"] = Canvas(640, 480, (255, 255, 255))
    b.window(0, 0, 640, 480, (120, 60, 150))
    b.target(100, 200)
    screen = pictures["screen"] = Canvas(*DESKTOP, (30, 62, 94))
    screen.window(win[0], win[1], 640, 480, (16, 120, 90))
    screen.target(win[0] + 320, win[1] + 240)
    desk = pictures["desktop"] = Canvas(*DESKTOP, (24, 48, 80))
    desk.target(60, 76)
    t = pictures["tall"] = Canvas(360, 520, (255, 255, 255))
    t.window(0, 0, 360, 520, (90, 90, 90))
    t.target(180, 480)
    store, shots = b"", {}
    for key, canvas in pictures.items():
        data = canvas.png()
        shots[key] = {"image_offset": len(store), "image_size": len(data)}
        store += data

    title = "経費精算 - 社内システム"
    operations = [  # (marker, record)
        (marker_at(win, 520, 430), dict(category=0, code=1324, window_rect=win, mouse_rel=(520, 430),
                                        window_title=title, interval=800, **shots["a"])),
        (None, dict(category=1, code=1427, key_code=ord("S"), modifiers=2, window_rect=win, window_title=title,
                    **shots["a"])),
        (marker_at(screen_rect, 500, 500), dict(category=0, code=515, window_rect=(400, 300, 1040, 780),
                                                mouse_pos=(500, 500), desktop=1, **shots["b"])),
        (marker_at(win, 320, 240), dict(category=0, code=1325, window_rect=win, mouse_rel=(320, 240),
                                        window_title=title, **shots["screen"])),
        (marker_at(screen_rect, 60, 76), dict(category=0, code=1324, desktop=1, window_rect=screen_rect,
                                              mouse_pos=(60, 76), **shots["desktop"])),
        (marker_at(win, 520, 430), dict(category=0, code=1324, window_rect=win, mouse_rel=(520, 430),
                                        window_title="パスワード入力", masked=1, **shots["a"])),
        (marker_at(tall, 180, 480), dict(category=0, code=1325, window_rect=tall, mouse_rel=(180, 480),
                                         window_title="確認", disabled=1, **shots["tall"])),
        (None, dict(category=0, code=1328, window_rect=win, mouse_rel=(300, 200), **shots["a"])),
        (None, dict(category=0, code=1324, window_rect=win, mouse_rel=(700, 100), **shots["a"])),
        (None, dict(category=2, code=1525, event_text1="C:\\Program Files\\Tool\\tool.exe",
                    event_text2="/open \"月次 <報告>.xlsx\"")),
        (None, dict(category=2, code=1529, event_text1="処理が完了しました。" + "Ｘ" * 60 + "A" * 120)),
        (marker_at(win, 10, 470), dict(category=0, code=512, window_rect=win, mouse_rel=(10, 470), **shots["a"])),
    ]
    write(os.path.join(folder, NAME + ".zv"), b"".join(record(**fields) for _, fields in operations))
    write(os.path.join(folder, NAME + ".zv.img"), store)
    return [m for m, _ in operations]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def user_folder(root):
    data = os.path.join(root, "data")
    markers = timeline(data)

    def ini(name, record_ms, total_ms, days_ago, start, end, script=False):
        write(os.path.join(data, name + ".ini"),
              f"[TIME]\r\nrecord={record_ms}\r\nplay_total={total_ms}\r\n"
              f"record_timestamp={int(time.time()) - days_ago * 86400}\r\n[PLAY]\r\nstart={start}\r\nend={end}\r\n"
              + ("[STATS]\r\nscript=1\r\n" if script else ""))

    for name in ("経理/月次/請求書の発行.zv", "経理/A&B テスト.zv", "集計マクロ.ksc", "バックアップ.ksc",
                 "とても長い名前のシナリオ" * 6 + ".zv"):
        write(os.path.join(data, name), "")
    ini(NAME + ".zv", 95000, 4 * 52000, 12, 5, 4)
    ini("経理/月次/請求書の発行.zv", 300000, 3 * 120000, 40, 3, 3)
    ini("経理/A&B テスト.zv", 42000, 2 * 12000, 3, 2, 2)
    ini("バックアップ.ksc", 0, 4000, 7, 2, 2, script=True)
    ini("とても長い名前のシナリオ" * 6 + ".zv", 20000, 30000, 1, 1, 1)
    return markers


CHECK_SCRIPT = r"""
function check(frame) {
  const doc = frame.contentDocument, win = frame.contentWindow, vw = doc.documentElement.clientWidth;
  const bottom = doc.body.getBoundingClientRect().bottom + parseFloat(win.getComputedStyle(doc.body).marginBottom);
  const out = {height: Math.ceil(bottom), problems: [], markers: [], images: doc.images.length};
  if (doc.documentElement.scrollWidth > vw) out.problems.push("page scrolls sideways");
  for (const img of doc.images)
    if (!img.complete || img.naturalWidth <= 0) out.problems.push("image not loaded: " + img.getAttribute("src"));
  for (const el of doc.body.querySelectorAll("*")) {
    if (el.closest(".image, script, style")) continue;
    const r = el.getBoundingClientRect();
    if ((r.width || r.height) && (r.right > vw + 0.5 || r.left < -0.5))
      out.problems.push("outside the page: " + el.tagName + "." + el.className);
    if (el.matches(".title, .detail, td, th, h1, h2") && el.scrollWidth > el.clientWidth + 1)
      out.problems.push("text overflows " + el.tagName + ": " + el.textContent.slice(0, 40));
  }
  for (const box of doc.querySelectorAll(".item .image")) {
    const b = box.getBoundingClientRect(), marker = box.querySelector('img[src$="point.svg"]');
    if (Math.round(b.width) !== 195 || Math.round(b.height) !== 195) out.problems.push("image box " + b.width);
    if (!marker) { out.markers.push(null); continue; }
    const m = marker.getBoundingClientRect(), x = m.left + m.width / 2, y = m.top + m.height / 2;
    out.markers.push([x - b.left, y - b.top]);
    const shot = box.querySelector('img:not([src$="point.svg"])'), s = shot && shot.getBoundingClientRect();
    if (x < b.left || x > b.right || y < b.top || y > b.bottom) out.problems.push("marker outside its box");
    if (s && (x < s.left || x > s.right || y < s.top || y > s.bottom)) out.problems.push("marker off its picture");
  }
  out.arcs = [...doc.querySelectorAll("circle.arc")].map(c => [c.getAttribute("stroke-dasharray"), c.getTotalLength()]);
  out.heading = (doc.querySelector("h1") || {}).textContent;
  return out;
}
window.addEventListener("load", () => {
  const results = {};
  for (const frame of document.querySelectorAll("iframe")) {
    try { results[frame.id] = check(frame); } catch (e) { results[frame.id] = {problems: ["check failed: " + e]}; }
  }
  const pre = document.createElement("pre");
  pre.id = "zv-result";
  pre.textContent = JSON.stringify(results);
  document.body.appendChild(pre);
});
"""


def browser(program, url, *args):
    """Runs headless Chromium on a fresh profile; its standard output."""
    profile = tempfile.mkdtemp(prefix="zv-chromium-")
    command = [program, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--user-data-dir=" + profile, "--allow-file-access-from-files", "--hide-scrollbars",
               "--virtual-time-budget=15000", *args, url]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return process.communicate(timeout=120)[0].decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)  # the browser and its helpers: the group it leads
        process.communicate()
        return ""
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def url_part(name):
    return re.sub(r"[^A-Za-z0-9._~/-]", lambda m: "".join(f"%{b:02X}" for b in m.group(0).encode()), name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zvb-cmd", required=True)
    parser.add_argument("--shots", required=True)
    options = parser.parse_args()
    program = shutil.which("chromium")
    if not program:
        print("skipped: no chromium (./dev deps installs it)")
        return 77
    failures = []
    work = tempfile.mkdtemp(prefix="zv-pages-")
    try:
        user, out = os.path.join(work, "user"), os.path.join(work, "out")
        markers = user_folder(user)
        os.makedirs(out)
        for args in (["stats", os.path.join(out, "statistics.html")], ["manual", NAME, out]):
            done = subprocess.run([options.zvb_cmd, "/dir", user, *args], capture_output=True, timeout=120)
            if done.returncode != 0:
                print(f"zvb_cmd {args[0]}: {done.stderr.decode(errors='replace')}")
                return 1
        pages = {"stats": "statistics.html", "manual": NAME + ".html"}
        frames = "".join(f'<iframe id="{page}_{width}" src="{url_part(file)}" style="width:{width}px;height:6000px;'
                         f'border:0;display:block"></iframe>'
                         for page, file in pages.items() for width in (1280, 390))
        write(os.path.join(out, "check.html"), f"<!DOCTYPE html><body>{frames}<script>{CHECK_SCRIPT}</script>")
        dom = browser(program, "file://" + url_part(os.path.join(out, "check.html")), "--window-size=1400,1000",
                      "--dump-dom")
        found = re.search(r'<pre id="zv-result">(.*?)</pre>', dom, re.S)
        if not found:
            print("the browser gave no result")
            return 1
        results = json.loads(html.unescape(found.group(1)))
        for fid, result in results.items():
            failures += [f"{fid}: {problem}" for problem in result["problems"]]
            if fid.startswith("manual"):
                if result.get("images", 0) == 0 or result.get("heading") != NAME:
                    failures.append(f"{fid}: {result.get('images')} images, heading {result.get('heading')!r}")
                got = result.get("markers", [])
                for n, (want, have) in enumerate(zip(markers, got), 1):
                    if (want is None) != (have is None) or want and max(abs(want[0] - have[0]),
                                                                        abs(want[1] - have[1])) > 1:
                        failures.append(f"{fid}: card {n}: marker at {have}, expected {want}")
                if len(got) != len(markers):
                    failures.append(f"{fid}: {len(got)} cards for {len(markers)} operations")
            elif not all(re.fullmatch(r"\d+\.\d{3} 723", dash) and abs(length - 723) < 2
                         for dash, length in result.get("arcs", [])) or len(result.get("arcs", [])) != 2:
                failures.append(f"{fid}: ring arcs {result.get('arcs')}")
        os.makedirs(options.shots, exist_ok=True)
        for page, file in pages.items():
            shot = os.path.join(options.shots, ("statistics" if page == "stats" else "manual") + ".png")
            if os.path.exists(shot):
                os.remove(shot)
            height = min(results[f"{page}_1280"].get("height", 1000), 8000)
            browser(program, "file://" + url_part(os.path.join(out, file)), f"--window-size=1280,{height}",
                    "--screenshot=" + shot)
            if not os.path.exists(shot):
                failures.append(f"no screenshot of {file}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
