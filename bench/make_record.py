#!/usr/bin/env python3
"""Writes a maximum record for the benchmarks: three component files in the
CDMG-type layout with 33000 samples each, eight F10.5 values to a record.  Every value
stays below 100 in magnitude, so a blank always separates two values.

    make_record.py SEED DIR

The values are pseudo-random accelerations drawn from SEED, so any seed
gives a record of the same size and shape."""
import os
import random
import sys

COUNT = 33000
NAMES = ["SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"]


def component(rng, name):
    lines = [f"Benchmark record {name}  (generated, not a real motion)"]
    lines += [f"  header record {n:2d}" for n in range(2, 16)]
    lines.append(f"  {COUNT} points of accel data equally spaced at .005 sec")
    lines.append("   0.005 sec interval, accel in cm/sec/sec")
    lines += [f"  header record {n:2d}" for n in range(18, 46)]
    lines.append(f"Accel data (cm/sec/sec), {COUNT} points, 8 per record")
    values = [rng.uniform(-99.9, 99.9) * rng.random() ** 2 for _ in range(COUNT)]
    for k in range(0, COUNT, 8):
        lines.append("".join(f"{v:10.5f}" for v in values[k:k + 8]))
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_record.py SEED DIR")
    rng = random.Random(int(sys.argv[1]))
    os.makedirs(sys.argv[2], exist_ok=True)
    for name in NAMES:
        with open(os.path.join(sys.argv[2], name), "w", newline="\n") as out:
            out.write(component(rng, name))


if __name__ == "__main__":
    main()
