# Arrays by position: fill a[0..n-1], then sum the elements by position.
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
    a = []
    for i in range(n):
        a.append((i * 7) % 1000)
    s = 0
    for i in range(n):
        s = (s + a[i] * (i % 5 + 1)) % 1000003
    print(s)


main()
