# Sorting: n pseudo-random integers sorted in place by a recursive
# quicksort over positions (the array passed by reference), then checked.
import sys


def qsort(a, lo, hi):
    while lo < hi:
        p = a[(lo + hi) // 2]
        i, j = lo, hi
        while i <= j:
            while a[i] < p:
                i += 1
            while a[j] > p:
                j -= 1
            if i <= j:
                a[i], a[j] = a[j], a[i]
                i += 1
                j -= 1
        if j - lo < hi - i:
            qsort(a, lo, j)
            lo = i
        else:
            qsort(a, i, hi)
            hi = j


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 20000
    a = []
    x = 1
    for k in range(n):
        x = (x * 75 + 74) % 65537
        a.append(x)
    qsort(a, 0, n - 1)
    s = 0
    for k in range(n):
        if k > 0 and a[k - 1] > a[k]:
            s = -1
            break
        s = (s + a[k] * (k % 7 + 1)) % 1000003
    print(s)


main()
