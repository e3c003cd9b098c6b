#!/usr/bin/env python3
"""Writes the "scenario" benchmark: a long script of short statements in the
style of a recorded automation scenario, as ksc, Lua and Python.

The script defines a handful of small helper functions (stand-ins for the
automation library: window checks, clicks, key presses, text sending, waits)
and then a play loop whose body is a long run of operations: assignments,
calls with a few arguments, if-checks, string concatenations, the window
check-and-retry loop with break/continue. The files do the same work and
print the same checksum.

    gen_scenario.py [--lines N] [--loops R] [--seed S] OUT_DIR

writes OUT_DIR/scenario.ksc, OUT_DIR/scenario.lua and OUT_DIR/scenario.py.
"""

import argparse
import os
import random

MOD = 1000003

KSC_PRELUDE = """\
// Benchmark scenario (generated): {ops} operations, {loops} plays.
clicks = 0
keys = 0
checks = 0
loglen = 0
waited = 0
acc = 0
cnt = 0
button = 0
pos = 0
window = 0
text = ""

function get_window(id) {{
	return 1000 + id % 50
}}

function window_matches(cls, title, want_cls, want_title) {{
	checks = checks + 1
	if (cls == want_cls && title == want_title) {{
		return 1
	}}
	return 0
}}

function click_at(x, y, win) {{
	clicks = clicks + 1
	acc = (acc + x * 3 + y + win % 7) % {mod}
	return x + y
}}

function key_press(code, mods) {{
	keys = keys + 1
	acc = (acc + code * (mods + 1)) % {mod}
	return 0
}}

function send_text(win, str) {{
	acc = (acc + length(str) + win % 3) % {mod}
}}

function log_step(step, what) {{
	line = "step " + step + ": " + what
	loglen = (loglen + length(line)) % {mod}
}}

function sleep(ms) {{
	waited = (waited + ms) % {mod}
}}

for (play_index = 0; play_index < {loops}; play_index++) {{
"""

KSC_EPILOGUE = """\
}

print((acc + clicks * 7 + keys * 11 + checks * 13 + loglen + waited + cnt) % %MOD% + "\\n")
"""

LUA_PRELUDE = """\
-- Benchmark scenario (generated): {ops} operations, {loops} plays.
clicks = 0
keys = 0
checks = 0
loglen = 0
waited = 0
acc = 0
cnt = 0
button = 0
pos = 0
window = 0
text = ""

function get_window(id)
  return 1000 + id % 50
end

function window_matches(cls, title, want_cls, want_title)
  checks = checks + 1
  if cls == want_cls and title == want_title then
    return 1
  end
  return 0
end

function click_at(x, y, win)
  clicks = clicks + 1
  acc = (acc + x * 3 + y + win % 7) % {mod}
  return x + y
end

function key_press(code, mods)
  keys = keys + 1
  acc = (acc + code * (mods + 1)) % {mod}
  return 0
end

function send_text(win, str)
  acc = (acc + #str + win % 3) % {mod}
end

function log_step(step, what)
  local line = "step " .. step .. ": " .. what
  loglen = (loglen + #line) % {mod}
end

function sleep(ms)
  waited = (waited + ms) % {mod}
end

for play_index = 0, {loops} - 1 do
"""

LUA_EPILOGUE = """\
end

print((acc + clicks * 7 + keys * 11 + checks * 13 + loglen + waited + cnt) % %MOD%)
"""

# Module-level code, as the ksc script is top-level code: the helpers
# change globals.
PY_PRELUDE = """\
# Benchmark scenario (generated): {ops} operations, {loops} plays.
clicks = 0
keys = 0
checks = 0
loglen = 0
waited = 0
acc = 0
cnt = 0
button = 0
pos = 0
window = 0
text = ""

def get_window(id):
    return 1000 + id % 50


def window_matches(cls, title, want_cls, want_title):
    global checks
    checks = checks + 1
    if cls == want_cls and title == want_title:
        return 1
    return 0


def click_at(x, y, win):
    global clicks, acc
    clicks = clicks + 1
    acc = (acc + x * 3 + y + win % 7) % {mod}
    return x + y


def key_press(code, mods):
    global keys, acc
    keys = keys + 1
    acc = (acc + code * (mods + 1)) % {mod}
    return 0


def send_text(win, s):
    global acc
    acc = (acc + len(s) + win % 3) % {mod}


def log_step(step, what):
    global loglen
    line = "step " + str(step) + ": " + what
    loglen = (loglen + len(line)) % {mod}


def sleep(ms):
    global waited
    waited = (waited + ms) % {mod}


for play_index in range({loops}):
"""

