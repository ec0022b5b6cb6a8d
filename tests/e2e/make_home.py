#!/usr/bin/env python3
"""Builds one of the end-to-end cases' homes in a folder: make_home.py NAME FOLDER"""
import sys
from pathlib import Path

from run_case import make_home

make_home(sys.argv[1], Path(sys.argv[2]))
