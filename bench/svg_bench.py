#!/usr/bin/env python3
"""Times `kpjcheck --svg` against the text check on the same project, and writes a sample film.

  python3 bench/svg_bench.py --build build [--items 100000] [--runs 5]
      For every shape of bench/generate_project.py: the median processor time of
      `kpjcheck FILE` (report only) and of `kpjcheck --svg OUT.svg FILE` (report and picture),
      their ratio, and the picture's size.
  python3 bench/svg_bench.py --film OUT.kpj
      Writes a two-hour film of eight layers (video, pictures, titles, a scrapped layer, music,
      dialogue and colour filters, with a few gaps and faulty items) for looking at the picture.
"""
import argparse
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate_project  # noqa: E402

SHAPES = ("ascending", "reversed", "holes", "overlap", "layers")
FILM_MS = 2 * 3_600_000


def clips(rng, kind, shortest_s, longest_s, hole_chance=0.0, until=FILM_MS, start=0):
    """Back-to-back items of random length, now and then with a hole of up to 4 s before one."""
    items = []
    at = start
    while at < until:
        if rng.random() < hole_chance:
            at += rng.randint(500, 4000)
        end = min(until, at + rng.randint(shortest_s * 1000, longest_s * 1000))
        items.append((kind, at, end))
        at = end
    return items


def sprinkled(rng, kind, count, shortest_s, longest_s):
    items = []
    for _ in range(count):
        start = rng.randint(0, FILM_MS - longest_s * 1000)
        items.append((kind, start, start + rng.randint(shortest_s * 1000, longest_s * 1000)))
    return sorted(items, key=lambda item: item[1])


def write_film(path):
    rng = random.Random(2026)
    video, bitmap, effect = "layeritem_video", "layeritem_bitmap", "layeritem_effect"
    audio, filt = "layeritem_audio", "layeritem_filter"
    camera_a = clips(rng, video, 4, 40, hole_chance=0.04)
    camera_a.insert(40, (video, camera_a[40][1], camera_a[40][1]))  # zero length
    camera_a.insert(90, (video, camera_a[90][2], camera_a[90][1]))  # negative length
    layers = [
        ("Camera A", "no", camera_a),
        ("Camera B", "no", sprinkled(rng, video, 60, 5, 30)),
        ("Stills", "no", sprinkled(rng, bitmap, 40, 3, 8)),
        ("Titles & <effects>", "no", sprinkled(rng, effect, 30, 2, 6)),
        ("Old cut", "yes", clips(rng, video, 20, 90, hole_chance=0.2)),
        ("Music", "no", clips(rng, audio, 120, 300, until=FILM_MS + 30_000)),
        ("Dialogue", "no", sprinkled(rng, audio, 200, 2, 15)),
        ("Colour grade", "no", sprinkled(rng, filt, 12, 60, 600)),
    ]
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write('<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>\n')
        out.write("<kestrovadocument2>\n <multilayer>\n")
        for name, scrap, items in layers:
            escaped = name.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            out.write(f"  <layer>\n   <name>{escaped}</name>\n   <scrap>{scrap}</scrap>\n")
            for kind, start, end in items:
                out.write(generate_project.item(kind, start, end))
            out.write("  </layer>\n")
        out.write(generate_project.FOOTER)


def median_cpu_seconds(command, runs):
    """Median processor time (user and system) of the command: steadier than wall time on a
    machine shared with other work."""
    times = []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        times.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    return statistics.median(times)


def bench(build, items, runs):
    kpjcheck = os.path.join(build, "kpjcheck")
    print("| shape | items | text check, CPU s | with --svg, CPU s | time ratio | picture KB |")
    print("|---|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory(prefix="kestrova-svg-bench-") as folder:
        project = os.path.join(folder, "project.kpj")
        picture = os.path.join(folder, "timeline.svg")
        for shape in SHAPES:
            subprocess.run([sys.executable, generate_project.__file__, shape, str(items), project],
                           check=True)
            text = median_cpu_seconds([kpjcheck, project], runs)
            svg = median_cpu_seconds([kpjcheck, "--svg", picture, project], runs)
            size_kb = os.path.getsize(picture) / 1024
            print(f"| {shape} | {items:,} | {text:.3f} | {svg:.3f} | {svg / text:.2f} | "
                  f"{size_kb:,.0f} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="build folder holding kpjcheck")
    parser.add_argument("--items", type=int, default=100_000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--film", metavar="OUT.kpj", help="write the sample film and stop")
    args = parser.parse_args()
    if args.film:
        write_film(args.film)
        return 0
    bench(args.build, args.items, args.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
