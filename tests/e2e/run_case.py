#!/usr/bin/env python3
"""Runs one end-to-end case of korvane: run_case.py --korvane BINARY CASE

CASE is a description cases/<area>/<case>.toml, or just its name. README.md
beside this file explains the keys of a description. Exit status 0: passed;
1: failed, with the differences on standard output; 77: skipped, a tool the
case needs (tinyproxy, unshare -rn, Xvfb...) is missing.
"""
import argparse
import difflib
import hashlib
import json
import os
import pwd
import re
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time
import tomllib
from datetime import datetime, timedelta, timezone
from pathlib import Path

E2E = Path(__file__).resolve().parent
ROOT = E2E.parents[1]
sys.path.insert(0, str(ROOT / "tests" / "support"))
import loopback  # noqa: E402

USER = pwd.getpwuid(os.getuid()).pw_name
VERSION = re.search(r"project\(Korvane VERSION (\S+)", (ROOT / "CMakeLists.txt").read_text())[1]
CATALOGUE = "/korvane/patches.json"
SETTINGS = ".config/Zedo/Korvane.conf"
SKIP = 77
STAMP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: ", re.M)
PLUGIN_LINE = re.compile(r"KORVANE (OK|WARNING|CRITICAL|UNKNOWN) - [^|\n]+ \| "
                         r"updates=(\d+|U);0;;0 security_updates=(\d+|U);;0;0")
