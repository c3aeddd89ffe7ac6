#!/usr/bin/env python3
"""Connection soak of korvane's TCP server mode (-b:127.0.0.1:PORT).

Starts the server on a free loopback port and, for --seconds, runs four
client workers and one knocker against it:

  workers   loop over connections. Each connection sends 0..N valid packets
            (each unique by SKID/PID, sizes from header-only to the largest
            packet the server holds, short and routed headers), sent whole,
            in many 1..8 byte pieces, or several packets per send. It then
            ends one of five ways: clean close, half-close and wait for the
            server's close, garbage (a header that fails, sometimes followed
            by more bytes), a truncated packet then close, or a truncated
            packet then reset (SO_LINGER 0).
  knocker   connects, waits for the server's verdict (accepted or "Too many
            connections"), closes.

Whether a connection was accepted is read from the server's own log lines
("connection detected from 127.0.0.1:<port>" followed by "New Client Object
created" or "Too many connections"); a refused worker connection sends
nothing and is retried.

Checks at the end (any failure gives exit status 1):
  - every valid packet sent before the end of its connection is dumped
    exactly once, byte for byte; nothing else is dumped
  - every garbage ending gets exactly one "Packet part data" dump of its
    first 11 or 16 bytes, and the server then closes the connection
  - refused connections are closed by the server; refusals happen only with
    four clients registered; the server's counts of accepted, refused and
    closed connections match the clients'
  - open descriptors (/proc/PID/fd) at the end are no more than a handful
    above the idle count at start; VmRSS growth from warm-up to the end is
    below --rss-limit-mb
  - the server's stderr is empty (no sanitizer report)
  - "quit" ends the server within a bounded time with exit code 0

Python 3 standard library only; talks to 127.0.0.1 only.
"""

import argparse
import fcntl
import hashlib
import os
import random
import re
import socket
import struct
import subprocess
import sys
import termios
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import crc8, crc16, free_port, is_listening  # noqa: E402  (the scripts' shared helpers)

WORKERS = 4
MAX_CLIENTS = 4
FD_GROWTH_LIMIT = 3          # a handful of descriptors
VERDICT_WAIT = 5.0           # seconds for the server's accept/refuse log line
CLOSE_WAIT = 5.0             # seconds for the server to close a connection
SETTLE_WAIT = 30.0           # seconds for the last dumps and reaps after the run
EXIT_WAIT = 20.0             # seconds for the server to exit after "quit"
MAX_PACKET = 65535           # the largest packet the server frames
SERVER_PORT = 0              # set once the server's port is chosen
DWELL_DEFAULT = 0.25         # mean seconds a worker holds its connection after its packets
DWELL = DWELL_DEFAULT
KNOCKER_SHARE = 0.4          # the knocker's part of all connects

PROMPT = "Please type 'quit' to exit..."
LOG_LINE = re.compile(r"^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}  (.*)$")
DETECTED = re.compile(r"^Main:  INFO: New incomming TCP/IP connection detected from 127\.0\.0\.1:(\d+)$")
CREATED = re.compile(r"^Main:  INFO: New Client Object created ([0-9A-F]+)$")
REFUSED = re.compile(r"^Main:  WARNING: Too many connections \((\d+)\)\. This connection was rejected$")
REAPED = re.compile(r"^Main:  INFO: Connection closed ([0-9A-F]+)$")
REMOTE_CLOSE = re.compile(r"^([0-9A-F]+) INFO: Connection closed by remote side$")
DUMP_HEAD = re.compile(r"^Packet data: (\d+) bytes$")
PART_HEAD = re.compile(r"^Packet part data: (\d+) bytes$")


# ---------------------------------------------------------------- packets

def header(skid, flags, fdl, pid, pt, route=None):
    """Transport header; route=(pra, rca, ttl) gives the 16-byte form."""
    hl = 16 if route is not None else 11
    head = bytes([0x01, skid, flags, hl, 0x00]) + struct.pack("<HHB", fdl, pid, pt)
    if route is not None:
        head += struct.pack("<HHB", *route)
    return head + bytes([crc8(head)])


def packet(skid, flags, pid, pt, frame, route=None):
    if route is not None:
        flags |= 0x20
    head = header(skid, flags, len(frame), pid, pt, route)
    if not frame:
        return head
    return head + frame + struct.pack("<H", crc16(frame))


def digest(data):
    return hashlib.blake2b(data, digest_size=16).digest()


