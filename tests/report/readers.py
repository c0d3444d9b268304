#!/usr/bin/env python3
"""Reads what report_formats left in FOLDER with the readers users have: the evidence document
against the shipped schema (jsonschema), the JUnit file (junitparser), the page in headless
Chromium (its DOM and a screenshot, page.png), and the one line.
Usage: readers.py FOLDER SCHEMA"""
import json
import os
import re
import subprocess
import sys
import tempfile

import jsonschema
from junitparser import Error, Failure, JUnitXml

folder, schema_path = sys.argv[1], sys.argv[2]
passed = failed = 0


def check(what, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAILED: {what}" + (f"\n  {detail}" if detail else ""))


def read(name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


expected = dict(line.split() for line in read("expected.txt").decode().splitlines())

# --- evidence: the shipped schema, format_version first, counts that add up
pairs = json.loads(read("evidence.json"), object_pairs_hook=lambda p: p)
check("evidence: format_version is the first member", pairs[0][0] == "format_version", pairs[0])
document = json.loads(read("evidence.json"))
with open(schema_path) as f:
    schema = json.load(f)
validator = jsonschema.Draft202012Validator(schema, format_checker=jsonschema.FormatChecker())
errors = [f"{list(e.absolute_path)}: {e.message}" for e in validator.iter_errors(document)]
check("evidence: valid against the shipped schema", not errors, "\n  ".join(errors[:10]))
checks = {c["name"]: c for c in document["checks"]}
check("evidence: 26 distinct checks", len(checks) == 26, sorted(checks))
outcomes = {r["check"]: r["outcome"] for r in document["requirements"]}
check("evidence: one requirement of each outcome", outcomes == {expected[k]: k for k in expected}, outcomes)
undetermined = checks.get(expected["undetermined"], {})
check("evidence: the locked key's check is undetermined with its readings",
      undetermined.get("state") == "undetermined" and undetermined.get("readings"), undetermined)
summary = document["summary"]
states = [c["state"] for c in document["checks"]]
check("evidence: the summary counts the checks",
      (summary["determined"], summary["undetermined"]) == (states.count("determined"), states.count("undetermined")),
      summary)
check("evidence: verdict fail, exit status 6", (summary["verdict"], summary["exit_status"]) == ("fail", 6), summary)
host = document["host"]["computer_name"]

# --- JUnit: one suite, a case per check named by host and check, failure and error where due
suites = list(JUnitXml.fromfile(os.path.join(folder, "junit.xml")))
check("junit: one test suite", len(suites) == 1, len(suites))
cases = {case.name: case for case in suites[0]}
check("junit: a case per check", sorted(cases) == sorted(checks), sorted(cases))
check("junit: classname is the computer name", {c.classname for c in cases.values()} == {host})
kinds = {name: [type(r).__name__ for r in case.result] for name, case in cases.items() if case.result}
check("junit: the unmet requirement a failure, the undetermined one an error",
      kinds == {expected["unmet"]: ["Failure"], expected["undetermined"]: ["Error"]}, kinds)
error = cases[expected["undetermined"]].result[0]
check("junit: the reason in the body, the readings in system-out",
      error.text == undetermined.get("reason") and "reading: " in (cases[expected["undetermined"]].system_out or ""),
      (error.text, cases[expected["undetermined"]].system_out))

# --- HTML: nothing from elsewhere; every row in the DOM Chromium builds; a screenshot
page = read("page.html").decode("utf-8")
outside = re.findall(r"<script|<link|<img|<iframe|\bsrc=|url\(|@import|https?://", page, re.I)
check("html: self-contained", not outside, outside)
page_url = "file://" + os.path.abspath(os.path.join(folder, "page.html"))
chromium = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars"]
with tempfile.TemporaryDirectory() as profile:
    run = lambda *args: subprocess.run(chromium + [f"--user-data-dir={profile}", *args], capture_output=True,
                                       text=True, timeout=120)
    dom = run("--dump-dom", page_url).stdout
    rows = re.findall(r'<tr id="([^"]+)" class="(determined|undetermined)">', dom)
    check("html: Chromium shows a row per check", sorted(r[0] for r in rows) == sorted(checks), rows)
    check("html: each row with its readings folded",
          dom.count("<details>") == sum(1 for c in document["checks"] if c["readings"]))
    screenshot = os.path.join(folder, "page.png")
    if os.path.exists(screenshot):
        os.remove(screenshot)
    run(f"--screenshot={screenshot}", "--window-size=1400,1800", page_url)
    check("html: a screenshot", os.path.exists(screenshot) and read("page.png")[:8] == b"\x89PNG\r\n\x1a\n")

# --- line: one line within the limit, the verdict first, naming what failed
line = read("line.txt").decode("utf-8")
check("line: one line, at most 2048 characters",
      line.endswith("\n") and "\n" not in line[:-1] and len(line) - 1 <= 2048, repr(line[:200]))
check("line: the verdict and the failing checks",
      line.startswith("FAIL ") and expected["unmet"] in line and expected["undetermined"] in line, line)

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
