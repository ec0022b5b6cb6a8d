#!/usr/bin/env python3
"""Generates a patch catalogue and a matching installation for the check benchmark.

Usage: generate.py OUT_DIR PATCHES [INSTALLED_RECORDS]

Writes OUT_DIR/patches.json (PATCHES patches over 20 releases, field lengths
like the vendor's), OUT_DIR/home/ (a HOME with a Server and a Portal of
release 10.8.1 and a DataStore of 10.7.1, whose patch logs hold
INSTALLED_RECORDS records, default 10,000, some of them patches of the
catalogue) and OUT_DIR/installed.json (the same installation for jq).
The properties file is named for this machine's host name.
"""
import json
import os
import random
import socket
import sys

RELEASES = [f"10.{minor}.{patch}" for minor in range(5, 10) for patch in range(4)]  # 20 releases
INSTALLED = {"10.8.1": ["Server", "Portal"], "10.7.1": ["DataStore"]}
PRODUCT_TEXTS = [
    "Brivex for Server",
    "Portal for Brivex",
    "Brivex for DataStore",
    "Brivex for Server, Portal for Brivex",
    "Brivex Image Server",
    "Brivex for Desktop",
]
PLATFORMS = ["Linux", "Windows", "All", "Windows, Linux", "Solaris"]
NAMES = {
    "Server": ["Brivex for Server", "Brivex Server", "Server"],
    "Portal": ["Portal for Brivex", "Brivex for Portal", "Portal"],
    "DataStore": ["Brivex for DataStore", "Data Store", "DataStore"],
}
LOGS = {"Server": ".ZEDO_S_PATCH_LOG", "Portal": ".ZEDO_PORTAL_PATCH_LOG",
        "DataStore": ".ZEDO_DATASTORE_PATCH_LOG"}
KEYS = {"Server": "Z_BrivexServer_INSTALL_DIR", "Portal": "Z_BrivexPortal_INSTALL_DIR",
        "DataStore": "Z_BrivexDataStore_INSTALL_DIR"}


def catalogue(count, rng):
    per_release = count // len(RELEASES)
    groups = []
    serial = 0
    for release in RELEASES:
        patches = []
        for _ in range(per_release + (1 if len(groups) < count % len(RELEASES) else 0)):
            serial += 1
            products = rng.choice(PRODUCT_TEXTS)
            patches.append({
                "Name": f"{products} {release} Security and Stability Update Patch {serial:06d}",
                "Products": products,
                "SecurityPatch": rng.choice(["Yes", "No", "No"]),
                "Platform": rng.choice(PLATFORMS),
                "url": f"https://downloads.zedo.example/patches/{release}/{serial:06d}/"
                       f"BRX-{release.replace('.', '')}-P-{serial:06d}.tar.gz",
                "QFE_ID": f"BRX-{release.replace('.', '')}-P-{serial:06d}",
                "ReleaseDate": f"20{rng.randint(18, 26)}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}",
            })
        groups.append({"version": release, "patches": patches})
    return {"Product": groups}


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def installation(out, doc, records, rng):
    home = os.path.join(out, "home")
    props = {}
    for release, kinds in INSTALLED.items():
        body = [f"Z_REAL_VERSION={release}"]
        for kind in kinds:
            directory = os.path.join(home, "zedo", kind.lower() + "-" + release)
            body.append(f"{KEYS[kind]}={directory}")
            write(os.path.join(directory, ".Setup", "build_number"), f"{release}.4711\n")
        props[release] = "\n".join(body) + "\n"
    host = socket.gethostname()
    for i, (release, text) in enumerate(props.items()):
        write(os.path.join(home, f".ZEDO.properties.{host}.{i}"), text)

    # Installed records: three in ten of the catalogue's patches for the
    # installed releases (by title or by QFE_ID), the rest local hotfixes.
    candidates = [p for g in doc["Product"] if g["version"] in INSTALLED for p in g["patches"]]
    rng.shuffle(candidates)
    candidates = candidates[: min(len(candidates) * 3 // 10, records)]
    titles, ids = [], []
    per_log = records // 3
    for kind, release in (("Server", "10.8.1"), ("Portal", "10.8.1"), ("DataStore", "10.7.1")):
        directory = os.path.join(home, "zedo", kind.lower() + "-" + release)
        out_lines = []
        for n in range(per_log + (records % 3 if kind == "Server" else 0)):
            if candidates and n % 2 == 0:
                p = candidates.pop()
                title, qfe = (p["Name"], "") if n % 4 else ("", p["QFE_ID"])
            else:
                title, qfe = f"Local hotfix {kind} {n:06d}", f"LOCAL-{kind[:1]}-{n:06d}"
            out_lines += ["#START", f"QFE_ID: {qfe}" if qfe else "DATE: 2026-01-01",
                          f"QFE_TITLE: {title}" if title else "STATUS: applied", "#END"]
            if title:
                titles.append(title)
            if qfe:
                ids.append(qfe)
        write(os.path.join(directory, LOGS[kind]), "\n".join(out_lines) + "\n")
    products = [{"version": release, "names": NAMES[kind]}
                for release, kinds in INSTALLED.items() for kind in kinds]
    write(os.path.join(out, "installed.json"),
          json.dumps({"versions": list(INSTALLED), "titles": titles, "ids": ids, "products": products}))


def main():
    out = sys.argv[1]
    count = int(sys.argv[2])
    records = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    rng = random.Random(count)
    doc = catalogue(count, rng)
    write(os.path.join(out, "patches.json"), json.dumps(doc, indent=1))
    installation(out, doc, records, rng)


if __name__ == "__main__":
    main()
