#!/usr/bin/env python3
"""Speed and memory of capture mode (-p:) on a capture of many EGTS packets.

Writes a capture with make_capture.py (at least --packets EGTS packets),
then runs korvane on it with -x -j (every subrecord decoded and checked,
JSON Lines to a file) and with the transport report only (text to a file),
each --repeat times, and prints for each run the wall time, the CPU time,
packets per second (by CPU time, so one core's rate whatever else the
machine does), megabytes of capture per second and the peak resident
memory. Bounded by --timeout per run; files only in a temporary directory.

    bench/capture_throughput.py [--binary build-bench/korvane] [--packets 1000000]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(binary, options, capture, output, timeout):
    started = time.time()
    with open(output, "wb") as out:
        child = subprocess.Popen([binary] + options + ["-p:" + capture], stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=subprocess.DEVNULL)
        deadline = started + timeout
        while True:
            pid, status, usage = os.wait4(child.pid, os.WNOHANG)
            if pid == child.pid:
                break
            if time.time() > deadline:
                child.kill()
                sys.exit("korvane did not finish within %.0f s" % timeout)
            time.sleep(0.05)
        child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit("korvane ended with %d" % child.returncode)
    wall = time.time() - started
    # This run's own CPU time and peak resident memory (kB).
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default="build-bench/korvane")
    parser.add_argument("--packets", type=int, default=1000000)
    parser.add_argument("--connections", type=int, default=8)
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=600)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="korvane_capture_") as root:
        capture = os.path.join(root, "bench.pcap")
        made = subprocess.run([sys.executable, os.path.join(HERE, "make_capture.py"), capture,
                               "--packets", str(args.packets), "--connections",
                               str(args.connections)], check=True, capture_output=True, text=True)
        print(made.stdout.strip())
        size_mb = os.path.getsize(capture) / 1e6
        for name, options in (("transport report only", []), ("-x -j", ["-x", "-j"])):
            for _ in range(args.repeat):
                output = os.path.join(root, "out")
                wall, cpu, rss = run(args.binary, options, capture, output, args.timeout)
                print("%-22s %.2f s wall, %.2f s CPU: %.0f packets/s, %.1f MB/s of capture (by CPU), "
                      "peak RSS %.1f MiB, %.0f MB written" %
                      (name, wall, cpu, args.packets / cpu, size_mb / cpu, rss,
                       os.path.getsize(output) / 1e6))
                os.unlink(output)


if __name__ == "__main__":
    main()
