#!/usr/bin/env python3
"""Writes stored reports (-o's document) for the -f benchmark into OUT_DIR.

Usage: generate.py OUT_DIR [CAP_BYTES]

- updates-<N>.json: the report of N updates (1,000, 10,000 and 100,000),
  with the fields and lengths of the catalogue benchmark (bench/check), under
  three installed products, each update listed under one or two of them.
- The worst documents of at most CAP_BYTES (default 48 MiB), each a valid
  report: nested.json (a member korvane does not know, holding arrays nested
  as deep as the reader allows, again and again), small-objects.json (as many
  of the smallest updates as fit, each of distinct one-letter texts),
  long-strings.json (updates whose names and addresses are 1 MiB each), and
  deep.json (arrays nested as deep as the file allows, as the attack sent).
"""
import json
import os
import random
import sys
import time

PRODUCTS = [("Brivex for Server", "10.8.1"), ("Portal for Brivex", "10.8.1"),
            ("Brivex for DataStore", "10.7.1")]
PLATFORMS = ["Linux", "All", "Windows, Linux"]


def frame(updates, installed=(), extra=""):
    stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())
    head = {"schema": 1, "catalogue": "https://downloads.zedo.example/korvane/patches.json",
            "products": [{"name": n, "version": v, "directory": f"/home/brivex/zedo/{i}"}
                         for i, (n, v) in enumerate(PRODUCTS)],
            "installedPatches": list(installed)}
    tail = {"error": None, "checkedAt": stamp, "host": "brivex-app-01", "user": "brivex",
            "version": "1.1.0", "lastFailure": None}
    text = json.dumps(head, separators=(",", ":"))[:-1] + ',"updates":[' + updates + "]"
    return text + extra + "," + json.dumps(tail, separators=(",", ":"))[1:] + "\n"


def realistic(count, rng):
    updates = []
    for serial in range(1, count + 1):
        release = "10.8.1" if serial % 3 else "10.7.1"
        applies = [PRODUCTS[2][0]] if release == "10.7.1" else rng.choice(
            [[PRODUCTS[0][0]], [PRODUCTS[1][0]], [PRODUCTS[0][0], PRODUCTS[1][0]]])
        updates.append({
            "name": f"{', '.join(applies)} {release} Security and Stability Update Patch "
                    f"{serial:06d}",
            "products": ", ".join(applies), "appliesTo": applies,
            "qfeId": f"BRX-{release.replace('.', '')}-P-{serial:06d}",
            "url": f"https://downloads.zedo.example/patches/{release}/{serial:06d}/"
                   f"BRX-{release.replace('.', '')}-P-{serial:06d}.tar.gz",
            "releaseDate": f"20{rng.randint(18, 26)}-{rng.randint(1, 12):02d}-"
                           f"{rng.randint(1, 28):02d}",
            "platform": rng.choice(PLATFORMS), "security": rng.random() < 0.3})
    return ",".join(json.dumps(u, separators=(",", ":")) for u in updates)


def letters(n):
    """A distinct short text for n."""
    text = ""
    while True:
        text += chr(ord("a") + n % 26)
        n //= 26
        if not n:
            return text


def fill(cap, piece, make):
    """As many pieces as fit under the cap, joined by commas."""
    room = cap - len(frame("")) - 64
    parts, size, n = [], 0, 0
    while size + len(piece) + 1 < room:
        part = make(n)
        parts.append(part)
        size += len(part) + 1
        n += 1
    return ",".join(parts)


def main():
    out = sys.argv[1]
    cap = int(sys.argv[2]) if len(sys.argv) > 2 else 48 * 1024 * 1024
    os.makedirs(out, exist_ok=True)
    rng = random.Random(1)

    def write(name, text):
        with open(os.path.join(out, name), "w", encoding="utf-8") as f:
            f.write(text)

    for count in (1000, 10000, 100000):
        write(f"updates-{count}.json", frame(realistic(count, rng)))
    nest = "[" * 12 + "0" + "]" * 12
    write("nested.json", frame("", extra=',"x":[' + fill(cap, nest, lambda n: nest) + "]"))
    small = ('{"name":"%s","products":"%s","appliesTo":["%s"],"qfeId":"%s","url":"%s",'
             '"releaseDate":"%s","platform":"%s","security":true}')
    write("small-objects.json", frame(fill(cap, small % (("aaaa",) * 7), lambda n: small % (
        (letters(n),) * 7))))
    long_text = "x" * (1 << 20)
    big = ('{"name":"%s","products":"p","appliesTo":["Brivex for Server"],"qfeId":"q",'
           '"url":"%s","releaseDate":"d","platform":"Linux","security":false}')
    write("long-strings.json", frame(fill(cap, big % (long_text, long_text),
                                          lambda n: big % (long_text, long_text))))
    depth = (cap - 2) // 2
    write("deep.json", "[" * depth + "]" * depth)


if __name__ == "__main__":
    main()
