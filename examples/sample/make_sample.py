#!/usr/bin/env python3
"""Writes the bundled synthetic sample record: three component files in the
CDMG-type layout (title, 14 header records, count, interval, 28 header
records, heading, eight samples to a record).  The motion is made up: a
few damped sine bursts under a build-up and decay envelope, with a fixed
random seed so that the files never change."""
import math
import random

COUNT = 4000
INTERVAL = 0.01
COMPONENTS = [("SCSe-N11E.txt", "N11E", 1.00), ("SCSe-N79W.txt", "N79W", 0.85),
              ("SCSe-UP.txt", "UP", 0.45)]


def motion(rng, scale):
    bursts = [(rng.uniform(0.8, 9.0), rng.uniform(1.5, 3.5), rng.uniform(0, 2 * math.pi),
               rng.uniform(0.4, 1.0)) for _ in range(12)]
    values = []
    for i in range(COUNT):
        t = i * INTERVAL
        envelope = (t / 4.0) ** 2 if t < 4.0 else math.exp(-0.25 * (t - 4.0))
        a = sum(w * math.sin(2 * math.pi * f * t + p) * math.exp(-0.05 * d * t)
                for f, d, p, w in bursts)
        values.append(round(scale * 48.0 * envelope * a, 3))
    return values


def header(label, number):
    return f"  Synthetic header record {number:2d} of component {label}: no real data"


def main():
    rng = random.Random(20261209)
    for name, label, scale in COMPONENTS:
        values = motion(rng, scale)
        lines = [f"Synthetic sample record  Station 0000  Component {label}  (made up)"]
        lines += [header(label, n) for n in range(2, 16)]
        lines.append(f"   {COUNT} points of accel data equally spaced at .010 sec")
        lines.append(f"   {INTERVAL:.3f} sec interval, accel in cm/sec/sec")
        lines += [header(label, n) for n in range(18, 46)]
        lines.append(f"Accel data (cm/sec/sec), {COUNT} points, 8 per record")
        for k in range(0, COUNT, 8):
            lines.append("".join(f"{v:10.3f}" for v in values[k:k + 8]))
        with open(name, "w", newline="\n") as out:
            out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
