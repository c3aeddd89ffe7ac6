#!/usr/bin/env python3
"""Receive throughput of korvane's TCP server mode (-b:127.0.0.1:PORT).

The server's stdout goes to a file (not a pipe). Each run starts a fresh
server, opens its connections, and sends --packets valid 60-byte packets as
fast as loopback takes them (each connection sendall()s one prebuilt buffer
of its share). The clock runs from the first send until the output file
holds a dump of every packet.

  1 connection     all packets on one connection (--repeat times)
  4 connections    the same number split over four concurrent connections
  strace           --strace-packets on one connection, once under
                   "strace -c -f" (the summary table of all threads) and once
                   under "strace -f -ff" (one trace per thread), to count the
                   system calls per packet of the client thread

With --wrapper the server runs under that command: --wrapper
/usr/lib/wine/wine64 --binary build-win32/korvane.exe measures the Windows
build under Wine (keep a wineserver running: wineserver -p).

With --json the 1-connection load runs --repeat times as text and as -j
(JSON Lines) in turn, on the same packets, and the two are printed side by
side with the ratio of their medians; the 4-connection and strace runs are
left out. In -j runs the JSON Lines are read back: every line must parse,
every packet object of source "tcp" must hold the bytes of one packet sent,
and the server's stderr holds the texts for a person, so it is not checked.

With --confirm every server runs with -r and answers each packet with a
confirmation (EGTS_PT_RESPONSE). Each connection then has a reader thread
that takes the confirmations while the sender sends (without it the socket
buffers fill and the run stalls), and the clock runs until the output also
holds a "Response data" dump of every confirmation. The strace part adds a
"strace -f -ff" run without -r, and compares the client thread's calls per
packet of both runs: the confirmations must cost exactly one socket send
each (a check).

Printed per run: packets per second, CPU seconds of the server per 100,000
packets (utime+stime from /proc/PID/stat, before and after), output bytes per
packet, and the sender's own CPU time (with --confirm, the readers' too).
Checks (exit status 1 when one fails): every packet dumped exactly once byte
for byte and nothing else dumped, no part dumps, nothing on the server's
stderr, every run finished within --seconds, exit code 0 after "quit";
without --confirm, no byte back on a connection and no "Response data" dump.
With --confirm also, per connection: one confirmation per packet sent, in
the order sent, each a whole packet (header PRV 1, SKID 0, flags 0, HL 11,
HE 0, sound HCS; sound CRC-16; PT 0) whose RPID is the PID of the packet at
the same position (so every PID sent is answered exactly once), PR 0, PID
and RN counting from 1, and one record answering the packet's record (RFL 0,
SST 1 and RST 1 (the packets carry 1 in both, so a swap is not seen), one
RECORD_RESPONSE with CRN the packet's RN and status 0);
nothing after the last one; and the output holds one "Response data" dump
per packet, each the bytes of a confirmation received, byte for byte.

Each packet: an 11-byte header (unique SKID/PID), 47 bytes of frame data
(one record with an object id and six RECORD_RESPONSE subrecords), CRC-16.
Its confirmation is 29 bytes: 11-byte header, RPID and PR, one 7-byte record
header and one 6-byte RECORD_RESPONSE subrecord, CRC-16.

Python 3 standard library only; talks to 127.0.0.1 only. strace must be on
PATH for the strace runs (skipped with --no-strace).
"""

import argparse
import collections
import json
import os
import re
import shlex
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import crc8, crc16, free_port, is_listening  # noqa: E402  (the scripts' shared helpers)

PACKET_SIZE = 60
EXIT_WAIT = 20.0
CONNECT_WAIT = 10.0
DUMP_MARK = b"\nPacket data: "
PART_MARK = b"\nPacket part data: "
CREATED_MARK = b"Main:  INFO: New Client Object created "
# The Windows build writes CR LF line ends.
DUMP_LINE = re.compile(rb"\nPacket data: (\d+) bytes\r?\n ([0-9A-F]*)\r?\n")
RESPONSE_MARK = b"\nResponse data: "
RESPONSE_LINE = re.compile(rb"\nResponse data: (\d+) bytes\r?\n ([0-9A-F]*)\r?\n")
CONFIRMATION_SIZE = 29
READ_CHUNK = 65536
CLOSE_WAIT = 5.0


