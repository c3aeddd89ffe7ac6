#!/usr/bin/env python3
"""Peak resident memory of Korvane reporting one very large packet file.

A packet file of --size bytes of packet data (a sound header, then zeros;
the file is sparse, so writing it costs no disk) is dropped into the
incoming directory of a running server, and the same bytes are given to
single-packet mode with -f:. For each, the script reads the whole report
from a pipe, checks its length and its first bytes, and prints the
resident memory before and the peak (VmHWM) after. Bounded by --timeout.

    bench/big_file_rss.py [--binary build-bench/korvane] [--size 1073741824]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time

from egts_bench import crc8

HEADER_LINES = b"000001\r\n112\r\n1 4\r\n1700000000\r\n"


def packet_head():
    """A sound 11-byte transport header (FDL 0), the start of the packet."""
    head = bytes.fromhex("0100000B00000001000" + "1")
    return head + bytes([crc8(head)])


def write_sparse(path, prefix, size):
    with open(path, "wb") as out:
        out.write(prefix)
        out.truncate(len(prefix) + size)


def memory(pid, field):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])  # kB
    return 0


class Reader(threading.Thread):
    """Reads a pipe to its end, counting bytes and keeping the first and last
    parts of the output."""

    def __init__(self, pipe):
        super().__init__(daemon=True)
        self.pipe = pipe
        self.total = 0
        self.head = b""
        self.tail = b""
        self.lock = threading.Lock()

    def run(self):
        while True:
            chunk = os.read(self.pipe.fileno(), 1 << 20)
            if not chunk:
                return
            with self.lock:
                self.total += len(chunk)
                if len(self.head) < 4096:
                    self.head += chunk[: 4096 - len(self.head)]
                self.tail = (self.tail + chunk)[-65536:]

    def contains(self, text):
        with self.lock:
            return text in self.head or text in self.tail


def wait_for(predicate, deadline, what):
    while not predicate():
        if time.time() > deadline:
            sys.exit("timed out waiting for " + what)
        time.sleep(0.02)


def run_incoming(binary, root, size, deadline):
    dirs = [os.path.join(root, name) for name in ("in", "work", "out")]
    server = subprocess.Popen(
        [binary, "-n:" + dirs[0], "-w:" + dirs[1], "-o:" + dirs[2]],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    reader = Reader(server.stdout)
    reader.start()
    try:
        wait_for(lambda: reader.contains(b"Please type 'quit'"), deadline, "the server")
        time.sleep(0.5)
        idle = memory(server.pid, "VmRSS")
        staged = os.path.join(root, "big.part")
        write_sparse(staged, HEADER_LINES + packet_head(), size - 11)
        started = time.time()
        os.rename(staged, os.path.join(dirs[0], "big.txt"))
        wait_for(lambda: reader.contains(b"Validating result"), deadline, "the report")
        took = time.time() - started
        peak = memory(server.pid, "VmHWM")
        server.stdin.write(b"quit\n")
        server.stdin.close()
        server.wait(max(1, deadline - time.time()))
    finally:
        if server.poll() is None:
            server.kill()
    reader.join(5)
    expected_hex = b"Main:   File: 'big.txt'\nPacket data: \n [" + packet_head().hex().upper().encode()
    assert expected_hex in reader.head, reader.head[:200]
    return idle, peak, took, reader.total


def run_single(binary, root, size, deadline):
    # The idle figure of single-packet mode: the peak of a run on the bare header.
    idle = single_peak(binary, root, 11, deadline)[0]
    peak, took, total = single_peak(binary, root, size, deadline)
    return idle, peak, took, total


def single_peak(binary, root, size, deadline):
    path = os.path.join(root, "big.bin")
    write_sparse(path, packet_head(), size - 11)
    single = subprocess.Popen([binary, "-f:" + path], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    reader = Reader(single.stdout)
    reader.start()
    started = time.time()
    try:
        wait_for(lambda: reader.contains(b"Press any key"), deadline, "the report")
        took = time.time() - started
        peak = memory(single.pid, "VmHWM")
        single.stdin.close()
        single.wait(max(1, deadline - time.time()))
    finally:
        if single.poll() is None:
            single.kill()
    reader.join(5)
    os.unlink(path)
    return peak, took, reader.total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default="build-bench/korvane")
    parser.add_argument("--size", type=int, default=1 << 30, help="packet bytes in the file")
    parser.add_argument("--timeout", type=float, default=300)
    args = parser.parse_args()
    deadline = time.time() + args.timeout
    with tempfile.TemporaryDirectory(prefix="korvane_big_") as root:
        for name, run in (("incoming directory", run_incoming), ("-f: single packet", run_single)):
            idle, peak, took, total = run(args.binary, root, args.size, deadline)
            # Every packet byte is two hex digits in the dump.
            assert total > 2 * args.size, (total, args.size)
            print("%-20s %d packet bytes: RSS before %.1f MiB, peak %.1f MiB (+%.1f MiB), "
                  "report %.1f s, %d output bytes" %
                  (name, args.size, idle / 1024, peak / 1024, (peak - idle) / 1024, took, total))


if __name__ == "__main__":
    main()
