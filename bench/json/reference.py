"""Reference timing: Python's json module parsing and writing the same
document. Prints the best seconds of json.loads and json.dumps."""
import json
import sys
import time


def best(fn, reps):
    t = float("inf")
    for _ in range(reps):
        t0 = time.perf_counter()
        out = fn()
        t = min(t, time.perf_counter() - t0)
    return t, out


def main():
    path, reps = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 3
    with open(path, encoding="utf-8") as f:
        text = f.read()
    t_load, doc = best(lambda: json.loads(text), reps)
    t_dump, _ = best(lambda: json.dumps(doc, ensure_ascii=False), reps)
    print("%.4f %.4f" % (t_load, t_dump))


main()
