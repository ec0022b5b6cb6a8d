#!/usr/bin/env python3
"""Runs the fleet example (examples/ansible) with ansible-playbook:
run_fleet.py --korvane BINARY

Four hosts on this machine (ansible_connection=local), each with a throw-away
HOME, and one catalogue server on 127.0.0.1: alpha checks the sample
installation, beta (homes/three-products-fix-1) misses the catalogue, gamma
names a program that is not there, and delta reads a stored report of the
sample installation (-f). The play runs three times, without a report folder
(so into korvane-report of the current directory): the first writes the
report, which must equal fleet/expected.* (@SERVER@ is the server), and
reports a change; the second reports none; the third, under --check after
the report was removed, reports a change and writes nothing. Each run must
fail beta and gamma alone, gamma with Ansible's own reason. The report is
never written into the examples folder. Exit status 0
passed, 1 failed, 77 no ansible-playbook.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from run_case import ROOT, SKIP, loopback, make_home

FLEET = Path(__file__).resolve().parent / "fleet"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--korvane", required=True, type=Path)
    korvane = str(parser.parse_args().korvane.resolve())
    if not shutil.which("ansible-playbook"):
        print("SKIP: ansible-playbook is not installed (scripts/deps.sh installs ansible-core)")
        return SKIP
    tmp = Path(tempfile.mkdtemp(prefix="korvane-fleet-"))
    server, port = loopback.start_http(
        {"/korvane/patches.json": {"file": "examples/catalogue/patches.json"}},
        str(tmp / "hits.log"), str(ROOT))
    try:
        base = f"http://127.0.0.1:{port}"
        hosts = {}
        for host, home, url in [("alpha", "sample", "/korvane/patches.json"),
                                ("beta", "three-products-fix-1", "/moved/patches.json"),
                                ("gamma", "sample", ""), ("delta", "sample", "")]:
            (tmp / host).mkdir()
            make_home(home, tmp / host)
            hosts[host] = {"ansible_connection": "local",
                           "ansible_python_interpreter": sys.executable,
                           "korvane_path": korvane, "korvane_args": ["-u", base + url],
                           "korvane_environment": {"HOME": str(tmp / host)}}
        hosts["gamma"]["korvane_path"] = str(tmp / "no-such-korvane")
        stored = tmp / "delta" / "report.json"
        subprocess.run([korvane, "-o", str(stored), "-u", base + "/korvane/patches.json"],
                       env=dict(os.environ, HOME=str(tmp / "delta"), XDG_CONFIG_DIRS=str(tmp)),
                       capture_output=True)
        hosts["delta"].update(korvane_stored_report=str(stored), korvane_args=[])
        (tmp / "inventory.json").write_text(json.dumps({"all": {"hosts": hosts}}))
        env = dict(os.environ, HOME=str(tmp), XDG_CONFIG_DIRS=str(tmp),  # not /etc/xdg
                   ANSIBLE_NOCOLOR="1", ANSIBLE_LOCAL_TEMP=str(tmp),
                   ANSIBLE_REMOTE_TEMP=str(tmp / "remote"), ANSIBLE_RETRY_FILES_ENABLED="0")
        failures = []
        playbook = ROOT / "examples" / "ansible" / "korvane-fleet.yml"
        for check, changed in (([], True), ([], False), (["--check"], True)):
            if check:
                shutil.rmtree(tmp / "korvane-report", ignore_errors=True)
            result = subprocess.run(
                ["ansible-playbook", "-i", str(tmp / "inventory.json"), str(playbook), *check],
                env=env, cwd=tmp, capture_output=True, text=True, timeout=240)
            failed = set(re.findall(r"^fatal: \[(\w+)\]", result.stdout, re.M))
            if failed != {"beta", "gamma"} or "No such file or directory" not in result.stdout:
                failures.append(f"{check}: the play failed {sorted(failed)}, not beta and gamma "
                                "with gamma's reason")
            if bool(re.search(r"^changed:", result.stdout, re.M)) != changed:
                failures.append(f"{check}: the play should {'' if changed else 'not '}report a change")
            if (playbook.parent / "korvane-report").exists():
                failures.append("the report went into the examples folder")
            if check:
                if (tmp / "korvane-report").exists():
                    failures.append("--check wrote the report")
                continue
            for name in ("korvane-report.md", "korvane-report.csv", "korvane-patches.csv"):
                report = tmp / "korvane-report" / name
                expected = (FLEET / name).read_text().replace("@SERVER@", base).replace(
                    "@GAMMA@", str(tmp / "no-such-korvane"))
                got = report.read_text() if report.exists() else "(missing)\n"
                if got != expected:
                    failures.append(f"{check} {name} differs; expected:\n{expected}got:\n{got}")
        # Started in the example's folder, the report would land there.
        refused = subprocess.run([sys.executable, "fleet_report.py", "korvane-report"], input="[]",
                                 cwd=playbook.parent, capture_output=True, text=True)
        if refused.returncode != 2 or "folder of the example itself" not in refused.stderr:
            failures.append(f"a report in the examples folder: {refused.returncode} {refused.stderr}")
        print("FAIL fleet" if failures else "PASS fleet")
        for failure in failures:
            print("  " + failure.replace("\n", "\n  "))
        if failures:
            print(result.stdout + result.stderr)
        return 1 if failures else 0
    finally:
        server.shutdown()
        server.server_close()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
