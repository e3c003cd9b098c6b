# 2-D grid: a 100 x 100 grid of integers as an array of rows, smoothed in
# place pass after pass from each cell's four neighbours.
import sys


def main():
    passes = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    w, h = 100, 100
    g = []
    for y in range(h):
        row = []
        for x in range(w):
            row.append((x * 7 + y * 13) % 100)
        g.append(row)
    for p in range(passes):
        for y in range(1, h - 1):
            for x in range(1, w - 1):
                g[y][x] = (g[y - 1][x] + g[y + 1][x] + g[y][x - 1] + g[y][x + 1] + p) % 1000
    s = 0
    for y in range(h):
        for x in range(w):
            s = (s + g[y][x] * (x + 1)) % 1000003
    print(s)


main()
