#!/usr/bin/env python3
"""Writes the combined report of a fleet run of `korvane -j`.

    fleet_report.py REPORT_DIR < results.json

Standard input is a JSON list with one entry per host: {"host": ..., "rc": ...,
"stdout": ..., "stderr": ...}, the result of running `korvane -j` there. Writes
into REPORT_DIR:
- korvane-report.md: a Markdown table, one row per host and installed product
  with the age of the host's report, the version, the number of updates and of
  security updates, and the check's error if any; then a totals line; then
  which hosts need each patch;
- korvane-report.csv: the rows of the first table;
- korvane-patches.csv: the rows of the patch table.
A patch listed under two products of one host counts once for that host in the
totals and in the patch table. Exit status 1 when the check failed on some host
(they are named on standard output), else 0.
"""
import csv
import json
import sys
from datetime import datetime, timezone
from pathlib import Path

COLUMNS = ["Host", "Report age", "Product", "Version", "Updates", "Security updates", "Error"]
PATCH_COLUMNS = ["Patch", "QFE_ID", "Security", "Hosts"]


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


def age_of(document):
    """How old the report is, in whole hours ("" when it does not say)."""
    try:
        checked = datetime.strptime(document["checkedAt"], "%Y-%m-%dT%H:%M:%SZ")
    except (KeyError, TypeError, ValueError):
        return ""
    seconds = (datetime.now(timezone.utc) - checked.replace(tzinfo=timezone.utc)).total_seconds()
    return f"{int(seconds // 3600)} h"


def rows_of(host, document, error):
    rows, age = [], age_of(document)
    for product in sorted(document["products"], key=lambda p: (p["name"], p["version"])):
        updates = [u for u in document["updates"] if product["name"] in u["appliesTo"]]
        counts = ["", ""] if error else [len(updates), sum(1 for u in updates if u["security"])]
        rows.append([host, age, product["name"], product["version"], *counts, error])
    if not rows:
        rows.append([host, age, "(none found)", "", *(["", ""] if error else [0, 0]), error])
    return rows


def markdown_table(columns, rows):
    def cell(value):
        return str(value).replace("\\", "\\\\").replace("|", "\\|")
    lines = ["| " + " | ".join(columns) + " |", "|" + "---|" * len(columns)]
    return lines + ["| " + " | ".join(cell(v) for v in row) + " |" for row in rows]


def write_csv(path, columns, rows):
    with open(path, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\n")
        writer.writerow(columns)
        writer.writerows(rows)


def plural(count, word, words=None):
    return f"{count} {word if count == 1 else words or word + 's'}"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    report_dir = Path(sys.argv[1])
    report_dir.mkdir(parents=True, exist_ok=True)
    rows, failed = [], []
    patches = {}  # (name, qfeId) -> [security, set of hosts]
    results = json.load(sys.stdin)
    for result in results:
        host = result["host"]
        document, error = document_of(result)
        if document is not None:
            error = (document.get("error") or {}).get("message", "")
        if error:
            failed.append(f"{host} ({error})")
        if document is None:
            rows.append([host, "", "", "", "", "", error])
            continue
        rows += rows_of(host, document, error)
        for update in [] if error else document["updates"]:
            entry = patches.setdefault((update["name"], update["qfeId"]), [False, set()])
            entry[0] = entry[0] or update["security"]
            entry[1].add(host)

    patch_rows = [[name, qfe, "yes" if security else "no", ", ".join(sorted(hosts))]
                  for (name, qfe), (security, hosts) in sorted(patches.items())]
    per_host = sum(len(hosts) for _, hosts in patches.values())
    security = sum(len(hosts) for flag, hosts in patches.values() if flag)
    needing = len(set().union(*(hosts for _, hosts in patches.values())))
    totals = (f"Totals: {plural(len(results), 'host')}, {len(failed)} failed; "
              f"{plural(per_host, 'update')} to apply ({security} security) on "
              f"{plural(needing, 'host')}, {plural(len(patches), 'distinct patch', 'distinct patches')}.")
    lines = (markdown_table(COLUMNS, rows) + ["", totals, "", "Hosts that need each patch:", ""]
             + markdown_table(PATCH_COLUMNS, patch_rows))
    (report_dir / "korvane-report.md").write_text("\n".join(lines) + "\n", encoding="utf-8")
    write_csv(report_dir / "korvane-report.csv", COLUMNS, rows)
    write_csv(report_dir / "korvane-patches.csv", PATCH_COLUMNS, patch_rows)

    print(f"Report written to {report_dir}/korvane-report.md, korvane-report.csv "
          "and korvane-patches.csv.")
    print(totals)
    if failed:
        print("The check failed on: " + "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
