#!/usr/bin/env python3
"""Writes the German guide for Windows: assets/LIESMICH.txt with the version filled in, in
Windows-1252 with CR LF, which Notepad of every Windows version reads.
Usage: write-guide.py VERSION OUT"""
import os
import sys

version, out = sys.argv[1], sys.argv[2]
root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
with open(os.path.join(root, "assets", "LIESMICH.txt"), encoding="utf-8") as f:
    text = f.read().replace("@VERSION@", version)
# A character outside Windows-1252 fails here rather than on the user's screen.
with open(out, "wb") as f:
    f.write(text.replace("\n", "\r\n").encode("cp1252"))
