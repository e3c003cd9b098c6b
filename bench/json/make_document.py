"""Writes a JSON document of about the given size: an object holding an array
of records with strings (escapes and Japanese text included), integers,
reals, booleans, nulls and small nested arrays. Deterministic for a size."""
import json
import sys


def record(i):
    return {
        "id": i,
        "name": "user %05d" % i,
        "score": (i % 1000) / 8 + 0.5,
        "active": i % 3 == 0,
        "parent": None if i % 5 else i // 5,
        "tags": ["t%d" % (i % 7), "t%d" % (i % 11)],
        "note": 'path "C:\\\\data\\\\%d" \u3042\u3044\u3046\ttab' % i,
    }


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_document.py MEGABYTES OUT")
    target = int(float(sys.argv[1]) * 1024 * 1024)
    items, size, i = [], 0, 0
    while size < target:
        r = record(i)
        size += len(json.dumps(r, ensure_ascii=False).encode("utf-8")) + 2
        items.append(r)
        i += 1
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        json.dump({"count": len(items), "items": items}, f, ensure_ascii=False, indent=1)


main()
