#!/usr/bin/env python3
"""Writes a Kestrova project file of a given size and shape, for the benchmarks.

Shapes (every item is one second long unless the shape says otherwise):
  ascending  touching items in time order
  reversed   touching items in reverse time order (the literal scan's worst case)
  holes      a one-second hole between every two items
  overlap    every item overlaps the next by half
  layers     items spread over many layers, every fifth layer scrapped
"""
import argparse
import sys

HEADER = '<?xml version="1.0" standalone="yes" ?>\n<kestrovadocument2>\n <multilayer>\n'
FOOTER = ' </multilayer>\n</kestrovadocument2>\n'
KINDS = ("layeritem_video", "layeritem_bitmap", "layeritem_effect")


def time_text(ms):
    hours, rest = divmod(ms, 3_600_000)
    minutes, rest = divmod(rest, 60_000)
    seconds, millis = divmod(rest, 1000)
    return f"{hours}h {minutes:02d}m {seconds:02d}s {millis:03d}"


def item(kind, start, end):
    return (f"   <{kind}>\n    <file>clip.mp4</file>\n"
            f"    <starttime>{time_text(start)}</starttime>\n"
            f"    <endtime>{time_text(end)}</endtime>\n   </{kind}>\n")


def spans(shape, count):
    if shape == "ascending":
        return [(i * 1000, i * 1000 + 1000) for i in range(count)]
    if shape == "reversed":
        return [(i * 1000, i * 1000 + 1000) for i in reversed(range(count))]
    if shape == "holes":
        return [(i * 2000, i * 2000 + 1000) for i in range(count)]
    if shape == "overlap":
        return [(i * 500, i * 500 + 1000) for i in range(count)]
    raise ValueError(shape)


def write_single_layer(out, shape, count):
    out.write('  <layer>\n   <name>Video</name>\n   <scrap>no</scrap>\n')
    for i, (start, end) in enumerate(spans(shape, count)):
        out.write(item(KINDS[i % 3], start, end))
    out.write('  </layer>\n')


def write_many_layers(out, count, per_layer=20):
    layers = max(1, count // per_layer)
    for layer in range(layers):
        scrap = "yes" if layer % 5 == 4 else "no"
        out.write(f'  <layer>\n   <name>Layer {layer + 1}</name>\n   <scrap>{scrap}</scrap>\n')
        for i in range(per_layer):
            start = (i * layers + layer) * 1000
            out.write(item(KINDS[i % 3], start, start + 1000))
        out.write('  </layer>\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("shape", choices=["ascending", "reversed", "holes", "overlap", "layers"])
    parser.add_argument("items", type=int)
    parser.add_argument("output")
    args = parser.parse_args()
    with open(args.output, "w", encoding="ascii", newline="\n") as out:
        out.write(HEADER)
        if args.shape == "layers":
            write_many_layers(out, args.items)
        else:
            write_single_layer(out, args.shape, args.items)
        out.write(FOOTER)
    return 0


if __name__ == "__main__":
    sys.exit(main())
