# Function calls with several arguments: a four-parameter helper and a
# three-parameter one, both called on every pass.
import sys


def mix(a, b, c, d):
    return (a * 31 + b * 7 + c * 3 + d) % 1000003


def pick(x, y, z):
    if x > y:
        return x - y + z
    return y - x + z


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    s = 0
    for i in range(n):
        s = mix(s, i, i % 7, pick(i % 11, i % 13, 1))
    print(s)


main()
