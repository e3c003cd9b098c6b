# Tight integer loop: arithmetic on two variables, no calls.
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 3000000
    s = 0
    for i in range(n):
        s = (s + i * 7 + i % 13) % 1000003
    print(s)


main()
