#!/usr/bin/env python3
"""Runs the fleet example (examples/ansible) with ansible-playbook:
run_fleet.py --korvane BINARY

Two hosts on this machine (ansible_connection=local), alpha with the sample
installation and beta with homes/three-products-fix-1, each in a throw-away
HOME, and one catalogue server on 127.0.0.1 that beta's URL misses. The report
must equal fleet/expected.md and fleet/expected.csv (@SERVER@ is the server),
and the play must fail for beta. Exit status 0 passed, 1 failed, 77 no ansible-playbook.
"""
import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
from pathlib import Path

from run_case import ROOT, SKIP, build_home, loopback

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
                                ("beta", "three-products-fix-1", "/moved/patches.json")]:
            (tmp / host).mkdir()
            build_home({"home": home}, tmp / host, lambda text: text.replace(
                "@HOME@", str(tmp / host)).replace("@HOST@", socket.gethostname()))
            hosts[host] = {"ansible_connection": "local",
                           "ansible_python_interpreter": sys.executable,
                           "korvane_path": korvane, "korvane_args": ["-u", base + url],
                           "korvane_environment": {"HOME": str(tmp / host)}}
        (tmp / "inventory.json").write_text(json.dumps({"all": {"hosts": hosts}}))
        env = dict(os.environ, HOME=str(tmp), ANSIBLE_NOCOLOR="1", ANSIBLE_LOCAL_TEMP=str(tmp),
                   ANSIBLE_REMOTE_TEMP=str(tmp / "remote"), ANSIBLE_RETRY_FILES_ENABLED="0")
        result = subprocess.run(
            ["ansible-playbook", "-i", str(tmp / "inventory.json"),
             str(ROOT / "examples" / "ansible" / "korvane-fleet.yml"),
             "-e", f"korvane_report_dir={tmp / 'report'}"],
            env=env, cwd=tmp, capture_output=True, text=True, timeout=240)
        failures = []
        if result.returncode == 0 or "The check failed on: beta (" not in result.stdout:
            failures.append(f"the play did not fail for beta (exit status {result.returncode})")
        for suffix in ("md", "csv"):
            report = tmp / "report" / f"korvane-report.{suffix}"
            expected = (FLEET / f"expected.{suffix}").read_text().replace("@SERVER@", base)
            got = report.read_text() if report.exists() else "(missing)\n"
            if got != expected:
                failures.append(f"{report.name} differs; expected:\n{expected}got:\n{got}")
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