class Ids:
    """Unique (SKID, PID) pairs: every packet and garbage header differs."""

    def __init__(self):
        self._lock = threading.Lock()
        self._next = 0

    def take(self):
        with self._lock:
            value = self._next
            self._next += 1
        if value >= 1 << 24:
            raise RuntimeError("out of unique packet ids")
        return (value >> 16) & 0xFF, value & 0xFFFF


def frame_data(rng, length, pt):
    """Frame data of the given length: random bytes or a run of records."""
    if length == 0:
        return b""
    if rng.random() < 0.5 or length < 16:
        return rng.randbytes(length)
    out = bytearray()
    if pt == 0:
        out += struct.pack("<HB", rng.randrange(65536), 0)
    rn = 0
    while len(out) + 7 <= length:
        room = length - len(out) - 7
        rd = bytearray()
        while len(rd) + 3 <= room and rng.random() < 0.8:
            srl = rng.randrange(0, min(room - len(rd) - 3, 300) + 1)
            rd += struct.pack("<BH", rng.choice((0, 1, 2, 16, 17, 20, 40, 51, 62, 255)), srl)
            rd += rng.randbytes(srl)
        out += struct.pack("<HHBBB", len(rd), rn, 0, rng.choice((1, 2, 10)), rng.choice((1, 2, 10)))
        out += rd
        rn += 1
        if rng.random() < 0.3:
            break
    out += rng.randbytes(length - len(out))
    return bytes(out)


def random_packet(rng, ids):
    routed = rng.random() < 0.25
    hl = 16 if routed else 11
    largest = MAX_PACKET - hl - 2
    roll = rng.random()
    if roll < 0.2:
        fdl = 0
    elif roll < 0.7:
        fdl = rng.randint(1, 200)
    elif roll < 0.9:
        fdl = rng.randint(201, 2000)
    elif roll < 0.98:
        fdl = rng.randint(2001, 20000)
    else:
        fdl = largest if rng.random() < 0.3 else rng.randint(20001, largest)
    pt = rng.choice((0, 1, 1, 2))
    skid, pid = ids.take()
    route = (rng.randrange(65536), rng.randrange(65536), rng.randrange(256)) if routed else None
    return packet(skid, rng.randrange(4), pid, pt, frame_data(rng, fdl, pt), route)


def garbage(rng, ids):
    """Bytes whose header fails, and the part the server should dump."""
    skid, pid = ids.take()
    kind = rng.choice(("protocol", "checksum", "length", "too long", "too long routed"))
    if kind == "protocol":
        head = bytes([rng.choice((0x00, 0x02, 0xEE, 0xFF)), skid]) + struct.pack("<H", pid)
        data = head + rng.randbytes(12)
    elif kind == "checksum":
        good = header(skid, 0, rng.randrange(65536), pid, 1)
        data = good[:-1] + bytes([good[-1] ^ rng.randrange(1, 256)]) + rng.randbytes(5)
    elif kind == "length":
        head = bytes([0x01, skid, 0x00, rng.choice((0, 10, 12, 15, 17, 255)), 0]) + struct.pack("<HHB", 5, pid, 1)
        data = head + bytes([crc8(head)]) + rng.randbytes(5)
    elif kind == "too long":
        # A sound header announcing more than the server holds: dumped as an 11-byte part.
        data = header(skid, 0, rng.randint(MAX_PACKET - 11 - 1, 0xFFFF), pid, 1)
        return kind, data + rng.randbytes(rng.randrange(0, 40)), data
    else:
        data = header(skid, 0x20, rng.randint(MAX_PACKET - 16 - 1, 0xFFFF), pid, 1,
                      route=(1, 2, 3))
        return kind, data + rng.randbytes(rng.randrange(0, 40)), data
    return kind, data + rng.randbytes(rng.randrange(0, 200)), data[:16]


# ---------------------------------------------------------------- server

