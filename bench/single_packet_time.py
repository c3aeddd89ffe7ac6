#!/usr/bin/env python3
"""Wall time of one single-packet run with -j, from start to exit.

Runs `korvane -j -f:<packet file>` (standard input /dev/null, so the key
wait ends at once) --runs times, one after another, and prints the mean,
median, fastest and slowest run in milliseconds. For comparison the same
is done without -j but with -v (the text report of the same layers).

Checks (exit status 1 when one fails): exit code 0; with -j exactly one
line on standard output, a JSON object of type "packet" whose bytes are
the file's bytes; the whole script within --seconds (runs left over are
not started).

Python 3 standard library only.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def check_json(output, packet):
    lines = output.splitlines()
    if len(lines) != 1:
        return "%d lines on standard output, not 1" % len(lines)
    value = json.loads(lines[0])
    if value.get("type") != "packet" or value.get("bytes") != packet.hex().upper():
        return "the object is not the packet of the file"
    return None


def time_runs(command, runs, deadline, packet, as_json):
    """Milliseconds of each run, and the problems seen."""
    times, problems = [], []
    for _ in range(runs):
        if time.monotonic() > deadline:
            problems.append("time cap reached after %d of %d runs" % (len(times), runs))
            break
        with open(os.devnull, "rb") as nothing:
            started = time.perf_counter()
            done = subprocess.run(command, stdin=nothing, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=10)
            times.append((time.perf_counter() - started) * 1000.0)
        if done.returncode != 0:
            problems.append("exit code %d" % done.returncode)
        elif as_json:
            found = check_json(done.stdout, packet)
            if found:
                problems.append(found)
        if problems:
            break
    return times, problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", required=True, help="path of the korvane executable")
    parser.add_argument("--packet", default=os.path.join(HERE, "..", "examples",
                                                         "ecall_track_msd.bin"))
    parser.add_argument("--runs", type=int, default=100, help="runs of each kind (default 100)")
    parser.add_argument("--seconds", type=float, default=120.0,
                        help="cap on the whole script's run time (default 120)")
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    with open(args.packet, "rb") as stream:
        packet = stream.read()
    deadline = time.monotonic() + args.seconds
    problems = []
    for label, options, as_json in (("-j", ["-j"], True), ("-v (text)", ["-v"], False)):
        command = [args.binary] + options + ["-f:" + args.packet]
        times, found = time_runs(command, args.runs, deadline, packet, as_json)
        problems += found
        if times:
            print("%-10s %d runs: mean %.2f ms, median %.2f ms, fastest %.2f ms, slowest %.2f ms"
                  % (label, len(times), statistics.mean(times), statistics.median(times),
                     min(times), max(times)))
    if problems:
        print("FAIL")
        for problem in problems:
            print("  - " + problem)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
