# String building: short pieces and numbers appended to a buffer that is
# flushed every 100 items.
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
    total = 0
    buf = ""
    for i in range(n):
        buf = buf + "item" + str(i) + ";"
        if i % 100 == 99:
            total = (total + len(buf) * 31 + ord(buf[5])) % 1000003
            buf = ""
    total = (total + len(buf)) % 1000003
    print(total)


main()
