#!/usr/bin/env python3
"""Receive throughput of korvane's TCP server mode (-b:127.0.0.1:PORT).

The server's stdout goes to a file (not a pipe). Each run starts a fresh
server, opens its connections, and sends --packets valid 60-byte packets as
fast as loopback takes them (each connection sendall()s one prebuilt buffer
of its share). The clock runs from the first send until the output file
holds a dump of every packet.

  1 connection     all packets on one connection
  4 connections    the same number split over four concurrent connections
  strace           --strace-packets on one connection, once under
                   "strace -c -f" (the summary table of all threads) and once
                   under "strace -f -ff" (one trace per thread), to count the
                   system calls per packet of the client thread

Printed per run: packets per second, CPU seconds of the server per 100,000
packets (utime+stime from /proc/PID/stat, before and after), output bytes per
packet, and the sender's own CPU time. Checks (exit status 1 when one
fails): every packet dumped exactly once byte for byte and nothing else
dumped, no part dumps, nothing on the server's stderr, every run finished
within --seconds, exit code 0 after "quit".

Each packet: an 11-byte header (unique SKID/PID), 47 bytes of frame data
(one record with an object id and six RECORD_RESPONSE subrecords), CRC-16.

Python 3 standard library only; talks to 127.0.0.1 only. strace must be on
PATH for the strace runs (skipped with --no-strace).
"""

import argparse
import binascii
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

PACKET_SIZE = 60
EXIT_WAIT = 20.0
CONNECT_WAIT = 10.0
DUMP_MARK = b"\nPacket data: "
PART_MARK = b"\nPacket part data: "
CREATED_MARK = b"Main:  INFO: New Client Object created "
DUMP_LINE = re.compile(rb"\nPacket data: (\d+) bytes\n ([0-9A-F]*)\n")


class CheckFailed(Exception):
    pass


# ---------------------------------------------------------------- packets

def crc8(data):
    reg = 0xFF
    for byte in data:
        reg ^= byte
        for _ in range(8):
            reg = ((reg << 1) ^ 0x31) & 0xFF if reg & 0x80 else (reg << 1) & 0xFF
    return reg


def crc16(data):
    return binascii.crc_hqx(data, 0xFFFF)  # CRC-16/CCITT-FALSE with init 0xFFFF


assert crc16(b"123456789") == 0x29B1
assert crc8(bytes.fromhex("0100030B000000010001")) == 0xB8


def build_packet(number):
    """Packet `number` (0 .. 2**24-1): 60 bytes, unique by SKID/PID and OID."""
    skid, pid = (number >> 16) & 0xFF, number & 0xFFFF
    rd = b"".join(struct.pack("<BHHB", 0, 3, (number + k) & 0xFFFF, 0) for k in range(6))
    frame = struct.pack("<HHBIBB", len(rd), pid, 0x01, number, 1, 1) + rd
    assert len(frame) == PACKET_SIZE - 13
    head = bytes([0x01, skid, 0x00, 0x0B, 0x00]) + struct.pack("<HHB", len(frame), pid, 1)
    data = head + bytes([crc8(head)]) + frame + struct.pack("<H", crc16(frame))
    assert len(data) == PACKET_SIZE
    return data


# ---------------------------------------------------------------- server