class Marks:
    """What the output holds once per dumped packet, part, accepted
    connection and confirmation; without -j the dump lines, with -j the
    objects (a part is a "tcp" object too, told apart only when parsed)."""

    def __init__(self, as_json):
        self.json = as_json
        if as_json:
            self.dump = b'"source":"tcp"'
            self.part = None
            self.created = b'"text":"New Client Object created '
            self.response = b'"source":"response"'
        else:
            self.dump, self.part = DUMP_MARK, PART_MARK
            self.created, self.response = CREATED_MARK, RESPONSE_MARK


class CheckFailed(Exception):
    pass


# ---------------------------------------------------------------- packets

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


def check_confirmations(data, first, count):
    """Checks the bytes received on one connection that sent packets
    first..first+count-1, in that order. Returns (problems, confirmations):
    one text per kind of fault with its count, and the bytes of each
    confirmation that could be cut out of the stream."""
    faults = collections.Counter()
    confirmations = []
    rpids = []
    offset = 0
    while offset < len(data):
        if len(data) - offset < 11:
            faults["%d bytes after the last whole confirmation" % (len(data) - offset)] += 1
            break
        head = data[offset:offset + 11]
        if head[0] != 1 or head[3] != 11 or crc8(head[:10]) != head[10]:
            # The stream cannot be cut any further.
            faults["an unusable header (PRV, HL or HCS) at byte %d; the rest not read"
                   % offset] += 1
            break
        fdl, pid, pt = struct.unpack_from("<HHB", head, 5)
        end = offset + 11 + (fdl + 2 if fdl else 0)
        if end > len(data):
            faults["a confirmation cut short by the end of the stream"] += 1
            break
        packet = data[offset:end]
        offset = end
        confirmations.append(packet)
        index = len(confirmations) - 1
        if head[1] != 0 or head[2] != 0 or head[4] != 0:
            faults["SKID, flags or HE not 0"] += 1
        if pt != 0:
            faults["PT not 0"] += 1
        if pid != (index + 1) & 0xFFFF:
            faults["PID not counting from 1"] += 1
        frame = packet[11:-2] if fdl else b""
        if not fdl or crc16(frame) != struct.unpack_from("<H", packet, len(packet) - 2)[0]:
            faults["no frame data or a wrong CRC-16"] += 1
            continue
        if len(frame) < 3:
            faults["frame data shorter than RPID and PR"] += 1
            continue
        rpid, pr = struct.unpack_from("<HB", frame, 0)
        rpids.append(rpid)
        if pr != 0:
            faults["PR not 0"] += 1
            continue
        if len(packet) != CONFIRMATION_SIZE:
            faults["not %d bytes long" % CONFIRMATION_SIZE] += 1
            continue
        rl, rn, rfl, sst, rst, srt, srl, crn, status = struct.unpack_from("<HHBBBBHHB", frame, 3)
        if (rl, rfl, sst, rst, srt, srl) != (6, 0, 1, 1, 0, 3):
            faults["record or subrecord fields not RL 6, RFL 0, SST 1, RST 1, SRT 0, SRL 3"] += 1
        if rn != (index + 1) & 0xFFFF:
            faults["record RN not counting from 1"] += 1
        if crn != rpid:
            faults["CRN not the RN of the packet answered"] += 1  # each packet's RN is its PID
        if status != 0:
            faults["record status not 0"] += 1
    sent = [number & 0xFFFF for number in range(first, first + count)]
    if len(confirmations) != count:
        faults["%d confirmations for %d packets" % (len(confirmations), count)] += 1
    wanted = collections.Counter(sent)
    answered = collections.Counter(rpids)
    unanswered = sum((wanted - answered).values())
    unknown = sum((answered - wanted).values())
    if unanswered or unknown:
        faults["RPIDs: %d sent PIDs not answered, %d answers to no PID sent (or answered "
               "too often)" % (unanswered, unknown)] += 1
    elif rpids != sent:
        faults["RPIDs not in the order the packets were sent"] += 1
    problems = ["%s (%d)" % (text, times) for text, times in faults.items()]
    return problems, confirmations


