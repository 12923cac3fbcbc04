#!/usr/bin/env python3
"""Writes a large text data file for the load figures.

    make_data_file.py meter ROWS OUT     rows as a meter records them (few distinct texts)
    make_data_file.py distinct ROWS OUT  every text of every row different, 20 characters each

The XML form of the same table comes from `dmm table convert OUT OUT.xml`.
"""
import sys


def meter_rows(rows):
    for i in range(1, rows + 1):
        count = (i * 7919) % 40000 - 20000
        value = "%d.%04d" % (int(count / 10000), abs(count) % 10000)
        if count < 0 and value[0] != "-":
            value = "-" + value
        fn = "DC" if i % 1000 < 500 else "AC"
        judge = "Fail" if count > 6000 or count < -6000 else "pass"
        t = "%02d:%02d:%02d" % (i // 3600 % 24, i // 60 % 60, i % 60)
        yield "%d\t%s\t%s\t%s\tV\t%s\r\n" % (i, t, fn, value, judge)


def distinct_rows(rows):
    for i in range(1, rows + 1):
        texts = ["%c%019d" % ("abcde"[k], i) for k in range(5)]
        yield "%d\t%s\r\n" % (i, "\t".join(texts))


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("meter", "distinct"):
        sys.exit(__doc__)
    kind, rows, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    gen = meter_rows if kind == "meter" else distinct_rows
    with open(out, "w", newline="") as f:
        f.write("No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n")
        for line in gen(rows):
            f.write(line)


if __name__ == "__main__":
    main()
