#!/usr/bin/env python3
"""Writes the combined report of a fleet run of `korvane -j`.

    fleet_report.py REPORT_DIR < results.json

Standard input is a JSON list with one entry per host: {"host": ..., "rc": ...,
"stdout": ..., "stderr": ...}, the result of running `korvane -j` there. Writes
REPORT_DIR/korvane-report.md (a Markdown table) and REPORT_DIR/korvane-report.csv,
one row per host and installed product, with the version, the number of updates
and of security updates, and the check's error if any. Exit status 1 when the
check failed on some host (they are named on standard output), else 0.
"""
import csv
import json
import sys
from pathlib import Path

COLUMNS = ["Host", "Product", "Version", "Updates", "Security updates", "Error"]


def document_of(result):
    """The host's korvane document, or the reason there is none."""
    try:
        document = json.loads(result.get("stdout") or "")
        if isinstance(document, dict) and document.get("schema") == 1:
            return document, None
    except ValueError:
        pass
    reason = " ".join((result.get("stderr") or "").split()) or "no output"
    return None, f"no report from korvane (exit status {result.get('rc')}): {reason}"


def rows_of(result):
    """The host's rows, and its error ("" when the check succeeded)."""
    host = result["host"]
    document, reason = document_of(result)
    if document is None:
        return [[host, "", "", "", "", reason]], reason
    error = (document.get("error") or {}).get("message", "")
    rows = []
    for product in sorted(document["products"], key=lambda p: (p["name"], p["version"])):
        updates = [u for u in document["updates"] if product["name"] in u["appliesTo"]]
        counts = ["", ""] if error else [len(updates), sum(1 for u in updates if u["security"])]
        rows.append([host, product["name"], product["version"], *counts, error])
    if not rows:
        rows.append([host, "(none found)", "", *(["", ""] if error else [0, 0]), error])
    return rows, error


def markdown_cell(value):
    return str(value).replace("\\", "\\\\").replace("|", "\\|")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    report_dir = Path(sys.argv[1])
    report_dir.mkdir(parents=True, exist_ok=True)
    rows, failed = [], []
    for result in json.load(sys.stdin):
        host_rows, error = rows_of(result)
        rows += host_rows
        if error:
            failed.append(f"{result['host']} ({error})")

    lines = ["| " + " | ".join(COLUMNS) + " |", "|" + "---|" * len(COLUMNS)]
    lines += ["| " + " | ".join(markdown_cell(v) for v in row) + " |" for row in rows]
    (report_dir / "korvane-report.md").write_text("\n".join(lines) + "\n", encoding="utf-8")
    with open(report_dir / "korvane-report.csv", "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(COLUMNS)
        writer.writerows(rows)

    print(f"Report written to {report_dir}/korvane-report.md and korvane-report.csv.")
    if failed:
        print("The check failed on: " + "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
