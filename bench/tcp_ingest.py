#!/usr/bin/env python3
"""TCP ingest of one terminal connection with every packet confirmed,
decoded and written as JSON Lines (korvane -r -x -j -b:127.0.0.1:PORT,
standard output to a file).

The terminal authorizes (TERM_IDENTITY), then sends --packets TELEDATA
packets of one POS_DATA each (the packets of make_capture.py) as fast as
the socket takes them, while a reader thread takes the confirmations. The
clock runs from the first send until the output file holds a "tcp" object
for every packet sent; the server's CPU time is read from /proc before and
after. Printed per run: packets per second by wall time, by the server's
CPU time, and the output bytes per packet. Bounded by --seconds; talks
only to 127.0.0.1; files only in a temporary directory.

    bench/tcp_ingest.py --binary build-bench/korvane [--packets 100000] [--repeat 3]
"""

import argparse
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from egts_bench import free_port, is_listening  # noqa: E402
from make_capture import (AUTH, PT_APPDATA, SR_POS_DATA, SR_TERM_IDENTITY, TELEDATA,  # noqa: E402
                          packet, pos_data, record, subrecord)

MARK = b'"source":"tcp"'


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        text = stat.read()
    fields = text[text.rfind(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def load(count):
    import struct
    chunks = [packet(PT_APPDATA, 0, record(0, AUTH, subrecord(SR_TERM_IDENTITY,
                                                                struct.pack("<IB", 4711, 0))))]
    for number in range(1, count):
        pid = number & 0xFFFF
        chunks.append(packet(PT_APPDATA, pid, record(pid, TELEDATA,
                                                      subrecord(SR_POS_DATA, pos_data(number)))))
    return b"".join(chunks)


class MarkCounter:
    """Counts MARK in a growing file, reading only what was added."""

    def __init__(self, path):
        self.stream = open(path, "rb")
        self.tail = b""
        self.count = 0

    def poll(self):
        chunk = self.stream.read()
        if chunk:
            data = self.tail + chunk
            self.count += data.count(MARK) - self.tail.count(MARK)
            self.tail = data[-(len(MARK) - 1):]
        return self.count

    def close(self):
        self.stream.close()


def run(binary, directory, index, data, count, deadline):
    port = free_port()
    out_path = os.path.join(directory, "ingest%d.jsonl" % index)
    with open(out_path, "wb") as out, open(os.devnull, "wb") as err:
        server = subprocess.Popen([binary, "-b:127.0.0.1:%d" % port, "-r", "-x", "-j"],
                                  stdin=subprocess.PIPE, stdout=out, stderr=err)
        try:
            while not is_listening(port):
                if server.poll() is not None or time.monotonic() > deadline:
                    sys.exit("server did not start")
                time.sleep(0.02)
            sock = socket.create_connection(("127.0.0.1", port))
            reader = threading.Thread(target=lambda: drain(sock), daemon=True)
            reader.start()
            cpu_before = cpu_seconds(server.pid)
            started = time.monotonic()
            sock.sendall(data)
            marks = MarkCounter(out_path)
            while marks.poll() < count:
                if time.monotonic() > deadline:
                    sys.exit("not every packet was reported in time")
                time.sleep(0.02)
            marks.close()
            wall = time.monotonic() - started
            cpu = cpu_seconds(server.pid) - cpu_before
            sock.close()
        finally:
            server.stdin.write(b"quit\n")
            server.stdin.close()
            try:
                server.wait(10)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait(5)
    return wall, cpu, os.path.getsize(out_path)


def drain(sock):
    try:
        while sock.recv(65536):
            pass
    except OSError:
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--packets", type=int, default=100000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=300)
    args = parser.parse_args()
    deadline = time.monotonic() + args.seconds
    data = load(args.packets)
    with tempfile.TemporaryDirectory(prefix="korvane_ingest_") as directory:
        for index in range(args.repeat):
            wall, cpu, size = run(args.binary, directory, index, data, args.packets, deadline)
            print("run %d: %d packets, %.2f s wall, %.2f s server CPU: %.0f packets/s wall, "
                  "%.0f packets/s by CPU, %.0f output bytes/packet"
                  % (index + 1, args.packets, wall, cpu, args.packets / wall,
                     args.packets / cpu if cpu > 0 else 0.0, size / args.packets))


if __name__ == "__main__":
    main()
