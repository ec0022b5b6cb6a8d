"""Services on 127.0.0.1 for the end-to-end cases: a canned HTTP server, a
real tinyproxy, X servers that misbehave, and a name server that never answers.

The keys of a route (a path's answer) are those of `routes` in
tests/e2e/README.md. Every request is appended to the hits file as
"METHOD PATH STATUS BYTES" (the bytes of the body), plus " via" when it came
through a proxy.
"""
import ctypes
import http.server
import os
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse
import zlib


def gzipped(body, padding):
    """The body and its blanks, gzip-encoded a piece at a time: a bomb is never whole."""
    encoder = zlib.compressobj(9, zlib.DEFLATED, 31)  # 31: with a gzip header
    pieces = [encoder.compress(body)]
    for start in range(0, padding, 1 << 20):
        pieces.append(encoder.compress(b" " * min(padding - start, 1 << 20)))
    return b"".join(pieces) + encoder.flush()


def start_http(routes, hits_path, base=".", tls=None):
    """tls: (certificate, key) files to serve https instead."""
    lock = threading.Lock()
    asked = {}  # requests of each path so far

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_GET(self):
            path = urllib.parse.urlsplit(self.path).path  # also the absolute form of a proxy
            with lock:
                nth = asked[path] = asked.get(path, 0) + 1
            route = dict(routes.get(path, {"status": 404, "body": "not found"}))
            body = route.get("body", "").encode()
            for name, text in route.get("require", {}).items():
                if text not in self.headers.get(name, ""):
                    route = {"status": 400}
                    body = f"{name} does not contain {text}".encode()
            headers = dict(route.get("headers", {}))
            etags = route.get("etags", [])
            etag = etags[min(nth, len(etags)) - 1] if etags else None
            if etag:
                headers["ETag"] = etag
            if "last_modified" in route:
                headers["Last-Modified"] = route["last_modified"]
            if (etag and self.headers.get("If-None-Match") == etag) or (
                    not etag and "last_modified" in route
                    and self.headers.get("If-Modified-Since") == route["last_modified"]):
                route["status"], body = 304, b""
            elif "file" in route:  # read only when sent: a 304 costs a server nothing
                with open(os.path.join(base, route["file"]), "rb") as f:
                    body = f.read()
            if route.get("gzip"):
                body = gzipped(body, route.get("padding", 0))
                headers["Content-Encoding"] = "gzip"
            elif route.get("padding"):
                body += b" " * route["padding"]
            mode = route.get("mode")
            with lock, open(hits_path, "a") as hits:
                hits.write(f"{self.command} {path} {route.get('status', 200)} {len(body)}"
                           f"{' via' if self.headers.get('Via') else ''}\n")
            time.sleep(route.get("delay", 0))
            if mode == "stall":
                time.sleep(120)
                return
            self.wfile.write(route.get("head", "").encode("latin-1"))
            if not ("head" in route and mode == "endless"):
                self.send_response(route.get("status", 200), route.get("reason"))
                for name, value in headers.items():
                    self.send_header(name, value)
                if mode != "endless" and route.get("status", 200) != 304:
                    self.send_header("Content-Length", str(len(body)))
                self.send_header("Connection", "close")
                self.end_headers()
            if mode == "midway":
                self.wfile.write(body[:len(body) // 2])
                self.wfile.flush()
                time.sleep(120)
                return
            block = body * (1 + (1 << 20) // max(len(body), 1)) if mode == "endless" else b""
            try:
                self.wfile.write(body)
                while mode == "endless" and block:
                    self.wfile.write(block)
            except OSError:  # the client went away
                pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*tls)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, server.server_address[1]


def start_fake_x(mode):
    """An X server that is not one, on TCP display 127.0.0.1:N; returns (socket, N).
    "silent" takes connections (the kernel does, listening) and never answers;
    "refusing" answers the first connection set-up (with a failure) and then
    refuses connections, as a display does that goes away after the probe;
    "one-byte" sends the first byte of an answer to the first one and nothing more."""
    listener = socket.socket()
    for number in range(50, 100):
        try:
            listener.bind(("127.0.0.1", 6000 + number))
            break
        except OSError:
            continue
    listener.listen()
    reason = b"refused\0"  # padded to 4 bytes; the lengths in the byte order asked for ('l')
    failure = struct.pack("<BBHHH", 0, 7, 11, 0, len(reason) // 4) + reason

    def answer_once():
        client = listener.accept()[0]
        client.recv(12)
        client.sendall(failure if mode == "refusing" else failure[:1])
        if mode == "refusing":
            listener.close()
        else:
            client.recv(1)  # open, and silent, until the client goes away
        client.close()
    if mode in ("refusing", "one-byte"):
        threading.Thread(target=answer_once, daemon=True).start()
    return listener, number


def silent_dns_then_exec(folder, command):
    """In a network and mount namespace of its own (unshare -rnm): lo up, a name server on
    127.0.0.1 that reads the queries and never answers, named by a resolv.conf bound over
    /etc/resolv.conf; then the command in place of this process."""
    with open("/proc/self/uid_map") as mapping:  # never the machine's own resolv.conf
        if mapping.read().split() == ["0", "0", "4294967295"]:
            sys.exit("loopback.py silent-dns: run it in unshare -rnm")
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind(("127.0.0.1", 53))
    conf = os.path.join(folder, "resolv.conf")
    with open(conf, "w") as f:
        f.write("nameserver 127.0.0.1\n")
    subprocess.run(["mount", "--bind", conf, "/etc/resolv.conf"], check=True)
    parent = os.getpid()
    if os.fork() == 0:  # the name server, ended with the command (PR_SET_PDEATHSIG)
        ctypes.CDLL(None).prctl(1, signal.SIGKILL)
        quiet = os.open(os.devnull, os.O_RDWR)
        for stream in (0, 1, 2):  # the command's output ends with the command
            os.dup2(quiet, stream)
        while os.getppid() == parent:
            server.recv(512)
        os._exit(0)
    server.close()
    os.execvp(command[0], command)


def start_tinyproxy(user, password, workdir):
    """Starts tinyproxy in the foreground; returns (process, port) or raises."""
    for _ in range(3):  # the free port may be taken before tinyproxy binds it
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        config = os.path.join(workdir, "tinyproxy.conf")
        with open(config, "w") as f:
            f.write(f"Port {port}\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                    f'LogLevel Info\nLogFile "{workdir}/tinyproxy.log"\n')
            if user:
                f.write(f"BasicAuth {user} {password}\n")
        process = subprocess.Popen(["tinyproxy", "-d", "-c", config], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        deadline = time.time() + 5
        while time.time() < deadline and process.poll() is None:
            try:
                socket.create_connection(("127.0.0.1", port), 0.2).close()
                return process, port
            except OSError:
                time.sleep(0.02)
        process.kill()
        process.wait()
    raise RuntimeError("tinyproxy did not start")


if __name__ == "__main__" and sys.argv[1:2] == ["silent-dns"]:  # silent-dns FOLDER COMMAND...
    silent_dns_then_exec(sys.argv[2], sys.argv[3:])
