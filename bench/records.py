# String-keyed arrays as records: each pass builds a record with literal
# keys, reads and updates its fields by key, and adds it up by category.
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
    names = ["alpha", "beta", "gamma", "delta", "omega"]
    sums = {}
    for k in range(5):
        sums[names[k]] = 0
    total = 0
    for i in range(n):
        r = {"id": i, "qty": i % 7 + 1, "price": i % 100, "cat": names[i % 5]}
        r["total"] = r["qty"] * r["price"]
        if r["total"] > 300:
            r["total"] = r["total"] - 100
        sums[r["cat"]] = (sums[r["cat"]] + r["total"]) % 1000003
        total = (total + r["id"] % 10) % 1000003
    for k in range(5):
        total = (total + sums[names[k]] * (k + 1)) % 1000003
    print(total)


main()
