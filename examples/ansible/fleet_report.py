#!/usr/bin/env python3
"""Writes the combined report of a fleet run of `korvane -j`.

    fleet_report.py [--check] REPORT_DIR < results.json

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
totals and in the patch table. A file whose content is the same is left alone;
the first line says "Report written", "Report unchanged" or, with --check
(which writes nothing), "Report would change". A relative REPORT_DIR is taken
from the current directory; this script's own folder is refused. Exit status 1
when the check failed on some host (they are named on standard output), 2 for
a wrong call or a report that cannot be written, else 0.
"""
import csv
import io
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


def csv_text(columns, rows):
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(columns)
    writer.writerows(rows)
    return out.getvalue()


def write_changed(report_dir, texts, check):
    """Writes the files whose content differs (none with check): whether any did."""
    def same(path, text):
        try:
            return path.read_text(encoding="utf-8") == text
        except (OSError, ValueError):  # missing, or not a text of ours
            return False
    changed = [name for name, text in texts.items() if not same(report_dir / name, text)]
    if changed and not check:
        report_dir.mkdir(parents=True, exist_ok=True)
        for name in changed:
            (report_dir / name).write_text(texts[name], encoding="utf-8")
    return bool(changed)


def plural(count, word, words=None):
    return f"{count} {word if count == 1 else words or word + 's'}"


def main():
    args = sys.argv[1:]
    check = args[:1] == ["--check"]
    if len(args) != 1 + check:
        print(__doc__, file=sys.stderr)
        return 2
    report_dir = Path(args[-1]).resolve()
    examples = Path(__file__).resolve().parent
    if report_dir == examples or examples in report_dir.parents:
        print(f"fleet_report.py: {report_dir} is in the folder of the example itself; give "
              "korvane_report_dir, or run ansible-playbook in the folder the report belongs to",
              file=sys.stderr)
        return 2
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
    texts = {"korvane-report.md": "\n".join(lines) + "\n",
             "korvane-report.csv": csv_text(COLUMNS, rows),
             "korvane-patches.csv": csv_text(PATCH_COLUMNS, patch_rows)}
    try:
        changed = write_changed(report_dir, texts, check)
    except OSError as e:
        print(f"fleet_report.py: cannot write the report in {report_dir}: {e}", file=sys.stderr)
        return 2
    state = ("would change" if check else "written") if changed else "unchanged"
    print(f"Report {state}: {report_dir}/korvane-report.md, korvane-report.csv "
          "and korvane-patches.csv.")
    print(totals)
    if failed:
        print("The check failed on: " + "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
