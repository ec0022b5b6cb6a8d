#!/usr/bin/env python3
"""Runs every row of the exit-status table of README.md: exit_status.py --korvane BINARY

Each row names modes, an outcome, what goes to standard output and standard
error, and the status. An outcome is a situation set up here (an installation
and a catalogue, a failing server, a bad argument, an unwritable output); a
mode cell may name several modes, each run. What the output cells say is read
as a pattern of the output. The manual page must hold the same table. Exit
status 0 passed, 1 failed, 77 a tool is missing.
"""
import argparse
import re
import sys
from pathlib import Path

from run_case import E2E, ROOT, SKIP, Skip, run_variant

STORED = ('{"schema":1,"catalogue":"u","products":[{"name":"Brivex for Server","version":"1",'
          '"directory":"/s"}],"installedPatches":[],"updates":[{"name":"Fix","products":"Brivex'
          ' for Server","appliesTo":["Brivex for Server"],"qfeId":"Q","url":"u","releaseDate":'
          '"d","platform":"Linux","security":false}],"error":null,"checkedAt":"@HOURS_AGO:49@",'
          '"lastFailure":null}\n')
WINDOW = "Brivex for Server and Extensions Korvanes"
# What an outcome is: the run's setup, and arguments added to the mode's.
OUTCOMES = {
    "usage error": {"args": ["-x"]},
    "printed": {},
    "updates": {"home": "three-products-fix-1", "catalogue": "two-releases"},
    "security update": {"home": "three-products-fix-1", "catalogue": "varied-fields"},
    "no updates": {"home": "three-products-fix-1", "catalogue": "nothing-to-apply"},
    "no products": {"catalogue": "nothing-to-apply"},
    "check failed": {"home": "three-products-fix-1", "routes": {}},
    "settings not written": {"dirs": [".config/Zedo/Korvane.conf"]},
    "output not written": {"home": "three-products-fix-1", "catalogue": "two-releases",
                           "stdout_to": "/dev/full"},
    "file not written": {"home": "three-products-fix-1", "catalogue": "nothing-to-apply",
                         "report": "@HOME@/no/such/folder/report.json"},
    "report stale": {"files": {"stale.json": STORED}, "stored": "stale.json"},
    "report unreadable": {"files": {"empty.json": ""}, "stored": "empty.json"},
    "report fresh": {"stored": "report.json"},
    "any": {},
}
# What an output cell says, as a pattern.
OUTPUTS = {
    "nothing": "", "the text": ".+", "the report": '.*Installed products:.*|{"schema":1,.*}\\n',
    '"No updates available."': "No updates available\\.\\n",
    "the notice": "<<<< No installed products were found for this user\\. >>>>\\n",
    "the failure": "(<<<< .+ >>>>\\n)+", "one line": "korvane: [^\\n]+\\n",
    "one line naming the argument": 'korvane: The argument "-x" [^\\n]+\\n',
    "one line giving its age": "korvane: The stored report is 49 hours old[^\\n]+\\n",
    "the document": '{"schema":1,.*"error":null,.*}\\n',
    "the document with its error": '{"schema":1,.*"error":{"code".*}\\n',
    "the console lines, the summary": ".*[^\\n]+\\n",
}


def pattern(cell):
    if cell in OUTPUTS:
        return OUTPUTS[cell]
    if cell == 'the notice, "No updates available."':
        return OUTPUTS["the notice"] + OUTPUTS['"No updates available."']
    state = re.fullmatch(r"(OK|WARNING|CRITICAL|UNKNOWN) line(, the updates)?", cell)
    if state:
        return f"KORVANE {state[1]} - [^\\n]+\\n" + (".+" if state[2] else "")
    raise KeyError(f"no pattern for the cell {cell!r}")


def atoms(row, rows):
    """A row as single runs: (mode, outcome, stdout, stderr, status)."""
    modes, outcome, stdout, stderr, status = row
    if stdout.startswith("as "):  # a fresh stored report reads as the check did
        live = {tuple(r[:2]): r for r in rows}
        for mode in ("-c", "-j", "-m"):
            yield (f"-f {mode}", "report fresh") + tuple(live[(f"`{mode}`", "updates")][2:])
        return
    outcomes, statuses = outcome.split(", "), status.split(", ")
    for mode in [m.strip(" `") for m in modes.split(",")]:
        for single, code in zip(outcomes, statuses * len(outcomes)):
            yield mode, single, stdout, stderr, code


def case_of(mode, outcome, stdout, stderr, status):
    setup = dict(OUTCOMES[outcome])
    args = {"any": ["-c"], "window": [], "tray": ["-i"], "-p": ["-c", "-p", "http://p:1"],
            "-k": ["-c", "-k"]}.get(mode, mode.split())
    if "-o" in args:  # the report goes to a file; -o's own outcome is the check's
        setup = dict(OUTCOMES.get(outcome, {}))
        args += [setup.pop("report", "@HOME@/report.json")]
    if args[:1] == ["-f"]:
        args = args[1:] + ["-f", f"@HOME@/{setup.pop('stored')}"]
    elif outcome not in ("usage error", "printed"):
        args += ["-u", "@URL@"]
    case = {**setup, "args": args + setup.pop("args", [])}
    case["expect"] = {"stdout_matches": pattern(stdout), "stderr_matches": pattern(stderr),
                      "status": int(status)}
    if outcome == "report fresh":  # written by -o first
        case.update(OUTCOMES["updates"], args=["-o", "@HOME@/report.json", "-u", "@URL@"],
                    expect={"status": 100}, then=[{"args": args, **case["expect"]}])
    if mode in ("window", "tray"):  # under Xvfb, closed as a user would
        case.update(OUTCOMES["updates" if mode == "window" else "no updates"], display="xvfb",
                    env={"XDG_RUNTIME_DIR": "@TMP@"},
                    steps=[f"window {WINDOW}", "click -50 -26"] * (mode == "window") + ["exit 10"])
    return case


def table(text, start):
    rows = text[text.index(start):].split("\n\n")[0].splitlines()
    return [[c.strip() for c in row.strip("|").split("|")] for row in rows[2:]]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--korvane", required=True, type=Path)
    korvane = str(parser.parse_args().korvane.resolve())
    rows = table((ROOT / "README.md").read_text(), "| Mode | Outcome")
    failures, skipped = [], False
    manual = re.sub(r"T\{\n|\nT\}|\\", "", (ROOT / "docs" / "korvane.1").read_text())
    for row in rows:
        if "|".join(c.replace("`", "").replace('"', "") for c in row) not in manual:
            failures.append(f"the manual page lacks the row {row}")
        for single in atoms(row, rows):
            if single[1] == "report stale or unreadable":
                singles = [(single[0], outcome) + single[2:]
                           for outcome in ("report stale", "report unreadable")]
            else:
                singles = [single]
            for mode, outcome, *cells in singles:
                try:
                    found = run_variant(E2E / "exit_status", case_of(mode, outcome, *cells),
                                        korvane, "builtin")
                except Skip as reason:
                    print(f"SKIP {mode} / {outcome}: {reason}")
                    skipped = True
                    continue
                failures += [f"{mode} / {outcome}: {failure}" for failure in found]
    print("\n".join(["FAIL exit status table"] + failures) if failures else
          f"PASS exit status table ({len(rows)} rows)")
    return 1 if failures else SKIP if skipped else 0


if __name__ == "__main__":
    sys.exit(main())
