#!/usr/bin/env python3
"""kpjcheck as a process: its JSON follows doc/kpjcheck-report.schema.json, its pictures are
SVG that rsvg-convert renders, output that cannot be written (a full disk, a closed standard
output, a pipe closed early) makes it exit 2 with a message on standard error, and the report,
JSON line and picture of every project are those stored under --rendered.

  kpjcheck_output_test.py --kpjcheck PATH --schema PATH --rendered FOLDER PROJECT_FOLDER...

With --update the stored outputs are written anew from the tool instead of compared.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import jsonschema

from fixture_projects import fixture_projects

SETTINGS = argparse.Namespace()
LOST = "kpjcheck: cannot write to standard output"


def projects():
    return fixture_projects(SETTINGS.folders)


class KpjcheckProcess(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="kestrova-test-")
        self.addCleanup(shutil.rmtree, self.folder)
        self.projects = []
        for source in projects():
            copy = os.path.join(self.folder, os.path.basename(source))
            shutil.copyfile(source, copy)
            self.projects.append(copy)

    def project(self, name):
        return os.path.join(self.folder, name)

    def run_tool(self, arguments, **streams):
        streams.setdefault("stdout", subprocess.PIPE)
        streams.setdefault("stderr", subprocess.PIPE)
        return subprocess.run([SETTINGS.kpjcheck] + arguments, timeout=60, check=False,
                              **streams)

    def test_json_of_every_project_follows_the_schema(self):
        with open(SETTINGS.schema, encoding="utf-8") as schema_file:
            validator = jsonschema.Draft202012Validator(json.load(schema_file))
        validator.check_schema(validator.schema)
        run = self.run_tool(["--json"] + self.projects)
        lines = run.stdout.decode("utf-8").splitlines()
        self.assertEqual(len(lines), len(self.projects))
        statuses = set()
        for project, line in zip(self.projects, lines):
            report = json.loads(line)
            with self.subTest(project=os.path.basename(project)):
                self.assertEqual(report["file"], project)
                self.assertEqual(list(validator.iter_errors(report)), [])
            statuses.add(report["status"])
        self.assertEqual(statuses, {"no-errors", "errors-found", "not-parsed", "stopped"})
        self.assertEqual(run.returncode, 2)

    def test_every_picture_is_svg_that_rsvg_convert_renders(self):
        picture = self.project("timeline.svg")
        png = self.project("timeline.png")
        for project in self.projects:
            with self.subTest(project=os.path.basename(project)):
                run = self.run_tool(["--svg", picture, project])
                self.assertIn(run.returncode, (0, 1, 2))
                root = ElementTree.parse(picture).getroot()
                self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
                rendered = subprocess.run(["rsvg-convert", "-o", png, picture], check=False,
                                          stderr=subprocess.PIPE, timeout=60)
                self.assertEqual(rendered.returncode, 0, rendered.stderr)
                with open(png, "rb") as image:
                    self.assertEqual(image.read(8), b"\x89PNG\r\n\x1a\n")

    def test_output_that_cannot_be_written_exits_two_and_says_so(self):
        clean = self.project("holiday.kpj")
        picture = self.project("timeline.svg")
        for arguments in ([clean, clean], ["--json", clean, clean], ["--svg", picture, clean]):
            for way in ("full disk", "closed", "pipe closed early"):
                with self.subTest(arguments=arguments[:-1], way=way):
                    run = self.run_lost(arguments, way)
                    self.assertEqual(run.returncode, 2)
                    self.assertIn(LOST, run.stderr.decode())
                    self.assertEqual(self.leftovers(), [])

    def run_lost(self, arguments, way):
        if way == "full disk":
            with open("/dev/full", "wb") as full:
                return self.run_tool(arguments, stdout=full)
        if way == "closed":
            # The shell starts kpjcheck with descriptor 1 closed.
            return subprocess.run(["sh", "-c", 'exec "$0" "$@" >&-', SETTINGS.kpjcheck]
                                  + arguments, stderr=subprocess.PIPE, timeout=60, check=False)
        reading, writing = os.pipe()
        os.close(reading)
        try:
            return self.run_tool(arguments, stdout=writing)
        finally:
            os.close(writing)

    def test_closed_standard_error_changes_no_status_and_leaves_no_working_copy(self):
        for name, status in (("holiday.kpj", 0), ("rough-cut.kpj", 1), ("damaged.kpj", 2)):
            with self.subTest(project=name):
                run = subprocess.run(["sh", "-c", 'exec "$0" "$@" 2>&-', SETTINGS.kpjcheck,
                                      self.project(name)],
                                     stdout=subprocess.PIPE, timeout=60, check=False)
                self.assertEqual(run.returncode, status)
                self.assertIn(b"Reporting on", run.stdout)
                self.assertEqual(self.leftovers(), [])

    def test_report_json_and_picture_of_every_project_are_the_stored_ones(self):
        picture = self.project("timeline.svg")
        for project in self.projects:
            name = os.path.basename(project)
            with self.subTest(project=name):
                outputs = self.rendered_outputs(name, picture)
                for suffix, produced in outputs.items():
                    stored = os.path.join(SETTINGS.rendered, name + suffix)
                    if SETTINGS.update:
                        with open(stored, "wb") as out:
                            out.write(produced)
                        continue
                    with open(stored, "rb") as expected:
                        self.assertEqual(produced, expected.read(), stored)

    def rendered_outputs(self, name, picture):
        """The report, the JSON line and the picture of one project, named as the files that
        store them. The project is named without a folder, so the outputs do not depend on where
        the tests run."""
        def run(arguments):
            return subprocess.run([SETTINGS.kpjcheck] + arguments, cwd=self.folder, timeout=60,
                                  check=False, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        report = run([name])
        json_line = run(["--json", name])
        drawn = run(["--svg", picture, name])
        status = b"exit %d\n" % report.returncode
        with open(picture, "rb") as svg:
            return {".report": report.stdout + report.stderr + status,
                    ".jsonl": json_line.stdout, ".svg": svg.read()}

    def leftovers(self):
        """Working copies left in the folder."""
        return sorted(name for name in os.listdir(self.folder) if name.endswith(".tmp"))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kpjcheck", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--rendered", required=True)
    parser.add_argument("--update", action="store_true")
    parser.add_argument("folders", nargs="+")
    global SETTINGS
    SETTINGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