PLUGIN_STATES = ["OK", "WARNING", "CRITICAL", "UNKNOWN"]
PROXY_VARIABLES = ["http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                   "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"]
HOME_KEYS = {"home", "files", "links", "dirs", "fifos", "devices", "settings"}
CASE_KEYS = HOME_KEYS | {"args", "variants", "env", "catalogue", "routes", "tinyproxy", "tls",
                         "unshare", "umask", "program", "run_as", "log_file", "display", "workarea",
                         "steps", "stdout_to", "then", "expect"}
EXPECT_KEYS = {"stdout", "stdout_alternatives", "stdout_matches", "first_line", "json",
               "json_file", "stderr",
               "stderr_matches", "status", "plugin", "log", "not_in_log", "settings",
               "settings_keys", "files", "hits", "statuses", "notifications", "metrics",
               "builtin", "curl"}


class Skip(Exception):
    pass


def load(path, keys):
    """A description, refused when it holds a key nobody reads (a misspelt check)."""
    data = tomllib.loads(path.read_text(encoding="utf-8"))
    unknown = set(data) - keys | set(data.get("expect", {})) - EXPECT_KEYS
    for then in data.get("then", []):
        unknown |= set(then) - EXPECT_KEYS - {"args", "after", "env"}
    if unknown:
        sys.exit(f"{path}: unknown keys {', '.join(sorted(unknown))}")
    return data


def catalogue_file(name):
    if name == "sample":
        return ROOT / "examples" / "catalogue" / "patches.json"
    return E2E / "catalogues" / f"{name}.json"


def make_home(name, home):
    """The home of that name outside a case (the fleet, the package checks): only the
    paths and the host name filled in."""
    build_home({"home": name}, home, lambda text: text.replace("@HOME@", str(home))
               .replace("@HOST@", socket.gethostname()))


def build_home(layer, home, subst):
    """Builds a home layer by layer: the home a layer names, then its own files, links,
    directories, FIFOs and settings over it."""
    if layer.get("home") == "sample":  # examples/sample-home, installed as scripts/sample.sh does
        sample = ROOT / "examples" / "sample-home"
        shutil.copytree(sample, home, dirs_exist_ok=True,
                        ignore=shutil.ignore_patterns("ZEDO.properties.*"))
        for template in sample.glob("ZEDO.properties.*"):
            suffix = template.name[len("ZEDO.properties."):]
            (home / f".ZEDO.properties.{socket.gethostname()}.{suffix}").write_text(
                subst(template.read_text()))
    elif "home" in layer:
        build_home(load(E2E / "homes" / f"{layer['home']}.toml", HOME_KEYS), home, subst)

    def fresh(name):  # what a lower layer put there gives way
        path = home / subst(name)
        path.parent.mkdir(parents=True, exist_ok=True)
        if path.is_symlink() or path.is_file():
            path.unlink()
        return path
    for name, text in layer.get("files", {}).items():
        fresh(name).write_text(subst(text), encoding="utf-8")
    for name, target in layer.get("links", {}).items():
        fresh(name).symlink_to(subst(target))
    for name in layer.get("dirs", []):
        fresh(name).mkdir(exist_ok=True)
    for name in layer.get("fifos", []):
        os.mkfifo(fresh(name), 0o600)
    for name in layer.get("devices", []):  # a null device of its own, never the system's
        try:
            os.mknod(fresh(name), 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        except PermissionError:
            raise Skip("device nodes cannot be made here (not root)")
    if "settings" in layer:
        fresh(SETTINGS).write_text(subst(layer["settings"]), encoding="utf-8")
        (home / SETTINGS).chmod(0o600)


def log_switch_value(args):
    switches = [i for i, arg in enumerate(args) if arg.lower() in ("-l", "/l", "l")]
    return args[switches[0] + 1] if switches and switches[0] + 1 < len(args) else ""


def in_order(wanted, lines):
    """The first wanted line (@ANY@ standing for any text) not found after the previous
    one, or None."""
    rest = iter(lines)  # each search goes on where the last one stopped
    for line in wanted:
        pattern = re.compile(".*".join(map(re.escape, line.split("@ANY@"))))
        if not any(pattern.fullmatch(got) for got in rest):
            return line
    return None


def stamped(stdout):
    """The document's text with every "checkedAt" of the last ten minutes read as @NOW@."""
    def stamp(found):
        when = datetime.strptime(found[1], "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=timezone.utc)
        recent = abs((datetime.now(timezone.utc) - when).total_seconds()) < 600
        return '"checkedAt":"@NOW@"' if recent else found[0]
    return re.sub(r'"checkedAt":"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)"', stamp,
                  stdout.decode("utf-8", errors="replace"))


def compare_json(expected, stdout):
    def reject(constant):
        raise ValueError(f"{constant} is not JSON")
    try:  # pairs, not dicts: the order of the keys counts
        got = json.loads(stamped(stdout), object_pairs_hook=list, parse_constant=reject)
    except ValueError as error:
        return [f"standard output is not one JSON document ({error}):\n{stdout!r}"]
    if got == json.loads(expected, object_pairs_hook=list):
        return []
    return [differs("the JSON document", *(
        json.dumps(json.loads(text), indent=1, ensure_ascii=False)
        for text in (expected, stamped(stdout))))]


def differs(what, expected, got):
    diff = difflib.unified_diff(expected.splitlines(), got.splitlines(), "expected", what,
                                lineterm="")
    return f"{what} differs:\n" + "\n".join(diff)


def until(condition, seconds=10):
    """Whether the condition came true within so many seconds."""
    deadline = time.time() + seconds
    while not condition():
        if time.time() > deadline:
            return False
        time.sleep(0.1)
    return True


def start_display(host, env, area, tmp):
    """Xvfb on a display number it chooses itself, and trayer or a session bus with dunst
    when asked."""
    bus = ["dbus-run-session", "dbus-monitor", "dunst", "dunstctl"]
    tools = ["Xvfb", "xdotool", "xwininfo", "xprop"] + {
        "trayer": ["trayer"], "dunst": bus, "wayland": bus + ["weston"]}.get(host, [])
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
    if host == "trayer":
        processes.append(subprocess.Popen(["trayer", "--edge", "top", "--align", "right",
                                           "--widthtype", "request", "--height", "32"], env=env))
        subprocess.run(["xdotool", "search", "--sync", "--classname", "^panel$"], env=env,
                       capture_output=True, timeout=10)
        time.sleep(0.5)  # it takes the tray selection after showing its panel
    if host in ("dunst", "wayland"):
        processes += start_dunst(env, tmp)
    if host == "wayland":
        processes.append(start_weston(env, tmp))
    return processes


def start_weston(env, tmp):
    """A headless Weston, and the environment of a Wayland session (Xwayland's DISPLAY is
    the Xvfb)."""
    runtime = tmp / "runtime"
    runtime.mkdir(mode=0o700)
    env.update(XDG_RUNTIME_DIR=str(runtime), WAYLAND_DISPLAY="wayland-korvane",
               XDG_SESSION_TYPE="wayland")
    weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--idle-time=0",
                               "--socket=wayland-korvane"], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    until((runtime / "wayland-korvane").exists)
    return weston


def start_dunst(env, tmp):
    """A session bus of its own with dunst as the notification server, and dbus-monitor
    recording the calls to it in notify.log."""
    bus = subprocess.Popen(["dbus-run-session", "--", "sh", "-c",
                            'echo "$DBUS_SESSION_BUS_ADDRESS"; exec sleep 300'], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                           start_new_session=True)  # its group: the bus goes with it
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    processes = [bus, subprocess.Popen(["dunst", "-config", str(E2E / "dunstrc")], env=env,
                                       stderr=subprocess.DEVNULL)]
    with open(tmp / "notify.log", "w") as log:
        processes.append(subprocess.Popen(["dbus-monitor", "--session",
                                           "interface='org.freedesktop.Notifications'"],
                                          env=env, stdout=log, stderr=subprocess.DEVNULL))
    until(lambda: "NameLost" in (tmp / "notify.log").read_text()  # monitoring has begun
          and subprocess.run(["dunstctl", "is-paused"], env=env,
                             capture_output=True).returncode == 0)
    return processes


def notify_calls(text):
    """The Notify calls in dbus-monitor's record, as dicts of their arguments."""
    calls = []
    for call in re.findall(r"member=Notify\n((?:   .*\n?)*)", text):
        top = re.findall(r"^   (\S.*)$", call, re.M)  # the arguments, one line each
        if len(top) < 10 or not top[-1].startswith("int32 "):
            continue  # still being written
        strings = [re.fullmatch(r'string "(.*)"', line, re.S) for line in top]
        urgency = re.search(r'string "urgency"\n\s*variant\s+byte (\d+)', call)
        calls.append({"app_name": strings[0][1], "app_icon": strings[2][1],
                      "summary": strings[3][1], "body": strings[4][1],
                      "actions": re.findall(r'^      string "(.*)"$',
                                            call.split("   array [", 2)[1], re.M),
                      "urgency": int(urgency[1]) if urgency else None,
                      "expire_timeout": int(top[-1].split()[1])})
    return calls


def peak_memory_mb(pid):
    """The largest peak of the process and its descendants."""
    try:
        peak = re.search(r"^VmHWM:\s+(\d+) kB", Path(f"/proc/{pid}/status").read_text(), re.M)
        children = Path(f"/proc/{pid}/task/{pid}/children").read_text().split()
    except OSError:  # gone
        return 0
    return max([int(peak[1]) // 1024 if peak else 0] + [peak_memory_mb(int(c)) for c in children])


def run_steps(steps, env, process, tmp, area):
    """Runs the steps while the program runs; returns the first failure, or None."""
    def xdo(*args):
        return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout

    def wait(condition, what, seconds=10):
        return None if until(condition, seconds) else f"timed out waiting for {what}"

    def search(title):
        return xdo("search", "--onlyvisible", "--name", f"^{re.escape(title)}$").split()

    def notified():
        log = tmp / "notify.log"
        return notify_calls(log.read_text()) if log.exists() else []

    home = tmp / "home"
    window = None
    for step in steps:
        word, _, rest = step.partition(" ")
        if word in ("click", "corner", "inside"):
            shell = dict(pair.split("=") for pair in xdo("getwindowgeometry", "--shell",
                                                           window).split())
            x, y, w, h = (int(shell[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))
        problem = None
        if word in ("window", "gone"):
            problem = wait(lambda: bool(search(rest)) == (word == "window"), step)
            window = (search(rest) or [window])[-1]
        elif word == "click":
            dx, dy = map(int, rest.split())
            xdo("mousemove", "--sync", str(x + dx % w), str(y + dy % h), "click", "1")
        elif word == "corner":
            inset = (area[0] + area[2] - x - w, area[1] + area[3] - y - h)
            if inset != (int(rest),) * 2:
                problem = f"window {x},{y} {w}x{h} is {inset} inside the work area's corner"
        elif word == "inside":
            if x < area[0] or y < area[1] or x + w > area[0] + area[2] or y + h > area[1] + area[3]:
                problem = f"window {x},{y} {w}x{h} is not inside the work area {area}"
        elif word == "tray":
            panel = xdo("search", "--classname", "^panel$").split()[:1]
            tree = subprocess.run(["xwininfo", "-tree", "-id", *panel], env=env,
                                  capture_output=True, text=True).stdout
            problem = None if '("korvane-desktop"' in tree else "no icon in the tray:\n" + tree
        elif word in ("file", "nofile"):
            problem = wait(lambda: (home / rest).exists() == (word == "file"), step)
        elif word == "notified":
            problem = wait(lambda: len(notified()) >= int(rest), step)
        elif word == "dunstctl":
            subprocess.run(["dunstctl", *rest.split()], env=env, capture_output=True)
        elif word == "memory":
            peak = peak_memory_mb(process.pid)
            if peak > int(rest):
                problem = f"the program took {peak} MB"
        elif word == "shot" and os.environ.get("KORVANE_SHOTS"):  # for a person to look at
            subprocess.run(["import", "-window", "root",
                            f"{os.environ['KORVANE_SHOTS']}/{rest}.png"], env=env)
        elif word == "sleep":
            time.sleep(float(rest))
        elif word == "exit":
            problem = wait(lambda: process.poll() is not None, "the program's end", float(rest))
        if problem:
            return f"step {step!r}: {problem}"


def run_variant(path, case, korvane, variant):
    tmp = Path(tempfile.mkdtemp(prefix="korvane-e2e-"))
    home, proxy, server, x_processes, fake_x = tmp / "home", None, None, [], None
    started = datetime.now(timezone.utc)
    own = path.with_suffix("")  # the case's own files, if it has any
    values = {"@HOME@": str(home), "@TMP@": str(tmp), "@CASE@": str(own),
              "@ROOT@": str(ROOT), "@HOST@": socket.gethostname(), "@USER@": USER,
              "@VERSION@": VERSION}
    if "catalogue" in case:
        values["@CATALOGUE@"] = str(catalogue_file(case["catalogue"]))

    def subst(text):
        text = re.sub(r"@OUTPUT:([\w-]+)@", lambda name: (E2E / "outputs" / f"{name[1]}.txt")
                      .read_text(encoding="utf-8"), text)
        text = re.sub(r"@HOURS_AGO:(-?[\d.]+)@", lambda hours: (started - timedelta(
            hours=float(hours[1]))).strftime("%Y-%m-%dT%H:%M:%SZ"), text)
        for key, value in values.items():
            text = text.replace(key, value)
        return text

    def lines(text):
        return [line for line in subst(text).split("\n") if line.strip()]

    def check_output(expect, stdout, stderr, returncode):
        failures = []
        output = STAMP.sub("@TIME@: ", (stdout or b"").decode("utf-8", errors="replace"))
        expected = [subst(text) for text in [expect.get("stdout", "")]
                    + expect.get("stdout_alternatives", [])]
        if "json" in expect:
            failures += compare_json(subst(expect["json"]), stdout)
        elif "json_file" in expect:  # the document in that file
            failures += compare_json(Path(subst(expect["json_file"])).read_text(), stdout)
        elif "stdout_matches" in expect:
            if not re.fullmatch(expect["stdout_matches"], output, re.S):
                failures.append(f"standard output does not match {expect['stdout_matches']!r}:\n"
                                + output)
        elif "first_line" in expect:
            if output.split("\n")[0] != subst(expect["first_line"]):
                failures.append(differs("first line", subst(expect["first_line"]), output))
        elif output not in expected and not (expect.get("plugin") and "stdout" not in expect):
            failures.append(differs("standard output", expected[0], output))
        errors = STAMP.sub("@TIME@: ", stderr.decode("utf-8", errors="replace"))
        if "stderr" in expect and subst(expect["stderr"]) != errors:
            failures.append(differs("standard error", subst(expect["stderr"]), errors))
        if "stderr_matches" in expect and not re.fullmatch(expect["stderr_matches"], errors, re.S):
            failures.append(f"standard error does not match {expect['stderr_matches']!r}:\n"
                            + errors)
        if expect.get("plugin"):
            first = PLUGIN_LINE.fullmatch(output.split("\n")[0])
            if not first or PLUGIN_STATES.index(first[1]) != returncode:
                failures.append(f"not a plugin status line for exit status {returncode}")
        if returncode != expect.get("status", 0):
            failures.append(f"exit status {returncode}, expected {expect.get('status', 0)}")
        return failures

    expect = dict(case.get("expect", {}))
    overrides = {name: expect.pop(name, {}) for name in ("builtin", "curl")}
    expect.update(overrides[variant])
    command = [korvane]
    if "program" in case:
        command = [str(Path(korvane).parents[1] / case["program"])]
    try:
        if case.get("unshare"):
            dns = case["unshare"] == "silent-dns"
            flags = "-rnm" if dns else "-rn"
            if not shutil.which("unshare") or (dns and not shutil.which("ip")) or subprocess.run(
                    ["unshare", flags, "true"], capture_output=True).returncode != 0:
                raise Skip(f"unshare {flags} (or ip) is missing or not permitted here "
                           "(user namespaces off)")
            command = ["unshare", flags] + dns * [sys.executable, loopback.__file__, "silent-dns",
                                                  str(tmp)] + [korvane]
        if "run_as" in case:  # another user, in a throw-away folder open to all
            if os.getuid() != 0 or not shutil.which("setpriv"):
                raise Skip("run_as needs root and setpriv")
            os.chmod(tmp, 0o1777)
            user = pwd.getpwnam(case["run_as"])
            command = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}",
                       "--clear-groups", "--"] + command
        if "tinyproxy" in case:
            if not shutil.which("tinyproxy"):
                raise Skip("tinyproxy is not installed (scripts/deps.sh installs it)")
            proxy, port = loopback.start_tinyproxy(*case["tinyproxy"], str(tmp))
            values["@PROXY_PORT@"] = str(port)
        if "catalogue" in case or "routes" in case:
            routes = {CATALOGUE: {"catalogue": case["catalogue"]}} if "catalogue" in case else {}
            for route_path, route in case.get("routes", {}).items():
                routes.setdefault(route_path, {}).update(route)
            served = {}  # filled once the port is known
            tls = case.get("tls") and (ROOT / "tests/data/tls/selfsigned.crt",
                                       ROOT / "tests/data/tls/selfsigned.key")
            server, port = loopback.start_http(served, str(tmp / "hits.log"), str(own), tls)
            values["@SERVER@"] = f"http{'s' if tls else ''}://127.0.0.1:{port}"
            values["@URL@"] = values["@SERVER@"] + CATALOGUE
            values["@CACHE_KEY@"] = hashlib.sha256(values["@URL@"].encode()).hexdigest()[:32]
            values["@PORT@"] = str(port)
            for route_path, route in routes.items():  # may name @SERVER@
                route = json.loads(subst(json.dumps(route)))
                if "catalogue" in route:
                    route["file"] = str(catalogue_file(route.pop("catalogue")))
                served[route_path] = route
        home.mkdir()
        build_home(case, home, subst)

        args = [subst(arg) for arg in case.get("args", [])] + ["-r"] * (variant == "curl")
        has_log = "log" in expect or "not_in_log" in expect
        log = log_switch_value(args) or subst(case.get("log_file", ""))
        if not log and has_log:
            log = str(tmp / "korvane.log")
            args += ["-l", log]

        env = {name: value for name, value in os.environ.items()
               if name not in PROXY_VARIABLES + ["XDG_CONFIG_HOME", "LANGUAGE", "WAYLAND_DISPLAY"]
               and not name.startswith("LC_")}
        env.update(HOME=str(home), DISPLAY="", LANG="C.UTF-8", TMPDIR=str(tmp),
                   XDG_CONFIG_DIRS=str(tmp / "xdg"))  # never the machine's /etc/xdg
        for name in ("ASAN_OPTIONS", "LSAN_OPTIONS") if "run_as" in case else ():
            # The sanitizer's suppressions, where the other user can read them.
            def readable(found, name=name):
                return "suppressions=" + str(shutil.copy(found[1], tmp / f"{name}.supp"))
            env[name] = re.sub(r"\bsuppressions=([^:]+)", readable, env.get(name, ""))
        def environment(base, changes):  # False removes a variable
            changed = {name: value and subst(value) for name, value in changes.items()}
            return {name: value for name, value in {**base, **changed}.items()
                    if value is not False}
        env = environment(env, case.get("env", {}))
        area = case.get("workarea", [0, 0, 1024, 768])
        if case.get("display") in ("silent", "refusing", "one-byte"):
            fake_x, number = loopback.start_fake_x(case["display"])
            env["DISPLAY"] = values["@DISPLAY@"] = f"127.0.0.1:{number}"
        elif "display" in case:
            x_processes = start_display(case["display"], env, area, tmp)
        os.umask(0o022)
        mask = case.get("umask", 0o022)
        stdout_to = open(case["stdout_to"], "wb") if "stdout_to" in case else subprocess.PIPE
        process = subprocess.Popen(command + args, env=env, stdout=stdout_to,
                                   stderr=subprocess.PIPE, cwd=tmp,
                                   preexec_fn=lambda: os.umask(mask))
        def start(then):
            return subprocess.Popen(command + [subst(arg) for arg in then["args"]],
                                    env=environment(env, then.get("env", {})),
                                    cwd=tmp, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        thens = []  # [[then]] runs, those with "after" started while the first one runs
        for then in sorted(case.get("then", []), key=lambda then: "after" not in then):
            if "after" in then:
                time.sleep(max(0.0, then["after"] - (time.time() - started.timestamp())))
            thens.append((then, start(then) if "after" in then else None))
        steps = [subst(step) for step in case.get("steps", [])]
        failures = list(filter(None, [steps and run_steps(steps, env, process, tmp, area)]))
        try:
            stdout, stderr = process.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            process.kill()
            process.communicate()
            return failures + ["the program did not finish within 60 s"]

        failures += check_output(expect, stdout, stderr, process.returncode)
        for then, other in thens:  # the others one after another
            other = other or start(then)
            failures += [f"then {' '.join(then['args'])}: {failure}" for failure in
                         check_output(then, *other.communicate(timeout=60), other.returncode)]

        if has_log:
            log_text = Path(log).read_text(errors="replace") if Path(log).is_file() else ""
            log_lines = STAMP.sub("", log_text).splitlines()
            missing = in_order(lines(expect.get("log", "")), log_lines)
            if missing is not None:
                failures.append(f"log {log} lacks (in this order) the line:\n  {missing}\n"
                                "log:\n  " + "\n  ".join(log_lines))
            failures += [f"log {log} contains {text!r}"
                         for text in expect.get("not_in_log", []) if text in log_text]

        settings = home / SETTINGS
        stored = settings.read_text().splitlines() if settings.is_file() else []
        failures += [f"settings file lacks the line {line!r}; it holds:\n  " + "\n  ".join(stored)
                     for line in lines(expect.get("settings", "")) if line not in stored]
        keys = sorted(line.split("=")[0] for line in stored if "=" in line)
        if keys != sorted(expect.get("settings_keys", keys)):
            failures.append(f"settings file holds the keys {keys}")

        def state(file, wanted):  # in the words of expect.files
            if not os.path.lexists(file):
                return "absent"
            if wanted == "same":
                return "same" if file.read_bytes() == subst(case["files"][name]).encode() \
                    else "changed"
            if stat.S_ISFIFO(os.lstat(file).st_mode):
                return "fifo"
            if stat.S_ISCHR(os.lstat(file).st_mode):
                return "device"
            return f"{file.stat().st_mode & 0o777:o}"
        for name, wanted in expect.get("files", {}).items():
            file = home / subst(name)  # an absolute name stays as it is
            if state(file, wanted) != wanted:
                failures.append(f"{file} is {state(file, wanted)}, expected {wanted}")
        for name, wanted in expect.get("metrics", {}).items():  # checked by promtool too
            file = home / subst(name)
            text = file.read_text() if file.is_file() else ""
            if not re.fullmatch(".*".join(map(re.escape, subst(wanted).split("@ANY@"))), text,
                                re.S):
                failures.append(differs(str(file), subst(wanted), text))
            if not shutil.which("promtool"):
                raise Skip("promtool is missing (scripts/deps.sh installs prometheus)")
            lint = subprocess.run(["promtool", "check", "metrics"], input=text.encode(),
                                  capture_output=True)
            if lint.returncode != 0 or lint.stdout or lint.stderr:
                failures.append(f"promtool check metrics on {file}:\n{lint.stdout + lint.stderr}")

        if "notifications" in expect:
            calls = notify_calls((tmp / "notify.log").read_text())
            expected = json.loads(subst(json.dumps(expect["notifications"])))
            got = [{key: call[key] for key in wanted if key in call}
                   for call, wanted in zip(calls, expected)] + calls[len(expected):]
            if got != expected:
                failures.append(f"notifications differ:\n  expected {expected}\n  got {calls}")

        hits_log = tmp / "hits.log"
        served = [line.split()[2] for line in (hits_log.read_text().splitlines()
                                               if hits_log.exists() else [])
                  if line.split()[1] == CATALOGUE]
        if "hits" in expect and len(served) != expect["hits"]:
            failures.append(f"{len(served)} requests for {CATALOGUE}, expected {expect['hits']}")
        if "statuses" in expect and served != [str(status) for status in expect["statuses"]]:
            failures.append(f"{CATALOGUE} answered {served}, expected {expect['statuses']}")
        if failures and stderr:
            failures.append("standard error:\n" + stderr.decode(errors="replace"))
        return failures
    finally:
        if server:
            server.shutdown()
            server.server_close()
        if fake_x:
            fake_x.close()
        for helper in ([proxy] if proxy else []) + x_processes[::-1]:
            if helper.args[0] == "dbus-run-session":
                os.killpg(helper.pid, signal.SIGTERM)  # its group: the bus and its child
            else:
                helper.terminate()  # Xvfb then removes its lock and socket
            helper.wait()
        shutil.rmtree(tmp, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description="Runs one end-to-end case of korvane.")
    parser.add_argument("--korvane", required=True, help="the program to test")
    parser.add_argument("case", type=Path, help="cases/<area>/<case>.toml, or <case>")
    options = parser.parse_args()
    path = options.case if options.case.suffix == ".toml" else next(
        (E2E / "cases").glob(f"*/{options.case.name}.toml"), options.case)
    path = path.resolve()
    case = load(path, CASE_KEYS)
    name = f"{path.parent.name}/{path.stem}"
    failed = skipped = False
    for variant in case.get("variants", ["builtin"]):
        try:
            failures = run_variant(path, case, str(Path(options.korvane).absolute()), variant)
        except Skip as reason:
            print(f"SKIP {name} [{variant}]: {reason}")
            skipped = True
            continue
        print(f"{'FAIL' if failures else 'PASS'} {name} [{variant}]")
        for failure in failures:
            print("  " + failure.replace("\n", "\n  "))
        failed = failed or bool(failures)
    return 1 if failed else SKIP if skipped else 0


if __name__ == "__main__":
    sys.exit(main())
