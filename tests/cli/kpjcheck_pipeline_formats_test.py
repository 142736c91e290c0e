#!/usr/bin/env python3
"""kpjcheck's pipeline formats read back by the tools that consume them: the SARIF of every
project passes Microsoft's SARIF validator (Sarif.Multitool validate), the JUnit report is read
by junitparser, the GitHub workflow commands decode to the JSON's findings, and every format
exits with the same status and says so when its output is lost.

  kpjcheck_pipeline_formats_test.py --kpjcheck PATH --sarif-multitool PATH PROJECT_FOLDER...

scripts/install-test-tools.sh installs the validator; python3-junitparser is a Debian package.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

import junitparser

from fixture_projects import fixture_projects

SETTINGS = argparse.Namespace()
FORMATS = ("text", "json", "sarif", "junit", "github", "gnu")
ERROR_RULES = {"not-well-formed", "check-stopped"}


def projects():
    return fixture_projects(SETTINGS.folders)


def expected_findings(report):
    """(rule, line) of every finding of a JSON report, in report order; line None if none."""
    found = [("negative-length-item" if w["kind"] == "negative-length" else "zero-length-item",
              w["line"]) for w in report["warnings"]]
    found += [("timeline-gap", gap["line"]) for gap in report["gaps"]]
    if report["status"] == "not-parsed":
        line = int(report["message"].rsplit("\r\n", 1)[1])
        found.append(("not-well-formed", line if line > 0 else None))
    elif report["status"] == "stopped":
        found.append(("check-stopped", None))
    return found


class PipelineFormats(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="kestrova-test-")
        self.addCleanup(shutil.rmtree, self.folder)
        self.projects = projects()
        self.reports = [json.loads(line) for line in self.run_tool(["--json"]).stdout.splitlines()]
        self.assertEqual(len(self.reports), len(self.projects))

    def run_tool(self, arguments, names=None, **options):
        names = self.projects if names is None else names
        options.setdefault("stdout", subprocess.PIPE)
        return subprocess.run([SETTINGS.kpjcheck] + arguments + names, stderr=subprocess.PIPE,
                              timeout=300, check=False, **options)

    def test_sarif_of_every_project_and_of_one_call_passes_the_validator(self):
        logs = []
        for index, project in enumerate(self.projects):
            logs.append(self.write_sarif("project%02d.sarif" % index, [project]))
        whole = self.write_sarif("all.sarif", self.projects)
        logs.append(whole)
        verdict = os.path.join(self.folder, "verdict.sarif")
        validation = subprocess.run([SETTINGS.sarif_multitool, "validate",
                                     "--output", verdict] + logs, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, timeout=600, check=False)
        self.assertEqual(validation.returncode, 0, validation.stdout.decode(errors="replace"))
        with open(verdict, encoding="utf-8") as verdict_file:
            problems = [result for run in json.load(verdict_file)["runs"]
                        for result in run.get("results", [])
                        if result.get("level", "warning") == "error"]
        self.assertEqual(problems, [])
        with open(whole, encoding="utf-8") as log:
            self.check_sarif_results(json.load(log))

    def write_sarif(self, name, names):
        path = os.path.join(self.folder, name)
        with open(path, "wb") as log:
            self.run_tool(["--format", "sarif"], names, stdout=log)
        return path

    def check_sarif_results(self, log):
        self.assertEqual(log["version"], "2.1.0")
        run, = log["runs"]
        rules = [rule["id"] for rule in run["tool"]["driver"]["rules"]]
        expected = [(report["file"], finding) for report in self.reports
                    for finding in expected_findings(report)]
        found = []
        for result in run["results"]:
            self.assertEqual(rules[result["ruleIndex"]], result["ruleId"])
            self.assertEqual(result["level"], "error" if result["ruleId"] in ERROR_RULES
                             else "warning")
            location = result["locations"][0]["physicalLocation"]
            artifact = location["artifactLocation"]
            uri = urllib.parse.unquote(artifact["uri"])
            if artifact.get("uriBaseId") != "%SRCROOT%":  # else relative to the run's folder
                self.assertTrue(uri.startswith("file:///"), uri)
                uri = uri[len("file://"):]
            found.append((uri, (result["ruleId"],
                                            location.get("region", {}).get("startLine"))))
        self.assertEqual(found, expected)

    def test_junit_report_is_read_back_with_its_counts_and_lines(self):
        path = os.path.join(self.folder, "report.xml")
        with open(path, "wb") as report:
            self.run_tool(["--format", "junit"], stdout=report)
        read = junitparser.JUnitXml.fromfile(path)
        suite, = list(read)
        cases = list(suite)
        self.assertEqual([case.name for case in cases], [r["file"] for r in self.reports])
        for case, report in zip(cases, self.reports):
            with self.subTest(project=report["file"]):
                entries = [(entry.type, entry.message) for entry in case.result]
                expected = expected_findings(report)
                self.assertEqual([kind for kind, _ in entries], [rule for rule, _ in expected])
                for (kind, message), (_, line) in zip(entries, expected):
                    if line is not None:
                        self.assertTrue(message.startswith("line %d: " % line), message)
                kinds = {type(entry) for entry in case.result}
                self.assertEqual(junitparser.Error in kinds, report["exit"] == 2)
        stated = (suite.tests, suite.failures, suite.errors, read.tests, read.failures,
                  read.errors)
        suite.update_statistics()
        read.update_statistics()
        self.assertEqual(stated, (suite.tests, suite.failures, suite.errors, read.tests,
                                  read.failures, read.errors))
        self.assertEqual(suite.tests, len(self.projects))

    def test_github_commands_decode_to_the_findings(self):
        command = re.compile(r"^::(warning|error) file=([^,:]*)(?:,line=(\d+))?,title=[^,:]*::(.*)$")
        lines = self.run_tool(["--format", "github"]).stdout.decode().splitlines()
        found = []
        for line in lines:
            match = command.match(line)
            self.assertIsNotNone(match, line)
            level, file, number, _ = match.groups()
            found.append((file, level, int(number) if number else None))
        expected = [(r["file"], "error" if rule in ERROR_RULES else "warning", line)
                    for r in self.reports for rule, line in expected_findings(r)]
        self.assertEqual(found, expected)

    def test_odd_paths_are_escaped_in_github_commands_and_encoded_in_sarif_uris(self):
        odd = os.path.join(self.folder, "cut, take 2: 100%.kpj")
        shutil.copyfile(next(p for p in self.projects if p.endswith("rough-cut.kpj")), odd)
        name = os.path.basename(odd)
        github = self.run_tool(["--format", "github"], [name], cwd=self.folder)
        self.assertIn(b"::warning file=cut%2C take 2%3A 100%25.kpj,line=", github.stdout)
        sarif = json.loads(self.run_tool(["--format", "sarif"], [name], cwd=self.folder).stdout)
        uris = {r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
                for r in sarif["runs"][0]["results"]}
        self.assertEqual(uris, {"cut%2C%20take%202%3A%20100%25.kpj"})
        absolute = json.loads(self.run_tool(["--format", "sarif"], [odd]).stdout)
        location = absolute["runs"][0]["results"][0]["locations"][0]["physicalLocation"]
        self.assertTrue(location["artifactLocation"]["uri"].startswith("file:///"))
        self.assertNotIn("uriBaseId", location["artifactLocation"])

    def test_every_format_exits_alike_and_reports_lost_output(self):
        table = {name: next(p for p in self.projects if p.endswith(name)) for name in
                 ("holiday.kpj", "rough-cut.kpj", "damaged.kpj", "time_out_of_range.kpj")}
        for names, status in (([table["holiday.kpj"]], 0), ([table["rough-cut.kpj"]], 1),
                              ([table["damaged.kpj"]], 2), ([table["time_out_of_range.kpj"]], 2),
                              (list(table.values()), 2)):
            for output in FORMATS:
                with self.subTest(format=output, projects=[os.path.basename(n) for n in names]):
                    self.assertEqual(self.run_tool(["--format", output], names).returncode,
                                     status)
        for output in FORMATS:
            with self.subTest(format=output, output="closed"):
                closed = subprocess.run(["sh", "-c", 'exec "$0" "$@" >&-', SETTINGS.kpjcheck,
                                         "--format", output, table["rough-cut.kpj"]],
                                        stderr=subprocess.PIPE, timeout=60, check=False)
                self.assertEqual(closed.returncode, 2)
                self.assertIn(b"cannot write to standard output", closed.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kpjcheck", required=True)
    parser.add_argument("--sarif-multitool", required=True)
    parser.add_argument("folders", nargs="+")
    global SETTINGS
    SETTINGS, rest = parser.parse_known_args()
    if not os.access(SETTINGS.sarif_multitool, os.X_OK):
        sys.exit("the SARIF validator %s is missing: run scripts/install-test-tools.sh"
                 % SETTINGS.sarif_multitool)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
