#!/usr/bin/env python3
"""Times kpjcheck as a render-farm node runs it before a submission: many small projects in
one folder, `kpjcheck -j JOBS FOLDER`, against one `xmllint --stream --noout` over the same
files (a streaming parse of every byte on one core, the yardstick a checker using more cores
should beat).

Both run as whole processes with their output sent to /dev/null, in alternating pairs (A B,
then B A), so that both see the same machine; each pair gives one ratio of the two wall times
(a monotonic clock). The result is the median of those ratios with its quartiles, the median
times and the peak resident memory of each side (GNU time's %M).

Usage: bench/farm.py [--projects 1000] [--items 200] [--jobs 2] [--pairs 15] [--build DIR]
"""
import argparse
import glob
import os
import platform
import statistics
import sys
import tempfile
import time

from compare import built_checker, paired, quartiles
from generate_project import FOOTER, HEADER, write_many_layers, write_single_layer

SHAPES = ["ascending", "holes", "overlap", "layers"]


def write_projects(folder, count, items):
    """Projects of every shape in turn, so that clean and faulty reports both occur."""
    for number in range(count):
        shape = SHAPES[number % len(SHAPES)]
        with open(os.path.join(folder, f"shot-{number:04d}.kpj"), "w", encoding="ascii",
                  newline="\n") as out:
            out.write(HEADER)
            if shape == "layers":
                write_many_layers(out, items)
            else:
                write_single_layer(out, shape, items)
            out.write(FOOTER)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--projects", type=int, default=1000)
    parser.add_argument("--items", type=int, default=200)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--pairs", type=int, default=15)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    args = parser.parse_args()
    checker = built_checker(args)

    with tempfile.TemporaryDirectory() as folder:
        write_projects(folder, args.projects, args.items)
        files = sorted(glob.glob(os.path.join(folder, "*.kpj")))
        megabytes = sum(os.path.getsize(f) for f in files) / 1e6
        ratios, ours, stream = paired([checker, "-j", str(args.jobs), folder],
                                      ["xmllint", "--stream", "--noout", *files], args.pairs)
    q1, median, q3 = quartiles(ratios)
    print(f"{platform.node()}: {os.cpu_count()} cores, {time.strftime('%Y-%m-%d')}, "
          f"{args.pairs} pairs")
    print("| projects × items | MB in all | kpjcheck -j s | stream s | ÷ stream (median) "
          "| ÷ stream (quartiles) | kpjcheck MiB | stream MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    print(f"| {args.projects:,} × {args.items} (-j {args.jobs}) | {megabytes:.1f} "
          f"| {statistics.median(r[0] for r in ours):.3f} "
          f"| {statistics.median(r[0] for r in stream):.3f} "
          f"| {median:.2f} | {q1:.2f}–{q3:.2f} "
          f"| {max(r[1] for r in ours) / 1024:.1f} | {max(r[1] for r in stream) / 1024:.1f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