def open_fds(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


class Verdicts:
    """The server's accept/refuse decision per client port, from its log."""

    def __init__(self):
        self._cond = threading.Condition()
        self._by_port = {}

    def expect(self, port):
        with self._cond:
            self._by_port.pop(port, None)

    def post(self, port, verdict):
        with self._cond:
            self._by_port[port] = verdict
            self._cond.notify_all()

    def wait(self, port, seconds):
        deadline = time.monotonic() + seconds
        with self._cond:
            while port not in self._by_port:
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._cond.wait(left)
            return self._by_port.pop(port)


class OutputReader(threading.Thread):
    """Reads the server's stdout to its end and tallies what it printed."""

    def __init__(self, stream, verdicts, copy_path):
        super().__init__(daemon=True)
        self.stream = stream
        self.verdicts = verdicts
        self.copy = open(copy_path, "wb") if copy_path else None
        self.lock = threading.Lock()
        self.prompt = threading.Event()
        self.dumps = {}            # digest -> count
        self.parts = {}            # digest -> count
        self.bad_dump_lines = []
        self.accepted = 0
        self.refused = 0
        self.refused_counts = set()
        self.refused_below_max = 0
        self.reaped = 0
        self.remote_closed = 0
        self.registered = 0
        self.max_registered = 0
        self.other_problems = []   # ERROR/WARNING lines other than refusals
        self.bytes_read = 0
        self._last_port = None
        self._pending = None       # ("dump"|"part", size) while the hex line is due

    def run(self):
        rest = b""
        while True:
            chunk = os.read(self.stream.fileno(), 1 << 16)
            if not chunk:
                break
            self.bytes_read += len(chunk)
            if self.copy:
                self.copy.write(chunk)
            lines = (rest + chunk).split(b"\n")
            rest = lines.pop()
            with self.lock:
                for raw in lines:
                    self._line(raw.decode("latin-1"))
        if rest:
            with self.lock:
                self._line(rest.decode("latin-1"))
        if self.copy:
            self.copy.close()

    def _line(self, line):
        if self._pending is not None:
            kind, size = self._pending
            self._pending = None
            text = line[1:] if line.startswith(" ") else None
            if kind == "part" and text is not None and text.endswith("..."):
                text = text[:-3]
            try:
                data = bytes.fromhex(text) if text is not None else None
            except ValueError:
                data = None
            if data is None or len(data) != size or text != text.upper():
                self.bad_dump_lines.append(line[:120])
                return
            table = self.dumps if kind == "dump" else self.parts
            key = digest(data)
            table[key] = table.get(key, 0) + 1
            return
        match = DUMP_HEAD.match(line)
        if match:
            self._pending = ("dump", int(match.group(1)))
            return
        match = PART_HEAD.match(line)
        if match:
            self._pending = ("part", int(match.group(1)))
            return
        if line == PROMPT:
            self.prompt.set()
            return
        logged = LOG_LINE.match(line)
        if not logged:
            return
        message = logged.group(1)
        match = DETECTED.match(message)
        if match:
            self._last_port = int(match.group(1))
            return
        match = CREATED.match(message)
        if match:
            self.accepted += 1
            self.registered += 1
            self.max_registered = max(self.max_registered, self.registered)
            self._post(("accepted", match.group(1)))
            return
        match = REFUSED.match(message)
        if match:
            self.refused += 1
            self.refused_counts.add(int(match.group(1)))
            if self.registered < MAX_CLIENTS:
                self.refused_below_max += 1
            self._post(("refused", None))
            return
        match = REAPED.match(message)
        if match:
            self.reaped += 1
            self.registered -= 1
            return
        if REMOTE_CLOSE.match(message):
            self.remote_closed += 1
            return
        if "ERROR" in message or "WARNING" in message:
            self.other_problems.append(message)
            if "Client Object" in message or "clients storage" in message:
                self._post(("error", message))

    def _post(self, verdict):
        if self._last_port is None:
            self.other_problems.append("verdict without a detected connection: %r" % (verdict,))
            return
        self.verdicts.post(self._last_port, verdict)
        self._last_port = None


# ---------------------------------------------------------------- clients

class Tally:
    def __init__(self):
        self.lock = threading.Lock()
        self.connects = 0
        self.accepted = 0
        self.refused = 0
        self.no_verdict = 0
        self.refused_not_closed = 0
        self.knocks = 0
        self.knocks_accepted = 0
        self.endings = {}
        self.garbage_kinds = {}
        self.packets_sent = 0
        self.bytes_sent = 0
        self.expected = {}         # digest -> times it must be dumped
        self.expected_parts = {}
        self.unreported = {}       # digest -> 0: sent after garbage or truncated
        self.origin = {}           # digest -> where the packet was sent, for reports
        self.failures = []

    def add(self, **counts):
        with self.lock:
            for name, value in counts.items():
                setattr(self, name, getattr(self, name) + value)

    def fail(self, text):
        with self.lock:
            if len(self.failures) < 50:
                self.failures.append(text)


def connect(verdicts, tally):
    """A connection and the server's verdict on it, or (None, None)."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    sock.bind(("127.0.0.1", 0))
    port = sock.getsockname()[1]
    verdicts.expect(port)
    sock.settimeout(CLOSE_WAIT)
    try:
        sock.connect(("127.0.0.1", SERVER_PORT))
    except OSError as error:
        tally.fail("connect from port %d failed: %s" % (port, error))
        sock.close()
        return None, None
    tally.add(connects=1)
    verdict = verdicts.wait(port, VERDICT_WAIT)
    if verdict is None:
        tally.add(no_verdict=1)
        tally.fail("no accept/refuse log line for client port %d within %.0f s" % (port, VERDICT_WAIT))
        sock.close()
        return None, None
    if verdict[0] == "refused":
        tally.add(refused=1)
        if not wait_for_close(sock):
            tally.add(refused_not_closed=1)
            tally.fail("refused connection from port %d was not closed by the server" % port)
        sock.close()
        return None, verdict
    if verdict[0] != "accepted":
        tally.fail("connection from port %d: %s" % (port, verdict[1]))
        sock.close()
        return None, verdict
    tally.add(accepted=1)
    return sock, verdict


def wait_for_close(sock):
    """True once the peer has closed (end of stream or reset) within CLOSE_WAIT."""
    deadline = time.monotonic() + CLOSE_WAIT
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return False
        sock.settimeout(left)
        try:
            data = sock.recv(4096)
        except socket.timeout:
            return False
        except ConnectionError:
            return True
        except OSError:
            return True
        if not data:
            return True
        # The server never sends; bytes here are wrong, but keep waiting.


def wait_sent(sock):
    """True once the send queue is empty (all bytes acknowledged) within CLOSE_WAIT."""
    deadline = time.monotonic() + CLOSE_WAIT
    while True:
        queued = struct.unpack("i", fcntl.ioctl(sock.fileno(), termios.TIOCOUTQ, b"\0" * 4))[0]
        if queued == 0:
            return True
        if time.monotonic() > deadline:
            return False
        time.sleep(0.002)


def send_pieces(sock, rng, data):
    """Sends data whole, in tiny pieces, or in random-sized pieces."""
    mode = rng.random()
    if mode < 0.4 or len(data) < 2:
        sock.sendall(data)
        return
    offset = 0
    tiny = mode < 0.7
    while offset < len(data):
        if tiny and offset < 400:
            step = rng.randint(1, 8)
        else:
            step = rng.randint(1, 4096)
        sock.sendall(data[offset:offset + step])
        offset += step
        if rng.random() < 0.05:
            time.sleep(0.001)


def run_connection(sock, verdict, rng, ids, tally):
    packets = [random_packet(rng, ids) for _ in range(rng.choice((0, 1, 2, 3, 5, 8, 12, 20, 30)))]
    ending = rng.choices(("clean", "half-close", "garbage", "truncated+close", "truncated+reset"),
                         weights=(30, 15, 25, 15, 15))[0]
    tail = b""
    after = []       # valid packets that follow garbage in the stream: never dumped
    part = None
    if ending == "garbage":
        kind, tail, part = garbage(rng, ids)
        with tally.lock:
            tally.garbage_kinds[kind] = tally.garbage_kinds.get(kind, 0) + 1
        if rng.random() < 0.3:
            after = [random_packet(rng, ids) for _ in range(rng.randint(1, 3))]
            tail += b"".join(after)
    elif ending.startswith("truncated"):
        cut = random_packet(rng, ids)
        tail = cut[:rng.randint(1, len(cut) - 1)]
        after = [cut]
    with tally.lock:
        client = verdict[1]
        port = sock.getsockname()[1]
        for number, data in enumerate(packets):
            key = digest(data)
            tally.expected[key] = tally.expected.get(key, 0) + 1
            tally.origin[key] = "client %s port %d packet %d of %d (%d bytes, PID %d), %s ending" % (
                client, port, number + 1, len(packets), len(data), data[7] | data[8] << 8, ending)
        for data in after:
            tally.unreported[digest(data)] = 0
        if part is not None:
            key = digest(part)
            tally.expected_parts[key] = tally.expected_parts.get(key, 0) + 1
        tally.endings[ending] = tally.endings.get(ending, 0) + 1
        tally.packets_sent += len(packets)
        tally.bytes_sent += sum(len(p) for p in packets) + len(tail)
    stage = "packets"
    try:
        # Whole packets one by one, or several joined per send; pieces either way.
        index = 0
        while index < len(packets):
            take = rng.randint(1, 6) if rng.random() < 0.4 else 1
            send_pieces(sock, rng, b"".join(packets[index:index + take]))
            index += take
        # Keep the slot a while, so that all four are often taken.
        time.sleep(rng.uniform(0, 2 * DWELL))
        if tail:
            stage = "tail"
            send_pieces(sock, rng, tail)
            stage = "ending"
        if ending == "clean" or ending == "truncated+close":
            sock.close()
        elif ending == "half-close":
            sock.shutdown(socket.SHUT_WR)
            if not wait_for_close(sock):
                tally.fail("server did not close a half-closed connection within %.0f s" % CLOSE_WAIT)
            sock.close()
        elif ending == "garbage":
            if not wait_for_close(sock):
                tally.fail("server did not close the connection after garbage within %.0f s" % CLOSE_WAIT)
            sock.close()
        else:
            # A reset drops what the kernel still holds unsent or unacknowledged
            # (tiny segments can wait for a retransmit); only bytes that reached
            # the server count as sent.
            if not wait_sent(sock):
                tally.fail("bytes before a reset were not acknowledged within %.0f s" % CLOSE_WAIT)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            sock.close()
    except OSError as error:
        # Bytes after garbage may meet a connection the server has closed already.
        if not (ending == "garbage" and stage == "tail"):
            tally.fail("send on an accepted connection failed (%s ending, %s): %s"
                       % (ending, stage, error))
        sock.close()


def paced(deadline, interval, rng, body):
    """Runs body() at about one start per interval until the deadline."""
    next_start = time.monotonic() + rng.uniform(0, interval)
    while True:
        now = time.monotonic()
        if now >= deadline:
            return
        if next_start > now:
            time.sleep(min(next_start - now, deadline - now))
            continue
        body()
        next_start += interval * rng.uniform(0.5, 1.5)
        next_start = max(next_start, time.monotonic() - interval)


def worker(seed, deadline, interval, verdicts, ids, tally):
    rng = random.Random(seed)

    def one():
        sock, verdict = connect(verdicts, tally)
        if sock is None:
            # Refused (every slot taken) or lost: try again shortly.
            time.sleep(rng.uniform(0.005, 0.03))
            return
        run_connection(sock, verdict, rng, ids, tally)

    paced(deadline, interval, rng, one)


def knocker(seed, deadline, interval, verdicts, tally):
    rng = random.Random(seed)

    def one():
        tally.add(knocks=1)
        sock, verdict = connect(verdicts, tally)
        if sock is not None:
            tally.add(knocks_accepted=1)
            time.sleep(rng.uniform(0, 0.05))
            sock.close()

    paced(deadline, interval, rng, one)


# ---------------------------------------------------------------- main

def main():
    global SERVER_PORT, DWELL
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", required=True, help="path of the korvane executable")
    parser.add_argument("--seconds", type=float, default=60.0, help="load time (default 60)")
    parser.add_argument("--connects-per-minute", type=float, default=1000.0,
                        help="target connects of all clients together (default 1000)")
    parser.add_argument("--rss-limit-mb", type=float, default=8.0,
                        help="allowed VmRSS growth from warm-up to the end (default 8)")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--dwell", type=float, default=DWELL_DEFAULT,
                        help="mean seconds a worker holds a connection after its packets (default %.2f)" % DWELL_DEFAULT)
    parser.add_argument("--stderr-file", default=None, help="keep the server's stderr here")
    parser.add_argument("--stdout-file", default=None, help="keep a copy of the server's stdout here")
    parser.add_argument("--verbose-server", action="store_true", help="run the server with -v")
    args = parser.parse_args()
    DWELL = args.dwell

    seed = args.seed if args.seed is not None else random.randrange(1 << 31)
    port = free_port()
    SERVER_PORT = port
    stderr_path = args.stderr_file or tempfile.mkstemp(prefix="tcp_soak_stderr_")[1]
    command = [args.binary, "-b:127.0.0.1:%d" % port] + (["-v"] if args.verbose_server else [])
    print("server: %s   seed: %d" % (" ".join(command), seed), flush=True)

    verdicts = Verdicts()
    stderr_file = open(stderr_path, "wb")
    started = time.monotonic()
    server = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=stderr_file)
    reader = OutputReader(server.stdout, verdicts, args.stdout_file)
    reader.start()

    failures = []
    try:
        deadline = time.monotonic() + 10
        while not is_listening(port):
            if server.poll() is not None or time.monotonic() > deadline:
                raise SystemExit("server did not start listening on port %d (exit %s)"
                                 % (port, server.poll()))
            time.sleep(0.02)
        fd_start = open_fds(server.pid)
        rss_start = rss_kib(server.pid)

        tally = Tally()
        ids = Ids()
        per_second = args.connects_per_minute / 60.0
        interval = WORKERS / (per_second * (1 - KNOCKER_SHARE))
        knock_interval = 1 / (per_second * KNOCKER_SHARE)
        load_start = time.monotonic()
        deadline = load_start + args.seconds
        threads = [threading.Thread(target=worker, daemon=True,
                                    args=(seed + 1 + n, deadline, interval, verdicts, ids, tally))
                   for n in range(WORKERS)]
        threads.append(threading.Thread(target=knocker, daemon=True,
                                        args=(seed, deadline, knock_interval, verdicts, tally)))
        for thread in threads:
            thread.start()
        warm_at = load_start + min(5.0, args.seconds / 4)
        while time.monotonic() < warm_at:
            time.sleep(0.05)
        rss_warm = rss_kib(server.pid)
        fd_warm = open_fds(server.pid)
        for thread in threads:
            thread.join(max(0.0, deadline - time.monotonic()) + 4 * CLOSE_WAIT + VERDICT_WAIT + 10)
            if thread.is_alive():
                failures.append("a client thread did not finish (hang)")
        load_seconds = time.monotonic() - load_start

        # Let the last packets be dumped and the last clients be reaped.
        settle_start = time.monotonic()
        while time.monotonic() - settle_start < SETTLE_WAIT:
            with reader.lock:
                done = (reader.registered == 0 and reader.reaped == reader.accepted
                        and all(reader.dumps.get(k, 0) >= n for k, n in tally.expected.items())
                        and all(reader.parts.get(k, 0) >= n for k, n in tally.expected_parts.items()))
            if done:
                break
            time.sleep(0.1)
        settle_seconds = time.monotonic() - settle_start
        time.sleep(0.3)
        fd_end = open_fds(server.pid)
        rss_end = rss_kib(server.pid)

        quit_at = time.monotonic()
        server.stdin.write(b"quit\n")
        server.stdin.flush()
        server.stdin.close()
        try:
            code = server.wait(EXIT_WAIT)
        except subprocess.TimeoutExpired:
            code = None
            failures.append("server still running %.0f s after 'quit' (hang); killed" % EXIT_WAIT)
            server.kill()
            server.wait(5)
        exit_seconds = time.monotonic() - quit_at
        reader.join(10)
        total_seconds = time.monotonic() - started
    finally:
        if server.poll() is None:
            server.kill()
            server.wait(5)
        stderr_file.close()

    # ------------------------------------------------------------ checks
    failures += tally.failures
    missing = duplicated = 0
    missing_where = []
    for key, times in tally.expected.items():
        got = reader.dumps.get(key, 0)
        if got < times:
            missing += times - got
            missing_where.append(tally.origin.get(key, "?"))
        elif got > times:
            duplicated += got - times
    reported = sum(min(reader.dumps.get(k, 0), n) for k, n in tally.expected.items())
    never = sum(reader.dumps.get(k, 0) for k in tally.unreported)
    unknown = sum(n for k, n in reader.dumps.items()
                  if k not in tally.expected and k not in tally.unreported)
    parts_missing = sum(max(0, n - reader.parts.get(k, 0)) for k, n in tally.expected_parts.items())
    parts_extra = sum(n for k, n in reader.parts.items() if k not in tally.expected_parts) + sum(
        max(0, reader.parts.get(k, 0) - n) for k, n in tally.expected_parts.items())
    garbage_accepted = tally.endings.get("garbage", 0)
    with open(stderr_path, "rb") as stream:
        stderr_text = stream.read().decode("latin-1")

    if missing:
        failures.append("%d packets that must be reported were not dumped; first: %s"
                        % (missing, "; ".join(missing_where[:5])))
    if duplicated:
        failures.append("%d packets were dumped more than once" % duplicated)
    if never:
        failures.append("%d packets sent after garbage or cut short were dumped" % never)
    if unknown:
        failures.append("%d dumps match no packet sent" % unknown)
    if reader.bad_dump_lines:
        failures.append("%d malformed dump lines, first: %r" % (len(reader.bad_dump_lines),
                                                                reader.bad_dump_lines[0]))
    if parts_missing or parts_extra:
        failures.append("part dumps: %d missing, %d unexpected" % (parts_missing, parts_extra))
    if reader.accepted != tally.accepted or reader.refused != tally.refused:
        failures.append("server log: %d accepted / %d refused, clients saw %d / %d"
                        % (reader.accepted, reader.refused, tally.accepted, tally.refused))
    if reader.refused_below_max:
        failures.append("%d refusals while fewer than %d clients were registered"
                        % (reader.refused_below_max, MAX_CLIENTS))
    if reader.refused_counts - {MAX_CLIENTS}:
        failures.append("refusal messages with counts %s" % sorted(reader.refused_counts))
    if reader.max_registered > MAX_CLIENTS:
        failures.append("%d clients registered at once" % reader.max_registered)
    if reader.reaped != reader.accepted:
        failures.append("%d clients accepted but %d reaped" % (reader.accepted, reader.reaped))
    if reader.remote_closed != reader.accepted - garbage_accepted:
        failures.append("%d 'closed by remote side' lines, expected %d (accepted minus garbage endings)"
                        % (reader.remote_closed, reader.accepted - garbage_accepted))
    if reader.other_problems:
        failures.append("%d other ERROR/WARNING lines, first: %r"
                        % (len(reader.other_problems), reader.other_problems[0]))
    if fd_end - fd_start > FD_GROWTH_LIMIT:
        failures.append("open descriptors grew from %d to %d" % (fd_start, fd_end))
    if (rss_end - rss_warm) / 1024.0 > args.rss_limit_mb:
        failures.append("VmRSS grew by %.1f MiB from warm-up to the end (limit %.1f)"
                        % ((rss_end - rss_warm) / 1024.0, args.rss_limit_mb))
    if stderr_text.strip():
        failures.append("server wrote %d bytes to stderr (%s)" % (len(stderr_text), stderr_path))
    if code != 0:
        failures.append("server exit code %s" % code)

    # ------------------------------------------------------------ figures
    print("load time                 %.1f s (asked %.0f s), settle %.2f s, exit after quit %.2f s, total %.1f s"
          % (load_seconds, args.seconds, settle_seconds, exit_seconds, total_seconds))
    print("connections made          %d (knocker %d, workers %d)"
          % (tally.connects, tally.knocks, tally.connects - tally.knocks))
    print("  accepted / refused      %d / %d   (server log: %d / %d, refusal count values %s)"
          % (tally.accepted, tally.refused, reader.accepted, reader.refused,
             sorted(reader.refused_counts) or "-"))
    print("  knocker accepted        %d" % tally.knocks_accepted)
    print("  endings                 %s" % ", ".join("%s %d" % kv for kv in sorted(tally.endings.items())))
    print("  garbage kinds           %s" % ", ".join("%s %d" % kv for kv in sorted(tally.garbage_kinds.items())))
    print("  server: remote closes %d, reaped %d, max registered %d"
          % (reader.remote_closed, reader.reaped, reader.max_registered))
    print("packets sent (must be reported) %d, reported %d, missing %d, duplicated %d, unknown dumps %d"
          % (tally.packets_sent, reported, missing, duplicated, unknown))
    print("  packets after garbage/cut short %d, dumped %d" % (len(tally.unreported), never))
    print("  part dumps expected %d, got %d" % (sum(tally.expected_parts.values()),
                                                 sum(reader.parts.values())))
    print("  bytes sent %d, server stdout %d bytes" % (tally.bytes_sent, reader.bytes_read))
    print("descriptors  start %d, warm-up %d, end %d" % (fd_start, fd_warm, fd_end))
    print("VmRSS        start %d KiB, warm-up %d KiB, end %d KiB" % (rss_start, rss_warm, rss_end))
    print("server exit code %s; stderr %d bytes (%s)" % (code, len(stderr_text), stderr_path))
    if stderr_text.strip():
        print("---- server stderr (first 40 lines) ----")
        print("\n".join(stderr_text.splitlines()[:40]))
        print("----")
    if failures:
        print("FAIL")
        for text in failures[:40]:
            print("  - " + text)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
