#!/usr/bin/env python3
"""The line of every layer, warning and gap that kpjcheck names, against an independent count:
Python's expat reads each project file itself and gives the line of every start tag.

  kpjcheck_lines_test.py --kpjcheck PATH PROJECT_FOLDER...

Layers must carry the lines of the <layer> tags in order. Warnings are worked out again here
from the items' own time texts (where every time is a plain one) and must name the same items;
a gap must name an item of a live layer whose end (or, for an item that covers nothing, start)
begins it, whose start ends it, or whose end is the timeline's end. The gnu lines must carry the same lines as the JSON.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import unittest
import xml.parsers.expat

from fixture_projects import fixture_projects

SETTINGS = argparse.Namespace()
ITEMS = {"layeritem_video", "layeritem_bitmap", "layeritem_effect", "layeritem_audio",
         "layeritem_filter"}
VISUAL = {"layeritem_video", "layeritem_bitmap", "layeritem_effect"}
TIME = re.compile(r"^(\d+)h (\d\d)m (\d\d)s (\d\d\d)$")


class Item:
    def __init__(self, kind, line, layer):
        self.kind, self.line, self.layer = kind, line, layer
        self.texts = {}


def read_project(path):
    """The layers' and items' start-tag lines as expat counts them, or None when the file is
    not well-formed."""
    parser = xml.parsers.expat.ParserCreate()
    stack, layers, items, scrap = [], [], [], {}
    state = {"multilayer": False, "text": None}

    def start(name, _attributes):
        stack.append(name)
        path = tuple(stack)
        if path == ("kestrovadocument2", "multilayer") and not state["multilayer"]:
            state["multilayer"] = "open"
        in_multilayer = state["multilayer"] == "open"
        if in_multilayer and len(stack) == 3 and name == "layer":
            layers.append(parser.CurrentLineNumber)
        elif in_multilayer and len(stack) == 4 and stack[2] == "layer" and name in ITEMS:
            items.append(Item(name, parser.CurrentLineNumber, len(layers)))
        elif in_multilayer and len(stack) == 4 and name == "scrap":
            state["text"] = ["scrap", ""]
        elif (in_multilayer and len(stack) == 5 and stack[3] in ITEMS
              and name in ("starttime", "endtime")):
            state["text"] = [name, ""]

    def end(_name):
        if state["text"] and len(stack) in (4, 5):
            name, text = state["text"]
            if name == "scrap":
                scrap[len(layers)] = text.strip(" \t\r\n") == "yes"
            else:
                items[-1].texts[name] = text.strip(" \t\r\n")
            state["text"] = None
        if len(stack) == 2 and state["multilayer"] == "open":
            state["multilayer"] = "closed"
        stack.pop()

    def text(data):
        if state["text"]:
            state["text"][1] += data

    parser.StartElementHandler, parser.EndElementHandler = start, end
    parser.CharacterDataHandler = text
    try:
        with open(path, "rb") as project:
            parser.ParseFile(project)
    except xml.parsers.expat.ExpatError:
        return None
    return layers, items, scrap


def millis(text):
    match = TIME.match(text)
    if not match:
        return None
    hours, minutes, seconds, ms = (int(group) for group in match.groups())
    value = ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms
    return value if minutes < 60 and seconds < 60 and value < 2**31 else None


def judged_times(items):
    """Each item's start and end as the survey judges them (a missing time is the one read
    before it), or None when a time is not a plain one."""
    start = end = 0
    judged = []
    for item in items:
        for name in ("starttime", "endtime"):
            if name in item.texts and millis(item.texts[name]) is None:
                return None
        start = millis(item.texts["starttime"]) if "starttime" in item.texts else start
        end = millis(item.texts["endtime"]) if "endtime" in item.texts else end
        judged.append((item, start, end))
    return judged


def projects():
    return fixture_projects(SETTINGS.folders)


def run(arguments):
    return subprocess.run([SETTINGS.kpjcheck] + arguments, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=120, check=False).stdout


class LinesAgainstExpat(unittest.TestCase):
    def test_every_layer_warning_and_gap_names_its_line(self):
        names = projects()
        reports = [json.loads(line) for line in run(["--format", "json"] + names).splitlines()]
        self.assertEqual(len(reports), len(names))
        checked = 0
        for path, report in zip(names, reports):
            counted = read_project(path)
            if counted is None:
                continue
            with self.subTest(project=os.path.basename(path)):
                self.check_project(report, *counted)
                checked += 1
        self.assertGreater(checked, 20)

    def check_project(self, report, layers, items, scrap):
        self.assertEqual([layer["line"] for layer in report["layers"]],
                         layers[:len(report["layers"])])
        judged = judged_times(items)
        if judged is not None and report["status"] in ("no-errors", "errors-found"):
            expected = [(item.layer, item.line) for item, start, end in judged if start >= end]
            self.assertEqual([(w["layer"], w["line"]) for w in report["warnings"]], expected)
        for warning in report["warnings"]:
            self.assertIn((warning["layer"], warning["line"]),
                          [(item.layer, item.line) for item in items])
        live = {item.line: (start, end) for item, start, end in (judged or [])
                if not scrap.get(item.layer)}
        for gap in report["gaps"]:
            self.assertIn(gap["line"], [item.line for item in items
                                        if not scrap.get(item.layer)])
            if gap["line"] in live:
                start, end = live[gap["line"]]
                self.assertTrue(gap["fromMs"] in (start, end) or start == gap["toMs"]
                                or end == report["timelineEndMs"], gap)

    def test_gnu_lines_carry_the_json_lines_and_the_reports_wording(self):
        names = projects()
        reports = [json.loads(line) for line in run(["--json"] + names).splitlines()]
        expected = []
        for report in reports:
            wording = [line.lstrip("\t") for line in report["report"].split("\r\n")]
            for finding in report["warnings"] + report["gaps"]:
                expected.append(("%s:%d" % (report["file"], finding["line"]), wording))
        gnu = [line.split(": warning: ", 1)
               for line in run(["--format", "gnu"] + names).decode().splitlines()
               if ": warning: " in line]
        self.assertEqual([place for place, _ in gnu], [place for place, _ in expected])
        for (_, message), (place, wording) in zip(gnu, expected):
            self.assertIn(message, wording, place)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kpjcheck", required=True)
    parser.add_argument("folders", nargs="+")
    global SETTINGS
    SETTINGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
