#!/usr/bin/env python3
"""Runs one end-to-end case of korvane: run_case.py --korvane BINARY CASE_DIR

Exit status 0: passed; 1: failed, with the differences on standard output;
77: skipped, a tool the case needs (tinyproxy, unshare -rn) is missing.

The files of a case folder (`args` and `expected.out` are the usual minimum):
  args              the arguments, one a line
  home/             copied into a throw-away HOME, where ZEDO.properties.<suffix>
                    becomes .ZEDO.properties.<host>.<suffix> as in scripts/sample.sh
  sample            (empty) the same with examples/sample-home
  catalogue.json    served on 127.0.0.1 at /korvane/patches.json (@URL@)
  server.json       routes: {"/path": {"status": 302, "body": "text" or "file":
                    "name in the case", "headers": {...}, "require": {"Via":
                    "tinyproxy"}}}; 400 when a required header lacks the text;
                    404 for paths without a route
  env               NAME=VALUE sets a variable, NAME or -NAME removes it
  tinyproxy         "user password": a tinyproxy with basic authentication
  tls               (empty) serve https with the self-signed tests/data/tls certificate
  unshare           (empty) run in `unshare -rn`, a machine without network
  fifos             paths relative to HOME made FIFOs (after home/ is copied)
  umask             the octal umask of the run
  variants          builtin and/or curl (which adds -r); builtin by default
  settings.conf     placed as $HOME/.config/Zedo/Korvane.conf before the run
  log               the log file to read when the program chooses its place
  expected.out      standard output, exactly; a time stamp opening a line reads
                    @TIME@. expected.curl.out (or .builtin.out) replaces it for
                    that variant; other expected.*.out files are accepted instead
                    (the file system decides the order of the products).
  expected.status   exit status, 0 by default
  expected.log      lines (without time stamps) that the log holds in this order;
                    `-l <tmp>/korvane.log` is added when args has no -l
  unexpected.log    texts the log must not hold anywhere
  expected.settings lines the settings file holds after the run
  expected.files    "PATH MODE" (octal), "PATH absent" or "PATH fifo"; PATH is
                    relative to HOME
  expected.hits     number of requests for /korvane/patches.json
All of them may use @URL@ @SERVER@ @HOME@ @TMP@ @CASE@ @ROOT@ @HOST@ @PROXY_PORT@.
"""
import argparse
import difflib
import json
import os
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
import loopback  # noqa: E402
CATALOGUE = "/korvane/patches.json"
SKIP = 77
STAMP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: ", re.M)
PROXY_VARIABLES = ["http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                   "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"]


class Skip(Exception):
    pass


def install_home(source, home, subst):
    shutil.copytree(source, home, symlinks=True)
    for template in sorted(source.glob("ZEDO.properties.*")):
        suffix = template.name[len("ZEDO.properties."):]
        (home / template.name).unlink()
        target = home / f".ZEDO.properties.{socket.gethostname()}.{suffix}"
        target.write_text(subst(template.read_text()))


def log_switch_value(args):
    switches = [i for i, arg in enumerate(args) if arg.lower() in ("-l", "/l", "l")]
    return args[switches[0] + 1] if switches and switches[0] + 1 < len(args) else ""


def in_order(wanted, lines):
    """The first wanted line not found after the previous one, or None."""
    position = 0
    for line in wanted:
        try:
            position = lines.index(line, position) + 1
        except ValueError:
            return line
    return None


def run_variant(case, korvane, variant):
    tmp = Path(tempfile.mkdtemp(prefix="korvane-e2e-"))
    home, proxy, server = tmp / "home", None, None
    values = {"@HOME@": str(home), "@TMP@": str(tmp), "@CASE@": str(case),
              "@ROOT@": str(ROOT), "@HOST@": socket.gethostname()}

    def subst(text):
        for key, value in values.items():
            text = text.replace(key, value)
        return text

    def text(name, default=None):
        path = case / name
        return subst(path.read_text(encoding="utf-8")) if path.exists() else default

    def lines(name):
        return [line for line in (text(name) or "").split("\n") if line.strip()]

    command = [korvane]
    if (case / "unshare").exists():
        if not shutil.which("unshare") or subprocess.run(
                ["unshare", "-rn", "true"], capture_output=True).returncode != 0:
            raise Skip("unshare -rn is missing or not permitted here (user namespaces off)")
        command = ["unshare", "-rn", korvane]
    try:
        if (case / "tinyproxy").exists():
            if not shutil.which("tinyproxy"):
                raise Skip("tinyproxy is not installed (scripts/deps.sh installs it)")
            proxy, port = loopback.start_tinyproxy(*text("tinyproxy").split(), str(tmp))
            values["@PROXY_PORT@"] = str(port)
        has_catalogue = (case / "catalogue.json").exists()
        if has_catalogue or (case / "server.json").exists():
            routes = {CATALOGUE: {"file": "catalogue.json"}} if has_catalogue else {}
            tls = (case / "tls").exists()
            server, port = loopback.start_http(routes, str(tmp / "hits.log"), str(case), tls and (
                ROOT / "tests/data/tls/selfsigned.crt", ROOT / "tests/data/tls/selfsigned.key"))
            values["@SERVER@"] = f"http{'s' if tls else ''}://127.0.0.1:{port}"
            values["@URL@"] = values["@SERVER@"] + CATALOGUE
            routes.update(json.loads(text("server.json", "{}")))  # may name @SERVER@
        if (case / "sample").exists():
            install_home(ROOT / "examples" / "sample-home", home, subst)
        elif (case / "home").is_dir():
            install_home(case / "home", home, subst)
        else:
            home.mkdir()
        for name in lines("fifos"):
            (home / name).parent.mkdir(parents=True, exist_ok=True)
            os.mkfifo(home / name, 0o600)
        settings = home / ".config" / "Zedo" / "Korvane.conf"
        if (case / "settings.conf").exists():
            settings.parent.mkdir(parents=True, exist_ok=True)
            settings.write_text(text("settings.conf"))
            settings.chmod(0o600)

        args = lines("args") + (["-r"] if variant == "curl" else [])
        has_log = (case / "expected.log").exists() or (case / "unexpected.log").exists()
        log = log_switch_value(args) or text("log", "").strip()
        if not log and has_log:
            log = str(tmp / "korvane.log")
            args += ["-l", log]

        env = {name: value for name, value in os.environ.items()
               if name not in PROXY_VARIABLES + ["XDG_CONFIG_HOME", "LANGUAGE"]
               and not name.startswith("LC_")}
        env.update(HOME=str(home), DISPLAY="", LANG="C.UTF-8", TMPDIR=str(tmp))
        for line in lines("env"):
            name, has_value, value = line.partition("=")
            if has_value:
                env[name] = value
            else:
                env.pop(name.lstrip("-"), None)
        try:
            mask = int(text("umask", "22"), 8)
            result = subprocess.run(command + args, env=env, capture_output=True, timeout=60,
                                    cwd=tmp, preexec_fn=lambda: os.umask(mask))
        except subprocess.TimeoutExpired:
            return ["the program did not finish within 60 s"]

        failures = []
        output = STAMP.sub("@TIME@: ", result.stdout.decode("utf-8", errors="replace"))
        expected = [text(f"expected.{variant}.out") or text("expected.out", "")] + [
            subst(path.read_text(encoding="utf-8")) for path in sorted(case.glob("expected.*.out"))
            if path.name.split(".")[1] not in ("builtin", "curl")]
        if output not in expected:
            diff = difflib.unified_diff(expected[0].splitlines(), output.splitlines(),
                                        "expected.out", "standard output", lineterm="")
            failures.append("standard output differs:\n" + "\n".join(diff))
        status = int(text("expected.status", "0"))
        if result.returncode != status:
            failures.append(f"exit status {result.returncode}, expected {status}")

        if has_log:
            log_text = Path(log).read_text(errors="replace") if Path(log).is_file() else ""
            log_lines = STAMP.sub("", log_text).splitlines()
            missing = in_order(lines("expected.log"), log_lines)
            if missing is not None:
                failures.append(f"log {log} lacks (in this order) the line:\n  {missing}\n"
                                "log:\n  " + "\n  ".join(log_lines))
            failures += [f"log {log} contains {t!r}"
                         for t in lines("unexpected.log") if t in log_text]

        stored = settings.read_text().splitlines() if settings.is_file() else []
        failures += [f"settings file lacks the line {line!r}; it holds:\n  " + "\n  ".join(stored)
                     for line in lines("expected.settings") if line not in stored]

        for line in lines("expected.files"):
            name, _, mode = line.rpartition(" ")
            path = home / name  # an absolute name stays as it is
            if mode == "absent":
                if os.path.lexists(path):
                    failures.append(f"{path} exists")
            elif mode == "fifo":
                if not stat.S_ISFIFO(os.lstat(path).st_mode if os.path.lexists(path) else 0):
                    failures.append(f"{path} is no longer a FIFO")
            elif not path.exists():
                failures.append(f"{path} does not exist")
            elif path.stat().st_mode & 0o777 != int(mode, 8):
                failures.append(f"{path} has mode {path.stat().st_mode & 0o777:o}, "
                                f"expected {mode}")

        hits = text("expected.hits")
        hits_log = tmp / "hits.log"
        requests = hits_log.read_text().count(CATALOGUE) if hits_log.exists() else 0
        if hits is not None and requests != int(hits):
            failures.append(f"{requests} requests for {CATALOGUE}, expected {int(hits)}")
        if failures and result.stderr:
            failures.append("standard error:\n" + result.stderr.decode(errors="replace"))
        return failures
    finally:
        if server:
            server.shutdown()
            server.server_close()
        if proxy:
            proxy.kill()
            proxy.wait()
        shutil.rmtree(tmp, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description="Runs one end-to-end case of korvane.")
    parser.add_argument("--korvane", required=True, help="the program to test")
    parser.add_argument("case", type=Path, help="the case folder")
    options = parser.parse_args()
    case = options.case.resolve()
    variants = ["builtin"]
    if (case / "variants").exists():
        variants = (case / "variants").read_text().split()
    failed = skipped = False
    for variant in variants:
        try:
            failures = run_variant(case, str(Path(options.korvane).resolve()), variant)
        except Skip as reason:
            print(f"SKIP {case.name} [{variant}]: {reason}")
            skipped = True
            continue
        print(f"{'FAIL' if failures else 'PASS'} {case.name} [{variant}]")
        for failure in failures:
            print("  " + failure.replace("\n", "\n  "))
        failed = failed or bool(failures)
    return 1 if failed else SKIP if skipped else 0


if __name__ == "__main__":
    sys.exit(main())
