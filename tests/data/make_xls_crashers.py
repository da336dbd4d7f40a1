#!/usr/bin/env python3
"""Damages the sample old workbook (sales-old.xls) the same way every run and
keeps the files that crash the library reading old workbooks, as
xls-crash-<n>.xls.  Usage: make_xls_crashers.py <weibao-sheetread> <seed> <count>.
The helper is run on each file; a file that kills it with a signal is kept.
The committed files came from seeds 2 and 3 with 3000 files each."""
import os
import random
import struct
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
helper, seed, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
sample = open(os.path.join(here, "sales-old.xls"), "rb").read()
rng = random.Random(seed)
interesting = [0x00, 0xFF, 0x7F, 0x80, 0x01, 0xFE]
kept = 0
for i in range(count):
    b = bytearray(sample)
    strategy = rng.randrange(4)
    for _ in range(rng.randint(1, 8)):
        if strategy == 0:  # the compound file's header
            pos = 8 + rng.randrange(504)
        elif strategy == 1:  # anywhere past the signature
            pos = 8 + rng.randrange(len(b) - 12)
        else:  # the sectors
            pos = 512 + rng.randrange(len(b) - 516)
        if strategy == 3:  # a length or an offset made large
            v = rng.choice([0xFFFF, 0x7FFF, 0x8000, 0xFFFFFFFF, 0x7FFFFFFF, 0x10000, 0x2020])
            b[pos:pos + 4] = struct.pack("<I", v)
        else:
            b[pos] = rng.choice(interesting) if rng.random() < 0.6 else rng.randrange(256)
    name = os.path.join(here, "candidate.xls")
    with open(name, "wb") as f:
        f.write(b)
    run = subprocess.run([helper, name], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    if run.returncode < 0:
        kept += 1
        os.rename(name, os.path.join(here, "xls-crash-s%d-%d.xls" % (seed, i)))
if os.path.exists(os.path.join(here, "candidate.xls")):
    os.unlink(os.path.join(here, "candidate.xls"))
print("kept", kept)