PY_EPILOGUE = """\

print((acc + clicks * 7 + keys * 11 + checks * 13 + loglen + waited + cnt) % %MOD%)
"""

CLASSES = ["Edit", "Button", "ListBox", "SysTreeView32", "Chrome_WidgetWin_1"]
TITLES = ["Document", "Settings", "Untitled - Notepad", "Order form",
          "Report 2024"]
WORDS = ["alpha", "beta", "gamma", "delta", "order", "customer", "total",
         "invoice", "name", "address"]
N_FIELDS = 200   # distinct variables written by the scenario


class Emitter:
    """Collects the same operation in the three languages; ``k`` is the
    ksc text, ``l`` the Lua text and ``p`` the Python text of one line at
    the current depth (Lua's by default)."""

    def __init__(self):
        self.ksc = []
        self.lua = []
        self.py = []
        self.depth = 1

    def line(self, k, l=None, p=None):
        l = k if l is None else l
        p = l if p is None else p
        self.ksc.append("\t" * self.depth + k if k else "")
        self.lua.append("  " * self.depth + l if l else "")
        if p:
            self.py.append("    " * self.depth + p)

    def comment(self, text):
        self.ksc.append("\t" * self.depth + "// " + text)
        self.lua.append("  " * self.depth + "-- " + text)
        self.py.append("    " * self.depth + "# " + text)

    def open(self, k, l, p):
        self.line(k, l, p)
        self.depth += 1

    def close(self, k="}", l="end", p=""):
        self.depth -= 1
        self.line(k, l, p)


def q(s):
    return '"' + s + '"'


def click(e, x, y):
    # The result goes through a variable: click_at() itself changes acc, and
    # ksc reads a variable operand when the operator runs, Lua before the call.
    e.line(f"pos = click_at({x}, {y}, window)")
    e.line(f"acc = (acc + pos) % {MOD}")


