#!/usr/bin/env python3
"""Runs every row of the exit-status table of README.md: exit_status.py --korvane BINARY

Each row names modes (each run), an outcome (a set-up of exit_status.toml),
what goes to standard output and standard error (patterns of exit_status.toml)
and the status. The manual page must hold the same table. Exit status 0
passed, 1 failed, 77 a tool is missing.
"""
import argparse
import re
import sys
import tomllib
from pathlib import Path

from run_case import E2E, ROOT, SKIP, Skip, run_variant

TABLE = tomllib.loads((E2E / "exit_status.toml").read_text(encoding="utf-8"))
OUTCOMES, OUTPUTS, WINDOW = TABLE["outcomes"], TABLE["outputs"], TABLE["window"]


def pattern(cell):
    if cell in OUTPUTS:
        return OUTPUTS[cell]
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
    paths = {"-o": setup.pop("report", "@HOME@/report.json"),
             "-x": setup.pop("metrics", "@HOME@/korvane.prom")}
    args = [word for arg in args for word in [arg] + ([paths[arg]] if arg in paths else [])]
    stored = setup.pop("stored", None)
    if args[:1] == ["-f"]:
        args = args[1:] + ["-f", f"@HOME@/{stored}"]
    elif outcome not in ("usage error", "printed"):
        args += ["-u", "@URL@"]
    case = {**setup, "args": args + setup.pop("args", [])}
    case["expect"] = {"stdout_matches": pattern(stdout), "stderr_matches": pattern(stderr),
                      "status": int(status)}
    if stored == "report.json":  # written by -o first
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
