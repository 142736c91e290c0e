#!/usr/bin/env python3
"""Times build/kpjcheck against `xmllint --stream --noout` and `xmllint --noout` on generated
projects.

A streaming parse of the same bytes is the floor no checker can go below; a parse into a whole
tree is the usual way. Each row gives our median wall time and peak resident memory and their
ratios to both (all measured here, in the same run).
Usage: bench/compare.py [--runs N] [--sizes 1000,10000,...] [--shapes reversed,...] [--build DIR]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SHAPES = ["ascending", "reversed", "holes", "overlap", "layers"]


def measure(command):
    """Wall time in seconds and peak resident memory in KiB of one run of command."""
    # GNU time reports the command's own peak; a child forked from this script would carry the
    # script's peak over into its own through the exec.
    with tempfile.NamedTemporaryFile("r") as peak:
        started = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name, *command],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        elapsed = time.perf_counter() - started
        if status not in (0, 1):
            sys.exit(f"{command[0]} failed with status {status} on {command[-1]}")
        return elapsed, int(peak.read().split()[-1])


def median_of(command, runs):
    samples = [measure(command) for _ in range(runs)]
    return statistics.median(s[0] for s in samples), max(s[1] for s in samples)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1000,10000,100000,1000000")
    parser.add_argument("--shapes", default=",".join(SHAPES))
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    args = parser.parse_args()
    checker = os.path.abspath(os.path.join(args.build, "kpjcheck"))
    if not os.access(checker, os.X_OK):
        sys.exit(f"{checker} not found: build the project first")

    print("| shape | items | file MB | kpjcheck s | stream s | tree s | ÷ stream | ÷ tree "
          "| kpjcheck MiB | stream MiB | tree MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as folder:
        for size in (int(s) for s in args.sizes.split(",")):
            for shape in args.shapes.split(","):
                project = os.path.join(folder, f"{shape}-{size}.kpj")
                subprocess.run([sys.executable, os.path.join(HERE, "generate_project.py"),
                                shape, str(size), project], check=True)
                runs = args.runs if size < 1000000 else max(1, min(args.runs, 3))
                ours, our_memory = median_of([checker, project], runs)
                stream, stream_memory = median_of(["xmllint", "--stream", "--noout", project],
                                                  runs)
                # A tree of a million items takes xmllint a minute and gigabytes: left out.
                tree = (median_of(["xmllint", "--noout", project], runs) if size < 1000000
                        else None)
                megabytes = os.path.getsize(project) / 1e6
                tree_cells = (f"{tree[0]:.3f}", f"{ours / tree[0]:.2f}", f"{tree[1] / 1024:.1f}"
                              ) if tree else ("—", "—", "—")
                print(f"| {shape} | {size:,} | {megabytes:.1f} | {ours:.3f} | {stream:.3f} "
                      f"| {tree_cells[0]} | {ours / stream:.2f} | {tree_cells[1]} "
                      f"| {our_memory / 1024:.1f} | {stream_memory / 1024:.1f} "
                      f"| {tree_cells[2]} |", flush=True)
                os.remove(project)
    return 0


if __name__ == "__main__":
    sys.exit(main())