def free_port():
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def is_listening(port):
    wanted = "0100007F:%04X" % port
    with open("/proc/net/tcp") as table:
        for line in table:
            fields = line.split()
            if len(fields) > 3 and fields[1] == wanted and fields[3] == "0A":
                return True
    return False


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        text = stat.read()
    fields = text[text.rfind(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class OutputFile:
    """Follows the server's output file and counts marks as it grows."""

    def __init__(self, path):
        self.path = path
        self.stream = None
        self.tail = b""
        self.size = 0
        self.counts = {DUMP_MARK: 0, PART_MARK: 0, CREATED_MARK: 0}

    def poll(self):
        if self.stream is None:
            self.stream = open(self.path, "rb")
        chunk = self.stream.read()
        if chunk:
            self.size += len(chunk)
            data = self.tail + chunk
            for mark in self.counts:
                self.counts[mark] += data.count(mark)
            keep = max(len(mark) for mark in self.counts) - 1
            self.tail = data[-keep:]
        return self.counts

    def close(self):
        if self.stream is not None:
            self.stream.close()


class Server:
    def __init__(self, binary, directory, name, wrapper=()):
        self.port = free_port()
        self.stdout_path = os.path.join(directory, name + ".stdout")
        self.stderr_path = os.path.join(directory, name + ".stderr")
        self.command = list(wrapper) + [binary, "-b:127.0.0.1:%d" % self.port]
        self.stdout = open(self.stdout_path, "wb")
        self.stderr = open(self.stderr_path, "wb")
        self.process = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=self.stdout,
                                        stderr=self.stderr)
        self.output = OutputFile(self.stdout_path)
        deadline = time.monotonic() + CONNECT_WAIT
        while not is_listening(self.port):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.kill()
                raise CheckFailed("server did not start listening: %s" % " ".join(self.command))
            time.sleep(0.02)

    def quit(self):
        """Sends "quit"; returns the exit code, or None after a hang (then killed)."""
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.close()
        except OSError:
            pass
        try:
            code = self.process.wait(EXIT_WAIT)
        except subprocess.TimeoutExpired:
            self.kill()
            code = None
        self.stdout.close()
        self.stderr.close()
        self.output.close()
        return code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(5)

    def stderr_text(self):
        with open(self.stderr_path, "rb") as stream:
            return stream.read().decode("latin-1")


def open_connections(server, count, deadline):
    """`count` connections, each one accepted (its client object created)."""
    sockets = []
    for _ in range(count):
        sock = socket.create_connection(("127.0.0.1", server.port), timeout=CONNECT_WAIT)
        sock.settimeout(None)
        sockets.append(sock)
    while server.output.poll()[CREATED_MARK] < count:
        if time.monotonic() > deadline:
            raise CheckFailed("only %d of %d connections were accepted"
                              % (server.output.counts[CREATED_MARK], count))
        time.sleep(0.01)
    return sockets


def verify_dumps(path, first, packets):
    """Every packet first..first+packets-1 dumped exactly once, nothing else."""
    expected = {build_packet(n).hex().upper().encode() for n in range(first, first + packets)}
    seen = set()
    duplicates = unknown = 0
    with open(path, "rb") as stream:
        text = stream.read()
    for match in DUMP_LINE.finditer(text):
        hexed = match.group(2)
        if int(match.group(1)) != len(hexed) // 2 or hexed not in expected:
            unknown += 1
        elif hexed in seen:
            duplicates += 1
        else:
            seen.add(hexed)
    missing = len(expected) - len(seen)
    parts = text.count(PART_MARK)
    problems = []
    if missing or duplicates or unknown:
        problems.append("dumps: %d missing, %d duplicated, %d unknown" % (missing, duplicates, unknown))
    if parts:
        problems.append("%d part dumps" % parts)
    return problems


def run_load(binary, directory, name, stem, connections, packets, deadline, wrapper=()):
    """One server, `connections` connections, `packets` packets in all; files <stem>.*"""
    figures = {"name": name, "connections": connections, "packets": packets}
    shares = [packets // connections + (1 if k < packets % connections else 0)
              for k in range(connections)]
    starts = [sum(shares[:k]) for k in range(connections)]
    buffers = [b"".join(build_packet(n) for n in range(start, start + share))
               for start, share in zip(starts, shares)]
    server = Server(binary, directory, stem, wrapper)
    problems = []
    try:
        sockets = open_connections(server, connections, deadline)
        send_done = [None] * connections
        errors = []

        def send(index):
            try:
                sockets[index].sendall(buffers[index])
                send_done[index] = time.monotonic()
            except OSError as error:
                errors.append(str(error))

        threads = [threading.Thread(target=send, args=(k,), daemon=True) for k in range(connections)]
        measured_pid = server.process.pid
        cpu_before = cpu_seconds(measured_pid) if not wrapper else None
        own_before = os.times()
        started = time.monotonic()
        for thread in threads:
            thread.start()
        while server.output.poll()[DUMP_MARK] < packets:
            if server.output.counts[PART_MARK]:
                problems.append("a part dump appeared")
                break
            if errors or server.process.poll() is not None:
                break
            if time.monotonic() > deadline:
                problems.append("time cap reached with %d of %d packets dumped"
                                % (server.output.counts[DUMP_MARK], packets))
                break
            time.sleep(0.005)
        finished = time.monotonic()
        cpu_after = cpu_seconds(measured_pid) if not wrapper else None
        own_after = os.times()
        for thread in threads:
            thread.join(max(1.0, deadline - time.monotonic()))
        if errors:
            problems.append("send failed: %s" % errors[0])
        for sock in sockets:
            sock.close()
        elapsed = finished - started
        figures.update(
            seconds=elapsed,
            rate=packets / elapsed if elapsed > 0 else 0.0,
            send_seconds=max((t - started for t in send_done if t is not None), default=float("nan")),
            server_cpu=None if cpu_before is None else cpu_after - cpu_before,
            own_cpu=(own_after.user - own_before.user) + (own_after.system - own_before.system),
            output_bytes=server.output.size,
            dumped=server.output.counts[DUMP_MARK],
        )
        # Let the server log the closes before it is asked to quit.
        time.sleep(0.3)
    finally:
        code = server.quit()
    if code is None:
        problems.append("server hung after 'quit' (killed)")
    elif code != 0:
        problems.append("server exit code %s" % code)
    stderr_text = server.stderr_text()
    # Under strace the summary goes to its own file; stderr holds strace's own lines only.
    if stderr_text.strip() and not wrapper:
        problems.append("server wrote to stderr: %r" % stderr_text[:200])
    problems += verify_dumps(server.stdout_path, 0, packets)
    figures["problems"] = problems
    figures["stdout_path"] = server.stdout_path
    return figures


def print_load(figures):
    line = ("%-14s %7d packets  %7.3f s  %9.0f packets/s  (sends done after %.3f s)"
            % (figures["name"], figures["packets"], figures["seconds"], figures["rate"],
               figures["send_seconds"]))
    print(line)
    if figures.get("server_cpu") is not None:
        print("%-14s server CPU %.2f s = %.3f s per 100,000 packets; sender CPU %.2f s; "
              "output %.0f bytes per packet"
              % ("", figures["server_cpu"], figures["server_cpu"] * 100000 / figures["packets"],
                 figures["own_cpu"], figures["output_bytes"] / max(1, figures["dumped"])))
    for problem in figures["problems"]:
        print("%-14s PROBLEM: %s" % ("", problem))


# ---------------------------------------------------------------- strace

SUMMARY_ROW = re.compile(r"^\s*([\d.]+)\s+([\d.]+)\s+(\d+)\s+(\d+)\s+(?:(\d+)\s+)?(\w+)\s*$")
TRACE_CALL = re.compile(r"^(?:\d+\s+)?(?:<\.\.\. (\w+) resumed>|(\w+)\()")


def parse_summary(path):
    """{call: count} from an strace -c table."""
    calls = {}
    with open(path) as table:
        for line in table:
            match = SUMMARY_ROW.match(line)
            if match and match.group(6) != "total":
                calls[match.group(6)] = int(match.group(4))
    return calls


def count_thread_calls(path):
    """{call: count} of one strace -ff trace; a split call counts once."""
    calls = {}
    with open(path, errors="replace") as trace:
        for line in trace:
            if "resumed>" in line:
                continue
            match = TRACE_CALL.match(line)
            if match and match.group(2):
                calls[match.group(2)] = calls.get(match.group(2), 0) + 1
    return calls


def breakdown(calls, packets, limit=8):
    ordered = sorted(calls.items(), key=lambda item: -item[1])
    return ", ".join("%s %.2f" % (name, count / packets) for name, count in ordered[:limit])


def run_strace(binary, directory, packets, deadline):
    strace = shutil.which("strace")
    if strace is None:
        print("strace           not found on PATH; skipped")
        return ["strace missing"]
    problems = []

    summary_path = os.path.join(directory, "strace_summary.txt")
    figures = run_load(binary, directory, "strace -c", "strace_c", 1, packets, deadline,
                       wrapper=(strace, "-c", "-f", "-o", summary_path))
    problems += figures["problems"]
    calls = parse_summary(summary_path)
    total = sum(calls.values())
    print("strace -c -f   %d packets on 1 connection, all threads: %d system calls = %.2f per packet"
          % (packets, total, total / packets))
    print("               per packet: %s" % breakdown(calls, packets, 12))
    print("               (table: %s)" % summary_path)

    prefix = os.path.join(directory, "strace_thread")
    figures = run_load(binary, directory, "strace -ff", "strace_ff", 1, packets, deadline,
                       wrapper=(strace, "-f", "-ff", "-o", prefix))
    problems += figures["problems"]
    threads = []
    for name in sorted(os.listdir(directory)):
        if name.startswith("strace_thread."):
            threads.append((name.split(".")[-1], count_thread_calls(os.path.join(directory, name))))
    client_total = 0
    print("strace -f -ff  %d packets on 1 connection, per thread:" % packets)
    for tid, calls in threads:
        total = sum(calls.values())
        role = ("client" if calls.get("recvfrom", 0) + calls.get("recv", 0) > packets // 2
                else "accept" if "accept4" in calls or "accept" in calls else "other")
        if role == "client":
            client_total += total
        print("               tid %-8s %-6s %8d calls  top: %s"
              % (tid, role, total, ", ".join("%s %d" % kv for kv in
                                             sorted(calls.items(), key=lambda i: -i[1])[:6])))
        if role == "client":
            print("               client thread per packet: %.2f calls (%s)"
                  % (total / packets, breakdown(calls, packets)))
    if client_total == 0:
        problems.append("no client thread found in the per-thread traces")
    for problem in problems:
        print("               PROBLEM: %s" % problem)
    return problems


# ---------------------------------------------------------------- main

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", required=True, help="path of the korvane executable")
    parser.add_argument("--packets", type=int, default=200000, help="packets per run (default 200000)")
    parser.add_argument("--seconds", type=float, default=600.0,
                        help="cap on the whole script's run time (default 600)")
    parser.add_argument("--strace-packets", type=int, default=20000,
                        help="packets of the strace runs (default 20000)")
    parser.add_argument("--no-strace", action="store_true", help="skip the strace runs")
    parser.add_argument("--keep", default=None,
                        help="directory for the output files (default: a temporary one, removed)")
    args = parser.parse_args()
    if not 1 <= args.packets < 1 << 24 or not 1 <= args.strace_packets < 1 << 24:
        parser.error("packet counts must be 1 .. 16777215")

    directory = args.keep or tempfile.mkdtemp(prefix="tcp_throughput_")
    os.makedirs(directory, exist_ok=True)
    deadline = time.monotonic() + args.seconds
    print("binary %s, %d-byte packets, output files in %s" % (args.binary, PACKET_SIZE, directory))
    problems = []
    try:
        for connections in (1, 4):
            name = "%d connection%s" % (connections, "s" * (connections > 1))
            figures = run_load(args.binary, directory, name, "connections_%d" % connections,
                               connections, args.packets, deadline)
            print_load(figures)
            problems += figures["problems"]
            if not figures["problems"]:
                os.remove(figures["stdout_path"])  # large; kept only when a check failed
        if not args.no_strace:
            problems += run_strace(args.binary, directory, args.strace_packets, deadline)
    except CheckFailed as error:
        problems.append(str(error))
    finally:
        if args.keep is None:
            shutil.rmtree(directory, ignore_errors=True)
    if problems:
        print("FAIL")
        for problem in problems:
            print("  - " + problem)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
