#!/usr/bin/env python3
"""Runs one end-to-end case of korvane: run_case.py --korvane BINARY CASE_DIR

Exit status 0: passed; 1: failed, with the differences on standard output;
77: skipped, a tool the case needs (tinyproxy, unshare -rn) is missing.

The files of a case folder (`args` and `expected.out` are the usual minimum):
  args              the arguments, one a line
  home/             copied into a throw-away HOME, where ZEDO.properties.<suffix>
                    becomes .ZEDO.properties.<host>.<suffix> as in scripts/sample.sh
                    (@HOME@ replaced in it); @HOST@ in other names becomes the
                    host (also in a link's target; @HOME@ in such a file is replaced)
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
  expected.json     instead of expected.out: standard output is one strict JSON
                    document (UTF-8) equal to this one, key order included
  expected.err      standard error, exactly (@TIME@ as above)
  plugin            (empty) the first line of standard output is a monitoring
                    plugin's status line whose state matches the exit status
  expected.status   exit status, 0 by default
  expected.log      lines (without time stamps) that the log holds in this order;
                    `-l <tmp>/korvane.log` is added when args has no -l
  unexpected.log    texts the log must not hold anywhere
  expected.settings lines the settings file holds after the run
  expected.files    "PATH MODE" (octal), "PATH absent" or "PATH fifo"; PATH is
                    relative to HOME
  expected.hits     number of requests for /korvane/patches.json
  display           run under Xvfb (1024x768), with "trayer" (a tray host at the top)
                    and "workarea X Y W H" (what the desktop's panels leave)
  program           korvane_alert: run that launcher from the build root instead
  steps             while it runs: "window TITLE" (waits), "gone TITLE", "click X Y"
                    (in it; negative: from the right or bottom), "corner M" (its corner
                    M px inside the work area's), "tray" (an icon in trayer), "file
                    PATH"/"nofile PATH" (in HOME), "sleep S", "exit S" (ends within S s)
  expected.files    also "PATH same": as the case's home/PATH
All of them may use @URL@ @SERVER@ @PORT@ (the server's) @HOME@ @TMP@ @CASE@ @ROOT@ @HOST@ @PROXY_PORT@.
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
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
import loopback  # noqa: E402
CATALOGUE = "/korvane/patches.json"
SKIP = 77
STAMP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: ", re.M)
PLUGIN_LINE = re.compile(r"KORVANE (OK|WARNING|CRITICAL|UNKNOWN) - [^|\n]+ \| "
                         r"updates=(\d+|U);0;;0 security_updates=(\d+|U);;0;0")
PLUGIN_STATES = ["OK", "WARNING", "CRITICAL", "UNKNOWN"]
PROXY_VARIABLES = ["http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                   "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"]


class Skip(Exception):
    pass


def install_home(source, home, subst):
    shutil.copytree(source, home, symlinks=True, dirs_exist_ok=True)
    for template in sorted(source.glob("ZEDO.properties.*")):
        suffix = template.name[len("ZEDO.properties."):]
        (home / template.name).unlink()
        target = home / f".ZEDO.properties.{socket.gethostname()}.{suffix}"
        target.write_text(subst(template.read_text()))
    for path in sorted(home.rglob("*@HOST@*"), reverse=True):  # odd names, links too
        target = path.with_name(path.name.replace("@HOST@", socket.gethostname()))
        if path.is_symlink():
            target.symlink_to(os.readlink(path).replace("@HOST@", socket.gethostname()))
            path.unlink()
        else:
            path.rename(target)
        if target.is_file() and not target.is_symlink():
            target.write_text(subst(target.read_text(errors="surrogateescape")),
                              errors="surrogateescape")


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


def compare_json(expected, stdout):
    def reject(constant):
        raise ValueError(f"{constant} is not JSON")
    try:  # pairs, not dicts: the order of the keys counts
        got = json.loads(stdout.decode("utf-8"), object_pairs_hook=list, parse_constant=reject)
    except ValueError as error:
        return [f"standard output is not one JSON document ({error}):\n{stdout!r}"]
    if got == json.loads(expected, object_pairs_hook=list):
        return []
    expected_text = json.dumps(json.loads(expected), indent=1, ensure_ascii=False).splitlines()
    got_text = json.dumps(json.loads(stdout), indent=1, ensure_ascii=False).splitlines()
    diff = difflib.unified_diff(expected_text, got_text, "expected.json", "standard output",
                                lineterm="")
    return ["standard output differs (or its keys are in another order):\n" + "\n".join(diff)]


def start_display(words, env, area):
    """Xvfb on a display number it chooses itself, and trayer when asked."""
    tools = ["Xvfb", "xdotool", "xwininfo", "xprop"] + ["trayer"] * ("trayer" in words)
    if not all(map(shutil.which, tools)):
        raise Skip(f"one of {' '.join(tools)} is missing (scripts/deps.sh installs them)")
    read, write = os.pipe()
    processes = [subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                   "-noreset", "-nolisten", "tcp"], pass_fds=[write],
                                  stderr=subprocess.DEVNULL)]
    os.close(write)
    with os.fdopen(read) as number:  # once it accepts clients; read the whole line, or it fails
        env["DISPLAY"] = ":" + number.readline().strip()
    env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"  # a session without a bus: XEmbed trays only
    subprocess.run(["xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA",
                    ", ".join(map(str, area))], env=env, check=True)  # as a window manager does
    if "trayer" in words:
        processes.append(subprocess.Popen(["trayer", "--edge", "top", "--align", "right",
                                           "--widthtype", "request", "--height", "32"], env=env))
        subprocess.run(["xdotool", "search", "--sync", "--classname", "^panel$"], env=env,
                       capture_output=True, timeout=10)
        time.sleep(0.5)  # it takes the tray selection after showing its panel
    return processes


def run_steps(steps, env, process, home, area):
    """Runs the steps while the program runs; returns the first failure, or None."""
    def xdo(*args):
        return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout

    def until(condition, what, seconds=10):
        deadline = time.time() + seconds
        while not condition():
            if time.time() > deadline:
                return f"timed out waiting for {what}"
            time.sleep(0.1)

    def search(title):
        return xdo("search", "--onlyvisible", "--name", f"^{re.escape(title)}$").split()

    window = None
    for step in steps:
        word, _, rest = step.partition(" ")
        if word in ("click", "corner"):
            shell = dict(pair.split("=") for pair in xdo("getwindowgeometry", "--shell",
                                                           window).split())
            x, y, w, h = (int(shell[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))
        problem = None
        if word in ("window", "gone"):
            problem = until(lambda: bool(search(rest)) == (word == "window"), step)
            window = (search(rest) or [window])[-1]
        elif word == "click":
            dx, dy = map(int, rest.split())
            xdo("mousemove", "--sync", str(x + dx % w), str(y + dy % h), "click", "1")
        elif word == "corner":
            inset = (area[0] + area[2] - x - w, area[1] + area[3] - y - h)
            if inset != (int(rest),) * 2:
                problem = f"window {x},{y} {w}x{h} is {inset} inside the work area's corner"
        elif word == "tray":
            panel = xdo("search", "--classname", "^panel$").split()[:1]
            tree = subprocess.run(["xwininfo", "-tree", "-id", *panel], env=env,
                                  capture_output=True, text=True).stdout
            problem = None if '("korvane"' in tree else "no icon in the tray:\n" + tree
        elif word in ("file", "nofile"):
            problem = until(lambda: (home / rest).exists() == (word == "file"), step)
        elif word == "sleep":
            time.sleep(float(rest))
        elif word == "exit":
            problem = until(lambda: process.poll() is not None, "the program's end", float(rest))
        if problem:
            return f"step {step!r}: {problem}"


def run_variant(case, korvane, variant):
    tmp = Path(tempfile.mkdtemp(prefix="korvane-e2e-"))
    home, proxy, server, x_processes = tmp / "home", None, None, []
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
    if (case / "program").exists():
        command = [str(Path(korvane).parents[1] / (case / "program").read_text().strip())]
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
            values["@PORT@"] = str(port)
            routes.update(json.loads(text("server.json", "{}")))  # may name @SERVER@
        home.mkdir()
        if (case / "sample").exists():
            install_home(ROOT / "examples" / "sample-home", home, subst)
        if (case / "home").is_dir():
            install_home(case / "home", home, subst)
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
        display = (text("display") or "").split()
        area = [int(n) for n in display[display.index("workarea") + 1:][:4]] if "workarea" in \
            display else [0, 0, 1024, 768]
        if (case / "display").exists():
            x_processes = start_display(display, env, area)
        os.umask(0o022)
        mask = int(text("umask", "22"), 8)
        process = subprocess.Popen(command + args, env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, cwd=tmp,
                                   preexec_fn=lambda: os.umask(mask))
        failures = list(filter(None, [x_processes and run_steps(lines("steps"), env, process,
                                                                 home, area)]))
        try:
            stdout, stderr = process.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            process.kill()
            process.communicate()
            return failures + ["the program did not finish within 60 s"]

        output = STAMP.sub("@TIME@: ", stdout.decode("utf-8", errors="replace"))
        expected = [text(f"expected.{variant}.out") or text("expected.out", "")] + [
            subst(path.read_text(encoding="utf-8")) for path in sorted(case.glob("expected.*.out"))
            if path.name.split(".")[1] not in ("builtin", "curl")]
        if (case / "expected.json").exists():
            failures += compare_json(text("expected.json"), stdout)
        elif output not in expected:
            diff = difflib.unified_diff(expected[0].splitlines(), output.splitlines(),
                                        "expected.out", "standard output", lineterm="")
            failures.append("standard output differs:\n" + "\n".join(diff))
        errors = STAMP.sub("@TIME@: ", stderr.decode("utf-8", errors="replace"))
        if text("expected.err") not in (None, errors):
            diff = difflib.unified_diff(text("expected.err").splitlines(), errors.splitlines(),
                                        "expected.err", "standard error", lineterm="")
            failures.append("standard error differs:\n" + "\n".join(diff))
        if (case / "plugin").exists():
            first = PLUGIN_LINE.fullmatch(output.split("\n")[0])
            if not first or PLUGIN_STATES.index(first[1]) != process.returncode:
                failures.append(f"not a plugin status line for exit status {process.returncode}")
        status = int(text("expected.status", "0"))
        if process.returncode != status:
            failures.append(f"exit status {process.returncode}, expected {status}")

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
            elif mode == "same":
                if not path.exists() or path.read_bytes() != (case / "home" / name).read_bytes():
                    failures.append(f"{path} differs from the case's home/{name}")
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
        if failures and stderr:
            failures.append("standard error:\n" + stderr.decode(errors="replace"))
        return failures
    finally:
        if server:
            server.shutdown()
            server.server_close()
        for helper in ([proxy] if proxy else []) + x_processes[::-1]:
            helper.terminate()  # Xvfb then removes its lock and socket
            helper.wait()
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
            failures = run_variant(case, str(Path(options.korvane).absolute()), variant)
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
