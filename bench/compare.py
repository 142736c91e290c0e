#!/usr/bin/env python3
"""Times kpjcheck against `xmllint --stream --noout` on generated projects, as a user would
run them: whole processes, the report written to /dev/null.

A streaming parse of the same bytes is the floor no checker can go below. The two programs run
in turn, A B A B, so that both see the same machine; each pair gives one ratio of the two wall
times (a monotonic clock), and a row gives the median of those ratios with its quartiles, the
median times and the peak resident memory of each side (GNU time's %M, so that the script's own
memory is not counted).

Usage: bench/compare.py [--pairs N] [--sizes 100000,1000000] [--shapes reversed,...]
                        [--build DIR]
"""
import argparse
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SHAPES = ["ascending", "reversed", "holes", "overlap", "layers"]


def run_once(command):
    """Wall time in seconds and peak resident memory in KiB of one run of command."""
    with tempfile.NamedTemporaryFile("r") as peak:
        started = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name, *command],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        elapsed = time.perf_counter() - started
        if status not in (0, 1):
            sys.exit(f"{command[0]} failed with status {status} on {command[-1]}")
        return elapsed, int(peak.read().split()[-1])


def quartiles(values):
    q1, median, q3 = statistics.quantiles(values, n=4, method="inclusive")
    return q1, median, q3


def paired(ours, theirs, pairs):
    """Runs the two commands in alternating pairs; gives the ratios and both sides' samples."""
    run_once(ours)  # the file into the page cache, for both
    ratios, our_runs, their_runs = [], [], []
    for pair in range(pairs):
        first, second = (ours, theirs) if pair % 2 == 0 else (theirs, ours)
        a, b = run_once(first), run_once(second)
        mine, other = (a, b) if first is ours else (b, a)
        our_runs.append(mine)
        their_runs.append(other)
        ratios.append(mine[0] / other[0])
    return ratios, our_runs, their_runs


def built_checker(args):
    """The kpjcheck of the build folder given, once the arguments are known to allow quartiles."""
    if args.pairs < 3:
        sys.exit("--pairs: at least 3, for quartiles")
    checker = os.path.abspath(os.path.join(args.build, "kpjcheck"))
    if not os.access(checker, os.X_OK):
        sys.exit(f"{checker} not found: build the project first")
    return checker


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--pairs", type=int, default=9)
    parser.add_argument("--sizes", default="100000,1000000")
    parser.add_argument("--shapes", default=",".join(SHAPES))
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    args = parser.parse_args()
    checker = built_checker(args)

    print(f"{platform.node()}: {os.cpu_count()} cores, {time.strftime('%Y-%m-%d')}, "
          f"{args.pairs} pairs per row")
    print("| shape | items | file MB | kpjcheck s | stream s | ÷ stream (median) "
          "| ÷ stream (quartiles) | kpjcheck MiB | stream MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as folder:
        for size in (int(s) for s in args.sizes.split(",")):
            for shape in args.shapes.split(","):
                project = os.path.join(folder, f"{shape}-{size}.kpj")
                subprocess.run([sys.executable, os.path.join(HERE, "generate_project.py"),
                                shape, str(size), project], check=True)
                ratios, ours, stream = paired([checker, project],
                                              ["xmllint", "--stream", "--noout", project],
                                              args.pairs)
                q1, median, q3 = quartiles(ratios)
                megabytes = os.path.getsize(project) / 1e6
                print(f"| {shape} | {size:,} | {megabytes:.1f} "
                      f"| {statistics.median(r[0] for r in ours):.3f} "
                      f"| {statistics.median(r[0] for r in stream):.3f} "
                      f"| {median:.2f} | {q1:.2f}–{q3:.2f} "
                      f"| {max(r[1] for r in ours) / 1024:.1f} "
                      f"| {max(r[1] for r in stream) / 1024:.1f} |", flush=True)
                os.remove(project)
    return 0


if __name__ == "__main__":
    sys.exit(main())
