#!/usr/bin/env python3
"""Writes a valid catalogue of about 99 MiB whose one large member has an
escaped name and holds only small arrays: {"\\u0078":[[0],[0],...],"Product":[]}.

Usage: escaped.py OUT_FILE
"""
import sys

TARGET = 99 * 1024 * 1024
with open(sys.argv[1], "w") as out:
    chunk = ",[0]" * 100000
    out.write('{"\\u0078":[[0]')
    written = 15
    while written + len(chunk) < TARGET - 20:
        out.write(chunk)
        written += len(chunk)
    out.write('],"Product":[]}')
