#!/usr/bin/env python3
"""Times each bundled conformance run against Korvane's own simulated unit.

Usage: conformance_runs.py [--korvane build/korvane] [--runs examples/runs]
                           [--profile bench/conformance_unit.json] [--limit 90]

For every run but configuration procedure 1 (its answers come by SMS):
one korvane listens on 127.0.0.1 (a port from the OS) with
-r -t:<run> -u:<profile> -l:<verdict>.json and -l:<verdict>.xml in two
rounds, another plays the unit (-e:<profile> -s:127.0.0.1:<port>). Prints
the exit code, the run's own time from its verdict, the wall time of the
platform process, and the sizes of the JSON and JUnit verdicts. Each
process is bounded by --limit seconds.
"""
import argparse
import json
import os
import socket
import subprocess
import sys
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def one(korvane, run, profile, verdict, limit):
    port = free_port()
    platform = subprocess.Popen(
        [korvane, f"-b:127.0.0.1:{port}", "-r", f"-t:{run}", f"-u:{profile}", f"-l:{verdict}"],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    started = time.monotonic()
    # The listener is up once the prompt is written.
    line = b""
    while b"Please type 'quit'" not in line:
        line = platform.stdout.readline()
        if not line:
            break
    unit = subprocess.Popen([korvane, f"-e:{profile}", f"-s:127.0.0.1:{port}"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        platform.stdout.read()
        code = platform.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        platform.kill()
        code = -1
    wall = time.monotonic() - started
    unit.kill()
    unit.wait()
    return code, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--korvane", default="build/korvane")
    parser.add_argument("--runs", default="examples/runs")
    parser.add_argument("--profile", default="bench/conformance_unit.json")
    parser.add_argument("--limit", type=float, default=90)
    args = parser.parse_args()
    # Configuration procedure 1 goes by SMS: its answers are typed by a
    # person (or a modem's software), not by a simulated unit.
    runs = sorted(f for f in os.listdir(args.runs)
                  if f.endswith(".json") and f != "configuration_1.json")
    print(f"{'run':28} {'exit':>4} {'run s':>7} {'wall s':>7} {'JSON B':>7} {'XML B':>7}  failed step")
    with tempfile.TemporaryDirectory() as scratch:
        for name in runs:
            path = os.path.join(args.runs, name)
            json_file = os.path.join(scratch, name)
            xml_file = os.path.join(scratch, name + ".xml")
            profile = args.profile
            if name == "configuration_2.json":
                # The procedure wants a unit that comes with TID 0.
                unit = json.load(open(args.profile))
                unit["tid"] = 0
                profile = os.path.join(scratch, "tid0.json")
                json.dump(unit, open(profile, "w"))
            code, wall = one(args.korvane, path, profile, json_file, args.limit)
            one(args.korvane, path, profile, xml_file, args.limit)
            verdict = json.load(open(json_file)) if os.path.exists(json_file) else {"runs": []}
            run = verdict["runs"][0] if verdict["runs"] else {}
            took = (run.get("ended_ms", 0) - run.get("started_ms", 0)) / 1000
            failed = next((f"{s['index']} {s['step']}: {s.get('reason', '')}"
                           for s in run.get("steps", []) if s["result"] == "failed"), "")
            sizes = [os.path.getsize(f) if os.path.exists(f) else 0 for f in (json_file, xml_file)]
            print(f"{name:28} {code:>4} {took:>7.3f} {wall:>7.3f} {sizes[0]:>7} {sizes[1]:>7}  {failed}")
            sys.stdout.flush()


if __name__ == "__main__":
    main()