def op_click(e, rnd, n):
    cls_i = rnd.randrange(len(CLASSES))
    title_i = rnd.randrange(len(TITLES))
    cls = CLASSES[cls_i]
    num = rnd.randrange(10)
    # Now and then the expected window never shows up: three tries, skip.
    want = num if rnd.random() < 0.8 else num + 1
    x, y = rnd.randrange(1, 1200), rnd.randrange(1, 900)
    e.comment(f"{n}. Left click")
    e.line(f"window = get_window({rnd.randrange(1000)})")
    if rnd.random() < 0.4:
        # The recorder's check-and-retry block (one pass, then break).
        e.comment("ウィンドウをチェック")
        e.line("button = 0")
        e.line("cnt = 0")
        e.open("while (1) {", "while true do", "while True:")
        e.open(f"if (window_matches({q(cls)}, {q(TITLES[title_i] + ' ')} + {num}, "
               f"{q(cls)}, {q(TITLES[title_i] + ' ' + str(want))}) == 1) {{",
               f"if window_matches({q(cls)}, {q(TITLES[title_i] + ' ')} .. {num}, "
               f"{q(cls)}, {q(TITLES[title_i] + ' ' + str(want))}) == 1 then",
               f"if window_matches({q(cls)}, {q(TITLES[title_i] + ' ')} + str({num}), "
               f"{q(cls)}, {q(TITLES[title_i] + ' ' + str(want))}) == 1:")
        e.line("break")
        e.close()
        e.line("sleep(10)")
        e.line("cnt++", "cnt = cnt + 1")
        e.open("if (cnt < 3) {", "if cnt < 3 then", "if cnt < 3:")
        e.line("continue", "goto continue", "continue")
        e.close()
        e.line("button = 5")
        e.line("break")
        e.lua.append("  " * e.depth + "::continue::")   # ksc: continue
        e.close()
        e.open("if (button != 5) {", "if button ~= 5 then", "if button != 5:")
        click(e, x, y)
        e.close()
    else:
        other = rnd.randrange(len(TITLES))
        e.open(f"if (window_matches({q(cls)}, {q(TITLES[title_i])}, "
               f"{q(cls)}, {q(TITLES[other])}) == 1) {{",
               f"if window_matches({q(cls)}, {q(TITLES[title_i])}, "
               f"{q(cls)}, {q(TITLES[other])}) == 1 then",
               f"if window_matches({q(cls)}, {q(TITLES[title_i])}, "
               f"{q(cls)}, {q(TITLES[other])}) == 1:")
        click(e, x, y)
        e.close("} else {", "else", "else:")
        e.depth += 1
        click(e, x // 2, y // 2)
        e.close()
    e.line(f"log_step({n}, \"click at \" + {x} + \",\" + {y})",
           f"log_step({n}, \"click at \" .. {x} .. \",\" .. {y})",
           f"log_step({n}, \"click at \" + str({x}) + \",\" + str({y}))")


def op_key(e, rnd, n):
    code = rnd.choice([9, 13, 27, 32, 37, 38, 39, 40] + list(range(65, 91)))
    mods = rnd.randrange(4)
    e.comment(f"{n}. Key input")
    e.line(f"window = get_window({rnd.randrange(1000)})")
    if mods:
        e.line(f"key_press(17, {mods})")
    e.line(f"key_press({code}, {mods})")
    if mods:
        e.line(f"key_press(17, 0)")


def op_text(e, rnd, n):
    f = rnd.randrange(N_FIELDS)
    w1, w2 = rnd.choice(WORDS), rnd.choice(WORDS)
    e.comment(f"{n}. Send text")
    e.line(f"field_{f} = \"{w1}\" + \" \" + \"{w2}\" + {n % 100}",
           f"field_{f} = \"{w1}\" .. \" \" .. \"{w2}\" .. {n % 100}",
           f"field_{f} = \"{w1}\" + \" \" + \"{w2}\" + str({n % 100})")
    e.line(f"text = field_{f} + \"/\" + play_index",
           f"text = field_{f} .. \"/\" .. play_index",
           f"text = field_{f} + \"/\" + str(play_index)")
    e.line("send_text(window, text)")


def op_calc(e, rnd, n):
    f = rnd.randrange(N_FIELDS)
    a, b = rnd.randrange(1, 100), rnd.randrange(2, 9)
    e.comment(f"{n}. Counter")
    e.line(f"cnt = (cnt + {a}) % {MOD}")
    e.open(f"if (cnt % {b} == 0) {{", f"if cnt % {b} == 0 then", f"if cnt % {b} == 0:")
    e.line(f"value_{f} = cnt * 2 + {a}")
    e.close("} else {", "else", "else:")
    e.depth += 1
    e.line(f"value_{f} = cnt + {b}")
    e.close()
    e.line(f"acc = (acc + value_{f}) % {MOD}")


def op_wait(e, rnd, n):
    e.comment(f"{n}. Wait")
    e.line(f"sleep({rnd.choice([10, 50, 100, 250, 500])})")


OPS = [(op_click, 4), (op_key, 3), (op_text, 2), (op_calc, 2), (op_wait, 1)]


def generate(lines, loops, seed):
    rnd = random.Random(seed)
    table = [op for op, w in OPS for _ in range(w)]
    e = Emitter()
    n = 0
    while len(e.ksc) < lines:
        n += 1
        rnd.choice(table)(e, rnd, n)
        e.line("", "")
    # Variables first assigned inside an if block would be local to that
    # block in ksc, so the scenario sets all of them up front.
    fields = "".join(f"field_{i} = \"\"\nvalue_{i} = 0\n"
                     for i in range(N_FIELDS)) + "\n"
    ksc = (KSC_PRELUDE.format(ops=n, loops=loops, mod=MOD).replace(
               "\nfunction", fields + "function", 1) + "\n".join(e.ksc)
           + "\n" + KSC_EPILOGUE.replace("%MOD%", str(MOD)))
    lua = (LUA_PRELUDE.format(ops=n, loops=loops, mod=MOD).replace(
               "\nfunction", fields + "function", 1) + "\n".join(e.lua)
           + "\n" + LUA_EPILOGUE.replace("%MOD%", str(MOD)))
    py = (PY_PRELUDE.format(ops=n, loops=loops, mod=MOD).replace(
              "\ndef", fields + "def", 1) + "\n".join(e.py)
          + "\n" + PY_EPILOGUE.replace("%MOD%", str(MOD)))
    return ksc, lua, py


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--lines", type=int, default=20000,
                    help="approximate length of the play loop body")
    ap.add_argument("--loops", type=int, default=10, help="number of plays")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("out_dir")
    args = ap.parse_args()
    ksc, lua, py = generate(args.lines, args.loops, args.seed)
    os.makedirs(args.out_dir, exist_ok=True)
    # The recorder writes CR LF line ends; keep that for the ksc side.
    with open(os.path.join(args.out_dir, "scenario.ksc"), "w",
              encoding="utf-8", newline="\r\n") as f:
        f.write(ksc)
    with open(os.path.join(args.out_dir, "scenario.lua"), "w",
              encoding="utf-8", newline="\n") as f:
        f.write(lua)
    with open(os.path.join(args.out_dir, "scenario.py"), "w",
              encoding="utf-8", newline="\n") as f:
        f.write(py)


if __name__ == "__main__":
    main()
