#!/usr/bin/env python3
"""Time from an operator's `send` line to the command packet on the wire.

Starts korvane -b:127.0.0.1:PORT -r (standard output to a file), connects a
terminal that authorizes (TERM_IDENTITY, then it confirms the RESULT_CODE),
then writes --sends lines "send <client id> EGTS_SIM_PIN 112 5 1234" to the
console, one at a time: each line is timestamped as it is written, the
terminal timestamps the command packet as it is read and confirms it, and
the next line is written once the packet is in. Printed: the median, the
90th percentile and the worst of those times.

Checks (exit status 1 when one fails): every send gives one command packet
(APPDATA, a COMMANDS record: SST 4, RST 4) with a sound header check sum,
the packets carry distinct PIDs, nothing of the server on standard error,
no WARNING log line in its output, exit code 0 after "quit", and the whole run within
--seconds. Python 3 standard library only; talks to 127.0.0.1 only.
"""

import argparse
import os
import re
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import crc8, crc16, free_port, is_listening, quit_server  # noqa: E402

CLIENT_LINE = re.compile(rb"New Client Object created ([0-9A-F]+)")
COMMAND_LINE = "send %s EGTS_SIM_PIN 112 5 1234\n"


class CheckFailed(Exception):
    pass


def packet(pid, pt, frame):
    head = bytes([0x01, 0x00, 0x00, 0x0B, 0x00]) + struct.pack("<HHB", len(frame), pid, pt)
    return head + bytes([crc8(head)]) + frame + struct.pack("<H", crc16(frame))


def identity(pid):
    """TERM_IDENTITY (TID 4711, IMEI) in an AUTH record."""
    srd = struct.pack("<IB", 4711, 0x02) + b"356938035643809"
    rd = struct.pack("<BH", 1, len(srd)) + srd
    return packet(pid, 1, struct.pack("<HHBBB", len(rd), pid, 0, 1, 1) + rd)


def confirmation(pid, rpid, crn, service):
    rd = struct.pack("<BHHB", 0, 3, crn, 0)
    frame = struct.pack("<HB", rpid, 0) + struct.pack("<HHBBB", len(rd), pid, 0, service, service) + rd
    return packet(pid, 0, frame)


class Wire:
    """The terminal's end: whole packets, each with the time it was complete."""

    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def read_packet(self, deadline):
        while True:
            if len(self.buffer) >= 11:
                fdl = struct.unpack_from("<H", self.buffer, 5)[0]
                size = self.buffer[3] + (fdl + 2 if fdl else 0)
                if len(self.buffer) >= size:
                    data, self.buffer = self.buffer[:size], self.buffer[size:]
                    return data, time.monotonic()
            left = deadline - time.monotonic()
            if left <= 0:
                raise CheckFailed("no packet from the server in time")
            self.sock.settimeout(left)
            try:
                chunk = self.sock.recv(65536)
            except socket.timeout:
                raise CheckFailed("no packet from the server in time")
            if not chunk:
                raise CheckFailed("the server closed the connection")
            self.buffer += chunk


def client_id(path, deadline):
    while time.monotonic() < deadline:
        with open(path, "rb") as stream:
            found = CLIENT_LINE.search(stream.read())
        if found:
            return found.group(1).decode()
        time.sleep(0.01)
    raise CheckFailed("the connection was not reported")


def run(binary, sends, directory, deadline):
    port = free_port()
    out_path = os.path.join(directory, "server.stdout")
    err_path = os.path.join(directory, "server.stderr")
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        server = subprocess.Popen([binary, "-b:127.0.0.1:%d" % port, "-r"], stdin=subprocess.PIPE,
                                  stdout=out, stderr=err)
        try:
            while not is_listening(port):
                if server.poll() is not None or time.monotonic() > deadline:
                    raise CheckFailed("the server did not start listening")
                time.sleep(0.02)
            times = converse(server, port, out_path, sends, deadline)
        finally:
            code = quit_server(server, max(1.0, deadline - time.monotonic()))
    problems = []
    if code != 0:
        problems.append("exit code %s after quit" % code)
    if os.path.getsize(err_path):
        problems.append("the server wrote to standard error")
    with open(out_path, "rb") as stream:
        # Log lines only: the start-up text has a WARNING of its own.
        if b" WARNING: " in stream.read():
            problems.append("a WARNING log line in the server's output")
    return times, problems


def converse(server, port, out_path, sends, deadline):
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    wire = Wire(sock)
    try:
        sock.sendall(identity(1))
        wire.read_packet(deadline)  # its confirmation
        answer, _ = wire.read_packet(deadline)  # the RESULT_CODE
        rn = struct.unpack_from("<H", answer, 13)[0]
        sock.sendall(confirmation(2, struct.unpack_from("<H", answer, 7)[0], rn, 1))
        ident = client_id(out_path, deadline)
        pid, times, pids = 3, [], set()
        for _ in range(sends):
            line = (COMMAND_LINE % ident).encode()
            written = time.monotonic()
            server.stdin.write(line)
            server.stdin.flush()
            command, arrived = wire.read_packet(min(deadline, written + 5))
            times.append(arrived - written)
            if crc8(command[:10]) != command[10] or command[9] != 1 or command[20:22] != b"\x04\x04":
                raise CheckFailed("not a command packet: %s" % command.hex())
            pids.add(struct.unpack_from("<H", command, 7)[0])
            crn = struct.unpack_from("<H", command, 13)[0]
            sock.sendall(confirmation(pid, struct.unpack_from("<H", command, 7)[0], crn, 4))
            pid = (pid + 1) & 0xFFFF
        if len(pids) != sends:
            raise CheckFailed("%d distinct PIDs for %d command packets" % (len(pids), sends))
        return times
    finally:
        sock.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", required=True, help="path of the korvane executable")
    parser.add_argument("--sends", type=int, default=1000, help="send lines (default 1000)")
    parser.add_argument("--seconds", type=float, default=120.0, help="cap on the run (default 120)")
    args = parser.parse_args()
    if not 1 <= args.sends <= 60000:
        parser.error("--sends must be 1 .. 60000")
    deadline = time.monotonic() + args.seconds
    with tempfile.TemporaryDirectory(prefix="send_latency_") as directory:
        try:
            times, problems = run(args.binary, args.sends, directory, deadline)
        except CheckFailed as error:
            times, problems = [], [str(error)]
        if times:
            ordered = sorted(times)
            print("%d sends: median %.3f ms, 90th percentile %.3f ms, worst %.3f ms"
                  % (len(ordered), ordered[len(ordered) // 2] * 1000,
                     ordered[len(ordered) * 9 // 10] * 1000, ordered[-1] * 1000))
        if problems:
            print("FAIL")
            for problem in problems:
                print("  - " + problem)
            return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
