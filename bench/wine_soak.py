#!/usr/bin/env python3
"""Connection soak of the Windows build (korvane.exe -b: -r) under Wine.

--connections terminals (default 1,000) connect one after another; each
sends one valid packet, reads its confirmation and closes. The process's
handles are counted after a warm-up of --warmup connections, then every
--sample-every connections and at the end, each time once every close so
far is logged; the last count must not exceed the earlier ones (flat).

How handles are counted: Wine's GetProcessHandleCount answers 0, so
bench/windows/handle_count.exe (built with the cross-build) counts the
process's entries in the system handle table (NtQuerySystemInformation,
SystemHandleInformation), which Wine's server fills. The Linux descriptors
of the Wine process (/proc/PID/fd) are shown beside them.

Checks (exit status 1 when one fails): every confirmation received and
sound, every packet dumped and every close logged, handle count and
descriptor count flat, exit code 0 after "quit".

Usage: wine_soak.py --build build-win32 [--connections 1000]
Keep a wineserver running for the run (wineserver -p); Python 3 standard
library only; talks to 127.0.0.1 only.
"""

import argparse
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import crc8, crc16, free_port, is_listening  # noqa: E402

CLOSED_MARK = b"INFO: Connection closed by remote side"
DUMP_MARK = b"\nPacket data: "
CONFIRMATION_SIZE = 29
STEP_LIMIT = 10.0


def build_packet(number):
    """One record with one RECORD_RESPONSE subrecord; PID = number."""
    rd = struct.pack("<BHHB", 0, 3, number & 0xFFFF, 0)
    frame = struct.pack("<HHBBB", len(rd), number & 0xFFFF, 0x00, 1, 1) + rd
    head = bytes([0x01, 0x00, 0x00, 0x0B, 0x00]) + struct.pack("<HHB", len(frame), number & 0xFFFF, 1)
    return head + bytes([crc8(head)]) + frame + struct.pack("<H", crc16(frame))


def read_exactly(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            break
        data += chunk
    return data


def sound_confirmation(answer, pid):
    if len(answer) != CONFIRMATION_SIZE or answer[10] != crc8(answer[:10]) or answer[9] != 0:
        return False
    frame = answer[11:-2]
    return (struct.unpack_from("<H", answer, len(answer) - 2)[0] == crc16(frame)
            and struct.unpack_from("<H", frame, 0)[0] == pid and frame[2] == 0)


def counts(wine, env, handle_count, pid):
    done = subprocess.run([wine, handle_count, "korvane.exe"], capture_output=True, env=env,
                          timeout=60, stdin=subprocess.DEVNULL)
    lines = done.stdout.decode().split()
    handles = int(lines[1]) if len(lines) >= 2 else -1
    descriptors = len(os.listdir("/proc/%d/fd" % pid))
    return handles, descriptors


def wait_for_count(path, mark, count, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        with open(path, "rb") as stream:
            if stream.read().count(mark) >= count:
                return True
        time.sleep(0.05)
    return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the cross-build directory")
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--connections", type=int, default=1000)
    parser.add_argument("--warmup", type=int, default=20)
    parser.add_argument("--sample-every", type=int, default=100,
                        help="connections between two handle counts (default 100)")
    args = parser.parse_args()
    env = dict(os.environ, WINEDEBUG="-all")
    exe = os.path.join(os.path.abspath(args.build), "korvane.exe")
    handle_count = os.path.join(os.path.abspath(args.build), "handle_count.exe")
    work = tempfile.mkdtemp(prefix="korvane_wine_soak_")
    output_path = os.path.join(work, "server.out")
    port = free_port()
    problems = []
    with open(output_path, "wb") as output:
        server = subprocess.Popen([args.wine, exe, "-b:127.0.0.1:%d" % port, "-r"],
                                  stdin=subprocess.PIPE, stdout=output,
                                  stderr=subprocess.DEVNULL, env=env, cwd=work)
        try:
            deadline = time.monotonic() + 20
            while not is_listening(port):
                if time.monotonic() > deadline or server.poll() is not None:
                    raise SystemExit("FAIL: the server did not listen")
                time.sleep(0.05)
            started = time.monotonic()
            samples = []  # (connections done, handles, descriptors)
            for number in range(1, args.connections + 1):
                if number > args.warmup and (number - 1) % args.sample_every == 0:
                    if not wait_for_count(output_path, CLOSED_MARK, number - 1, STEP_LIMIT):
                        problems.append("closes of %d connections not logged" % (number - 1))
                    samples.append((number - 1,) + counts(args.wine, env, handle_count, server.pid))
                with socket.create_connection(("127.0.0.1", port), timeout=STEP_LIMIT) as sock:
                    sock.sendall(build_packet(number))
                    answer = read_exactly(sock, CONFIRMATION_SIZE)
                if not sound_confirmation(answer, number):
                    problems.append("connection %d: confirmation %s" % (number, answer.hex()))
                    break
            elapsed = time.monotonic() - started
            if not wait_for_count(output_path, CLOSED_MARK, args.connections, 60):
                problems.append("not every close was logged")
            samples.append((args.connections,) + counts(args.wine, env, handle_count, server.pid))
            with open(output_path, "rb") as stream:
                dumps = stream.read().count(DUMP_MARK)
            if dumps != args.connections:
                problems.append("%d packet dumps for %d connections" % (dumps, args.connections))
            print("%d connections in %.1f s (%.0f per second)"
                  % (args.connections, elapsed, args.connections / elapsed))
            print("after N connections: handles, Linux descriptors of the Wine process")
            for done, handles, descriptors in samples:
                print("  %5d: %3d handles, %3d descriptors" % (done, handles, descriptors))
            # The client of the last connection may still wait to be reaped (at
            # the next accept), so the samples may differ by that one client;
            # growth shows as a later sample above every earlier one.
            first, last = samples[0], samples[-1]
            if last[1] > max(s[1] for s in samples[:-1]) or last[2] > first[2]:
                problems.append("handles or descriptors grew: %s -> %s" % (first[1:], last[1:]))
            server.stdin.write(b"quit\n")
            server.stdin.flush()
            code = server.wait(30)
            if code != 0:
                problems.append("exit code %s" % code)
        finally:
            if server.poll() is None:
                server.kill()
                server.wait(10)
    if problems:
        print("FAIL")
        for problem in problems:
            print("  - " + problem)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
