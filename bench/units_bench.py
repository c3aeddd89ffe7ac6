#!/usr/bin/env python3
"""Figures of the simulated units (-e:) against a fast confirming platform
of their own (bench/confirming_platform), all on 127.0.0.1:

  * units connected and authorized a second (every unit started at once);
  * records confirmed a second with 1,000 and with 10,000 units, each unit
    sending a position every 0.1 s (10 records a second offered per unit);
  * peak memory (VmHWM) of korvane with 10,000 units;
  * confirmation latency as the units measure it (first sending to
    RECORD_RESPONSE, milliseconds): with a platform that answers at once it
    is what korvane and the loopback add.

Every run is bounded (positions per unit, and a timeout). Usage:
  bench/units_bench.py --build build [--quick]
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time


def start_platform(build):
    platform = subprocess.Popen([os.path.join(build, "confirming_platform"), "0", "600"],
                                stdout=subprocess.PIPE, text=True)
    port = int(platform.stdout.readline().split()[1])
    return platform, port


def run_units(build, port, count, positions, period, rate=0, per_packet=1):
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                           "unit_profile.json")) as f:
        profile = json.load(f)
    profile.update({"positions": positions, "ext_pos": False, "state": False,
                    "vehicle_data": False})
    profile["route"]["period_s"] = period
    profile["records_per_packet"] = per_packet
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(profile, f)
        path = f.name
    option = "-e:%s:%d" % (path, count) + (":%d" % rate if rate else "")
    started = time.monotonic()
    output = tempfile.TemporaryFile("w+")
    korvane = subprocess.Popen([os.path.join(build, "korvane"), option,
                                "-s:127.0.0.1:%d" % port, "-j"],
                               stdin=subprocess.DEVNULL, stdout=output,
                               stderr=subprocess.DEVNULL, text=True)
    peak_kib = 0
    while korvane.poll() is None:
        try:
            with open("/proc/%d/status" % korvane.pid) as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        peak_kib = max(peak_kib, int(line.split()[1]))
        except OSError:
            pass
        time.sleep(0.2)
        if time.monotonic() - started > 300:
            korvane.kill()
    os.unlink(path)
    output.seek(0)
    summary = json.loads(output.read().strip().splitlines()[-1])
    return summary, peak_kib


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--quick", action="store_true", help="1,000 units only")
    args = parser.parse_args()
    platform, port = start_platform(args.build)
    try:
        print("machine: %d cores, shared with other builds while measured" % os.cpu_count())
        single, _ = run_units(args.build, port, 1, 50, 0.1)
        print("1 unit, 50 positions: latency ms %s" % single["latency_ms"])
        runs = [(1000, 1), (1000, 10), (10000, 1), (10000, 10)]
        for count, per_packet in (runs[:2] if args.quick else runs):
            # 10 records a second offered per unit, for 15 s: one a packet
            # every 0.1 s, or ten a packet every second.
            summary, peak = run_units(args.build, port, count, 150, 0.1 * per_packet,
                                      per_packet=per_packet)
            auth_max_s = max(summary["last_authorized_s"] or 0, 0.001)
            print("%d units, %d records a packet: authorized %d in %.2f s (%.0f units/s); records sent %d, "
                  "confirmed %d, lost %d, skipped %d in %.1f s = %.0f records/s confirmed; "
                  "latency ms %s; auth ms %s; peak RSS %.1f MiB"
                  % (count, per_packet, summary["authorized"], auth_max_s, summary["authorized"] / auth_max_s,
                     summary["records_sent"], summary["records_confirmed"], summary["lost"],
                     summary["positions_skipped"], summary["duration_s"],
                     summary["records_confirmed"] / summary["duration_s"],
                     summary["latency_ms"], summary["auth_ms"], peak / 1024.0))
    finally:
        platform.terminate()
        platform.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
