# Keyed arrays: insert n elements under string keys, then look them up in
# a scattered order.
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 20000
    a = {}
    for i in range(n):
        a["key" + str(i)] = i % 997
    s = 0
    for i in range(n):
        s = (s + a["key" + str((i * 7919) % n)]) % 1000003
    print(s)


main()
