#!/usr/bin/python3
"""Times commands in turn, run after run, so that load from elsewhere on the machine falls on all of
them alike. Usage: interleaved.py RUNS COMMAND... (each command one shell-free string).
Prints per command: median and fastest wall-clock seconds, median and fastest CPU (user + system)
seconds."""
import os
import shlex
import statistics
import subprocess
import sys
import time

runs = int(sys.argv[1])
commands = [shlex.split(c) for c in sys.argv[2:]]
wall = [[] for _ in commands]
cpu = [[] for _ in commands]
for run in range(runs + 1):  # the first round warms the caches and is not counted
    for i, command in enumerate(commands):
        start = time.monotonic()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.monotonic() - start
        if status != 0:
            sys.exit("failed: " + " ".join(command))
        if run > 0:
            wall[i].append(elapsed)
            cpu[i].append(usage.ru_utime + usage.ru_stime)
for w, c in zip(wall, cpu):
    print(statistics.median(w), min(w), statistics.median(c), min(c))