def verify_response_dumps(dumps, confirmations, packets):
    """One "Response data" dump per packet, each the bytes of a confirmation
    received, every confirmation received dumped once."""
    problems = []
    if len(dumps) != packets:
        problems.append("%d Response data dumps for %d packets" % (len(dumps), packets))
    wrong_length = sum(1 for length, hexed in dumps if int(length) != len(hexed) // 2)
    if wrong_length:
        problems.append("%d Response data dumps whose byte count is not their length"
                        % wrong_length)
    dumped = collections.Counter(hexed for _, hexed in dumps)
    received = collections.Counter(packet.hex().upper().encode() for packet in confirmations)
    not_dumped = sum((received - dumped).values())
    not_received = sum((dumped - received).values())
    if not_dumped or not_received:
        problems.append("Response data dumps: %d confirmations received but not dumped, "
                        "%d dumped but not received" % (not_dumped, not_received))
    return problems


# ---------------------------------------------------------------- server

def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        text = stat.read()
    fields = text[text.rfind(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class OutputFile:
    """Follows the server's output file and counts marks as it grows."""

    def __init__(self, path, marks):
        self.path = path
        self.stream = None
        self.tail = b""
        self.size = 0
        self.counts = {mark: 0 for mark in (marks.dump, marks.part, marks.created, marks.response)
                       if mark is not None}

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
    def __init__(self, binary, directory, name, wrapper=(), confirm=False, as_json=False,
                 verbose=False):
        self.port = free_port()
        self.stdout_path = os.path.join(directory, name + ".stdout")
        self.stderr_path = os.path.join(directory, name + ".stderr")
        self.command = list(wrapper) + [binary, "-b:127.0.0.1:%d" % self.port]
        if confirm:
            self.command.append("-r")
        if as_json:
            self.command.append("-j")
        elif verbose:
            self.command.append("-v")
        self.marks = Marks(as_json)
        self.stdout = open(self.stdout_path, "wb")
        self.stderr = open(self.stderr_path, "wb")
        self.process = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=self.stdout,
                                        stderr=self.stderr)
        self.output = OutputFile(self.stdout_path, self.marks)
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
    created = server.marks.created
    while server.output.poll()[created] < count:
        if time.monotonic() > deadline:
            raise CheckFailed("only %d of %d connections were accepted"
                              % (server.output.counts[created], count))
        time.sleep(0.01)
    return sockets


def read_dumps(path, as_json):
    """The dumps of the output: {"packets": [(count, hex)], "parts": n,
    "responses": [(count, hex)], "problems": [...]}; hex as upper-case bytes.
    With -j every line must be a JSON object; a packet's count is its length."""
    with open(path, "rb") as stream:
        text = stream.read()
    if not as_json:
        return {"packets": [(int(n), hexed) for n, hexed in DUMP_LINE.findall(text)],
                "parts": text.count(PART_MARK), "responses": RESPONSE_LINE.findall(text),
                "problems": []}
    found = {"packets": [], "parts": 0, "responses": [], "problems": []}
    bad = 0
    for line in text.splitlines():
        try:
            value = json.loads(line)
        except ValueError:
            bad += 1
            continue
        if not isinstance(value, dict) or value.get("type") != "packet":
            continue
        hexed = value["bytes"].encode()
        entry = (len(hexed) // 2, hexed)
        if value["source"] == "response":
            found["responses"].append(entry)
        elif value["source"] == "tcp" and value["transport"]["result"] >= 128:
            found["parts"] += 1
        elif value["source"] == "tcp":
            found["packets"].append(entry)
    if bad:
        found["problems"].append("%d output lines are not JSON" % bad)
    return found


def verify_dumps(dumps, first, packets):
    """Every packet first..first+packets-1 dumped exactly once, nothing else."""
    expected = {build_packet(n).hex().upper().encode() for n in range(first, first + packets)}
    seen = set()
    duplicates = unknown = 0
    for count, hexed in dumps["packets"]:
        if count != len(hexed) // 2 or hexed not in expected:
            unknown += 1
        elif hexed in seen:
            duplicates += 1
        else:
            seen.add(hexed)
    missing = len(expected) - len(seen)
    parts = dumps["parts"]
    problems = list(dumps["problems"])
    if missing or duplicates or unknown:
        problems.append("dumps: %d missing, %d duplicated, %d unknown" % (missing, duplicates, unknown))
    if parts:
        problems.append("%d part dumps" % parts)
    return problems


def run_load(binary, directory, name, stem, connections, packets, deadline, wrapper=(),
             confirm=False, as_json=False, verbose=False):
    """One server, `connections` connections, `packets` packets in all; files <stem>.*
    With `confirm` the server runs with -r and every connection reads its
    confirmations in a thread of its own while it sends."""
    figures = {"name": name, "connections": connections, "packets": packets, "confirm": confirm}
    shares = [packets // connections + (1 if k < packets % connections else 0)
              for k in range(connections)]
    starts = [sum(shares[:k]) for k in range(connections)]
    buffers = [b"".join(build_packet(n) for n in range(start, start + share))
               for start, share in zip(starts, shares)]
    server = Server(binary, directory, stem, wrapper, confirm, as_json, verbose)
    marks = server.marks
    problems = []
    chunks = [[] for _ in range(connections)]
    try:
        sockets = open_connections(server, connections, deadline)
        send_done = [None] * connections
        read_done = [None] * connections  # when the expected confirmation bytes were in
        read_ended = [False] * connections
        errors = []

        def send(index):
            try:
                sockets[index].sendall(buffers[index])
                send_done[index] = time.monotonic()
            except OSError as error:
                errors.append("send failed: %s" % error)

        def read(index):
            expected, total = shares[index] * CONFIRMATION_SIZE, 0
            try:
                while True:
                    chunk = sockets[index].recv(READ_CHUNK)
                    if not chunk:
                        break
                    chunks[index].append(chunk)
                    total += len(chunk)
                    if read_done[index] is None and total >= expected:
                        read_done[index] = time.monotonic()
            except OSError as error:
                errors.append("receive failed: %s" % error)
            read_ended[index] = True

        threads = [threading.Thread(target=send, args=(k,), daemon=True) for k in range(connections)]
        readers = [threading.Thread(target=read, args=(k,), daemon=True)
                   for k in range(connections)] if confirm else []
        measured_pid = server.process.pid
        cpu_before = cpu_seconds(measured_pid) if not wrapper else None
        own_before = os.times()
        started = time.monotonic()
        for thread in readers + threads:
            thread.start()
        while (server.output.poll()[marks.dump] < packets
               or (confirm and server.output.counts[marks.response] < packets)):
            if marks.part is not None and server.output.counts[marks.part]:
                problems.append("a part dump appeared")
                break
            if errors or server.process.poll() is not None:
                break
            if any(read_ended):
                problems.append("the server ended a connection during the run")
                break
            if time.monotonic() > deadline:
                problems.append("time cap reached with %d of %d packets dumped, %d confirmations"
                                " dumped" % (server.output.counts[marks.dump], packets,
                                             server.output.counts[marks.response]))
                break
            time.sleep(0.005)
        finished = time.monotonic()
        cpu_after = cpu_seconds(measured_pid) if not wrapper else None
        own_after = os.times()
        for thread in threads:
            thread.join(max(1.0, deadline - time.monotonic()))
        if confirm:
            # End of stream from this side: the server ends the connection in
            # turn, and each reader takes whatever was still sent before that.
            for sock in sockets:
                try:
                    sock.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
            wait_until = min(deadline, time.monotonic() + CLOSE_WAIT)
            for index, reader in enumerate(readers):
                reader.join(max(0.0, wait_until - time.monotonic()))
                if reader.is_alive():
                    problems.append("connection %d not ended by the server within %.0f s of the "
                                    "client's end of stream" % (index, CLOSE_WAIT))
                    try:
                        sockets[index].shutdown(socket.SHUT_RDWR)
                    except OSError:
                        pass
                    reader.join(1.0)
        else:
            # Without -r nothing comes back.
            returned = 0
            for sock in sockets:
                sock.setblocking(False)
                try:
                    returned += len(sock.recv(READ_CHUNK))
                except (BlockingIOError, InterruptedError):
                    pass
                except OSError as error:
                    errors.append("receive failed: %s" % error)
            if returned or server.output.counts[marks.response]:
                problems.append("without -r: %d bytes came back, %d Response data dumps"
                                % (returned, server.output.counts[marks.response]))
        problems += errors[:1]
        for sock in sockets:
            sock.close()
        elapsed = finished - started
        figures.update(
            seconds=elapsed,
            rate=packets / elapsed if elapsed > 0 else 0.0,
            send_seconds=max((t - started for t in send_done if t is not None), default=float("nan")),
            read_seconds=(max(t - started for t in read_done)
                          if confirm and None not in read_done else float("nan")),
            server_cpu=None if cpu_before is None else cpu_after - cpu_before,
            own_cpu=(own_after.user - own_before.user) + (own_after.system - own_before.system),
            output_bytes=server.output.size,
            dumped=server.output.counts[marks.dump],
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
    if stderr_text.strip() and not wrapper and not as_json:
        problems.append("server wrote to stderr: %r" % stderr_text[:200])
    dumps = read_dumps(server.stdout_path, as_json)
    problems += verify_dumps(dumps, 0, packets)
    if confirm:
        received = []
        for index in range(connections):
            found, confirmations = check_confirmations(b"".join(chunks[index]), starts[index],
                                                       shares[index])
            problems += ["connection %d: %s" % (index, text) for text in found]
            received += confirmations
        figures["confirmations"] = len(received)
        problems += verify_response_dumps(dumps["responses"], received, packets)
    figures["problems"] = problems
    figures["stdout_path"] = server.stdout_path
    return figures


def print_load(figures):
    line = ("%-14s %7d packets  %7.3f s  %9.0f packets/s  (sends done after %.3f s)"
            % (figures["name"], figures["packets"], figures["seconds"], figures["rate"],
               figures["send_seconds"]))
    print(line)
    if figures["confirm"]:
        print("%-14s %d confirmations received (all in after %.3f s)"
              % ("", figures.get("confirmations", 0), figures["read_seconds"]))
    if figures.get("server_cpu") is not None:
        print("%-14s server CPU %.2f s = %.3f s per 100,000 packets; %s CPU %.2f s; "
              "output %.0f bytes per packet"
              % ("", figures["server_cpu"], figures["server_cpu"] * 100000 / figures["packets"],
                 "sender+reader" if figures["confirm"] else "sender",
                 figures["own_cpu"], figures["output_bytes"] / max(1, figures["dumped"])))
    for problem in figures["problems"]:
        print("%-14s PROBLEM: %s" % ("", problem))


# ---------------------------------------------------------------- strace

SUMMARY_ROW = re.compile(r"^\s*([\d.]+)\s+([\d.]+)\s+(\d+)\s+(\d+)\s+(?:(\d+)\s+)?(\w+)\s*$")
TRACE_CALL = re.compile(r"^(?:\d+\s+)?(?:<\.\.\. (\w+) resumed>|(\w+)\((\d*))")
SOCKET_SENDS = ("send", "sendto", "sendmsg", "sendmmsg")
RECEIVES = ("recvfrom", "recv", "recvmsg", "read", "readv")
WRITES = ("write", "writev")


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
    """({call: count}, {(call, first argument): count}) of one strace -ff
    trace; a split call counts once."""
    calls = collections.Counter()
    by_descriptor = collections.Counter()
    with open(path, errors="replace") as trace:
        for line in trace:
            if "resumed>" in line:
                continue
            match = TRACE_CALL.match(line)
            if match and match.group(2):
                calls[match.group(2)] += 1
                if match.group(3):
                    by_descriptor[(match.group(2), int(match.group(3)))] += 1
    return calls, by_descriptor


def socket_sends(calls, by_descriptor):
    """Send-type calls on the client's socket: send/sendto/sendmsg, and
    write/writev on the descriptor the thread receives from (its other
    writes go to the output file)."""
    receiving = collections.Counter({fd: n for (call, fd), n in by_descriptor.items()
                                     if call in RECEIVES})
    sock = receiving.most_common(1)[0][0] if receiving else None
    return (sum(calls.get(call, 0) for call in SOCKET_SENDS)
            + sum(n for (call, fd), n in by_descriptor.items() if call in WRITES and fd == sock))


def breakdown(calls, packets, limit=8):
    ordered = sorted(calls.items(), key=lambda item: -item[1])
    return ", ".join("%s %.2f" % (name, count / packets) for name, count in ordered[:limit])


def run_strace_ff(binary, directory, packets, deadline, confirm):
    """One run under strace -f -ff; prints each thread; returns (problems,
    the client thread's calls, its socket send calls)."""
    label = "-r" if confirm else "no -r"
    prefix = os.path.join(directory, "strace_thread_r" if confirm else "strace_thread")
    figures = run_load(binary, directory, "strace -ff", "strace_ff_r" if confirm else "strace_ff",
                       1, packets, deadline, wrapper=(shutil.which("strace"), "-f", "-ff", "-o", prefix),
                       confirm=confirm)
    problems = list(figures["problems"])
    threads = []
    for name in sorted(os.listdir(directory)):
        if name.startswith(os.path.basename(prefix) + "."):
            threads.append((name.split(".")[-1], count_thread_calls(os.path.join(directory, name))))
    client_calls, client_sends, clients = collections.Counter(), 0, 0
    print("strace -f -ff  %d packets on 1 connection, %s, per thread:" % (packets, label))
    for tid, (calls, by_descriptor) in threads:
        total = sum(calls.values())
        role = ("client" if sum(calls.get(call, 0) for call in RECEIVES) > packets // 2
                else "accept" if "accept4" in calls or "accept" in calls else "other")
        print("               tid %-8s %-6s %8d calls  top: %s"
              % (tid, role, total, ", ".join("%s %d" % kv for kv in
                                             sorted(calls.items(), key=lambda i: -i[1])[:6])))
        if role == "client":
            clients += 1
            client_calls += calls
            sends = socket_sends(calls, by_descriptor)
            client_sends += sends
            print("               client thread per packet: %.2f calls (%s)"
                  % (total / packets, breakdown(calls, packets)))
            print("               client thread socket sends: %d = %.2f per packet"
                  % (sends, sends / packets))
    if clients != 1:
        problems.append("%d client threads found in the per-thread traces (%s), not 1"
                        % (clients, label))
    return problems, client_calls, client_sends


def run_strace(binary, directory, packets, deadline, confirm=False):
    strace = shutil.which("strace")
    if strace is None:
        print("strace           not found on PATH; skipped")
        return ["strace missing"]
    problems = []
    label = "-r" if confirm else "no -r"

    summary_path = os.path.join(directory, "strace_summary.txt")
    figures = run_load(binary, directory, "strace -c", "strace_c", 1, packets, deadline,
                       wrapper=(strace, "-c", "-f", "-o", summary_path), confirm=confirm)
    problems += figures["problems"]
    calls = parse_summary(summary_path)
    total = sum(calls.values())
    print("strace -c -f   %d packets on 1 connection, %s, all threads: %d system calls = %.2f "
          "per packet" % (packets, label, total, total / packets))
    print("               per packet: %s" % breakdown(calls, packets, 12))
    print("               (table: %s)" % summary_path)

    found, client, sends = run_strace_ff(binary, directory, packets, deadline, confirm)
    problems += found
    if confirm and not found:
        # The same load without -r, for the cost of the confirmations alone.
        found, plain, plain_sends = run_strace_ff(binary, directory, packets, deadline, False)
        problems += found
        if not found:
            names = sorted(set(client) | set(plain), key=lambda n: -abs(client[n] - plain[n]))
            print("-r minus no -r client thread: %+.2f calls per packet (%s)"
                  % ((sum(client.values()) - sum(plain.values())) / packets,
                     ", ".join("%s %+.2f" % (n, (client[n] - plain[n]) / packets)
                               for n in names if client[n] != plain[n])))
            print("               socket sends: %d with -r, %d without, for %d confirmations"
                  % (sends, plain_sends, packets))
            if sends - plain_sends != packets:
                problems.append("socket send calls of the client thread: %d more with -r than "
                                "without for %d confirmations, not one each"
                                % (sends - plain_sends, packets))
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
    parser.add_argument("--confirm", action="store_true",
                        help="servers run with -r; the clients read and check the confirmations")
    parser.add_argument("--repeat", type=int, default=1,
                        help="runs of the 1-connection load (default 1)")
    parser.add_argument("--wrapper", default="",
                        help="command the binary runs under, e.g. /usr/lib/wine/wine64 for "
                             "korvane.exe (the server's CPU time is then not measured)")
    parser.add_argument("--json", action="store_true",
                        help="compare text and -j output on one connection, --repeat runs each")
    parser.add_argument("--verbose", action="store_true",
                        help="with --json: the text runs report the service layer too (-v), "
                             "as every -j object does")
    parser.add_argument("--keep", default=None,
                        help="directory for the output files (default: a temporary one, removed)")
    args = parser.parse_args()
    if not 1 <= args.packets < 1 << 24 or not 1 <= args.strace_packets < 1 << 24:
        parser.error("packet counts must be 1 .. 16777215")
    if args.repeat < 1:
        parser.error("--repeat must be at least 1")

    directory = args.keep or tempfile.mkdtemp(prefix="tcp_throughput_")
    os.makedirs(directory, exist_ok=True)
    deadline = time.monotonic() + args.seconds
    print("binary %s, %d-byte packets, %s, output files in %s"
          % (args.binary, PACKET_SIZE, "server with -r (confirmations)" if args.confirm
             else "server without -r", directory))
    problems = []
    try:
        loads = () if args.json else ((1, args.repeat), (4, 1))
        if args.json:
            problems += compare_json(args, directory, deadline)
        for connections, runs in loads:
            for run in range(runs):
                name = "%d connection%s" % (connections, "s" * (connections > 1))
                if runs > 1:
                    name += " #%d" % (run + 1)
                stem = "connections_%d%s_%d" % (connections, "_r" * args.confirm, run + 1)
                figures = run_load(args.binary, directory, name, stem, connections, args.packets,
                                   deadline, wrapper=shlex.split(args.wrapper),
                                   confirm=args.confirm)
                print_load(figures)
                problems += figures["problems"]
                if not figures["problems"]:
                    os.remove(figures["stdout_path"])  # large; kept only when a check failed
        if not args.no_strace and not args.json:
            problems += run_strace(args.binary, directory, args.strace_packets, deadline,
                                   args.confirm)
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


def compare_json(args, directory, deadline):
    """Text and -j runs of the 1-connection load in turn; the medians side by side."""
    rates = {False: [], True: []}
    cpus = {False: [], True: []}
    problems = []
    for run in range(args.repeat):
        for as_json in (False, True):
            label = "-j" if as_json else ("text -v" if args.verbose else "text")
            name = "1 conn %s #%d" % (label, run + 1)
            stem = "compare_%s_%d" % ("json" if as_json else "text", run + 1)
            figures = run_load(args.binary, directory, name, stem, 1, args.packets, deadline,
                               confirm=args.confirm, as_json=as_json, verbose=args.verbose)
            print_load(figures)
            problems += figures["problems"]
            if figures["problems"]:
                continue
            os.remove(figures["stdout_path"])
            rates[as_json].append(figures["rate"])
            if figures.get("server_cpu") is not None:
                cpus[as_json].append(figures["server_cpu"] * 100000 / figures["packets"])
    if rates[False] and rates[True]:
        text_rate, json_rate = (sorted(r)[len(r) // 2] for r in (rates[False], rates[True]))
        print("median packets/s: text %.0f, -j %.0f (-j/text %.2f)"
              % (text_rate, json_rate, json_rate / text_rate))
        if cpus[False] and cpus[True]:
            text_cpu, json_cpu = (sorted(c)[len(c) // 2] for c in (cpus[False], cpus[True]))
            print("median server CPU s per 100,000 packets: text %.3f, -j %.3f"
                  % (text_cpu, json_cpu))
    return problems


if __name__ == "__main__":
    sys.exit(main())
