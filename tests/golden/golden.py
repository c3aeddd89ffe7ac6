#!/usr/bin/env python3
"""Golden outputs: every packet source of korvane run on the bundled examples
and on fixed captures, with -v, -x, -j and -r, its standard output and
standard error compared byte for byte with tests/golden/expected/.

    golden.py --korvane BIN --captures BIN [--update] [--only SUBSTRING] [--jobs N]

Sources: a single packet (-f: and -c), the incoming directory, operator
command files, TCP terminals with and without -r (a scripted terminal),
-s: against korvane -b: -r itself, and captures (-p:, written by the
golden_captures program). What varies from run to run is masked before the
comparison: times within two days of the run, ports of 127.0.0.1, and in
runs that make commands their CIDs (taken from the clock) with the check
sums over them. Runs wait for what korvane has written, never for a time;
each run has its own directory and port, so runs go in parallel.
--update writes the expected files instead of comparing."""

import argparse
import concurrent.futures
import datetime
import difflib
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

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
EXPECTED = os.path.join(HERE, "expected")
EXAMPLES = os.path.join(SOURCE, "examples")
sys.path.insert(0, os.path.join(SOURCE, "bench"))
from egts_bench import crc8, crc16, free_port, is_listening  # noqa: E402

LIMIT = 30  # seconds any one wait may take before the run fails


class Failure(Exception):
    pass


# --- korvane as a child process ---------------------------------------------

class Korvane:
    """A running korvane whose two output streams are collected as they come."""

    def __init__(self, binary, args, cwd):
        self.args = args
        self.proc = subprocess.Popen([binary] + args, cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.streams = {"out": bytearray(), "err": bytearray()}
        self.changed = threading.Condition()
        self.readers = [threading.Thread(target=self._read, args=(name, pipe), daemon=True)
                        for name, pipe in (("out", self.proc.stdout), ("err", self.proc.stderr))]
        for reader in self.readers:
            reader.start()

    def _read(self, name, pipe):
        while True:
            chunk = os.read(pipe.fileno(), 65536)
            with self.changed:
                if chunk:
                    self.streams[name] += chunk
                self.changed.notify_all()
            if not chunk:
                return

    def wait_for(self, text, count=1, stream="out"):
        """Until `text` was written `count` times on the stream."""
        wanted = text.encode()
        deadline = time.monotonic() + LIMIT
        with self.changed:
            while self.streams[stream].count(wanted) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise Failure("%r not seen %d times on standard %s of korvane %s:\n%s" % (
                        text, count, "output" if stream == "out" else "error",
                        " ".join(self.args), self.streams[stream].decode(errors="replace")[-3000:]))
                self.changed.wait(left)

    def type(self, line):
        self.proc.stdin.write(line.encode() + b"\n")
        self.proc.stdin.flush()

    def finish(self):
        """Closes standard input and waits for the end; (stdout, stderr)."""
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        try:
            self.proc.wait(LIMIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise Failure("korvane %s did not end" % " ".join(self.args))
        for reader in self.readers:
            reader.join(LIMIT)
        return bytes(self.streams["out"]), bytes(self.streams["err"])


def run_once(ctx, args, stdin=b""):
    done = subprocess.run([ctx.korvane] + args, cwd=ctx.dir, input=stdin, capture_output=True,
                          timeout=LIMIT)
    return done.stdout, done.stderr


def wait_listening(port):
    deadline = time.monotonic() + LIMIT
    while not is_listening(port):
        if time.monotonic() > deadline:
            raise Failure("nothing listens on port %d" % port)
        time.sleep(0.01)


# --- EGTS bytes for the scripted terminal -----------------------------------

def packets_of(data):
    """The packets of bytes holding packets back to back."""
    packets, at = [], 0
    while at + 11 <= len(data):
        fdl = data[at + 5] | data[at + 6] << 8
        size = data[at + 3] + fdl + (2 if fdl else 0)
        packets.append(data[at:at + size])
        at += size
    return packets


def example(name):
    with open(os.path.join(EXAMPLES, name), "rb") as file:
        return file.read()


def packet(pt, pid, frame):
    head = struct.pack("<BBBBBHHB", 1, 0, 0, 11, 0, len(frame), pid, pt)
    return head + bytes([crc8(head)]) + frame + (struct.pack("<H", crc16(frame)) if frame else b"")


def record(rn, service, subrecords, oid=None):
    flags, extra = (0x01, struct.pack("<I", oid)) if oid is not None else (0, b"")
    return struct.pack("<HHB", len(subrecords), rn, flags) + extra + bytes([service, service]) + \
        subrecords


def subrecord(srt, data):
    return struct.pack("<BH", srt, len(data)) + data


def confirmation(pid, received):
    """The terminal's RESPONSE to a packet it received, each record confirmed."""
    rpid = received[7] | received[8] << 8
    frame = struct.pack("<HB", rpid, 0)
    at, end, rn = received[3], received[3] + (received[5] | received[6] << 8), pid
    while at + 7 <= end:
        rl, crn, rfl = struct.unpack_from("<HHB", received, at)
        head = 5 + 4 * bin(rfl & 0x07).count("1")
        service = received[at + head]
        frame += record(rn, service, subrecord(0, struct.pack("<HB", crn, 0)))
        rn += 1
        at += head + 2 + rl
    return packet(0, pid, frame)


def command_answer(pid, command):
    """CT_COMCONF, CCT_OK for the COMMAND_DATA of `command`: its CID and CCD."""
    srd = 11 + 11 + 3  # after the transport, record (with OID) and subrecord headers
    cid = struct.unpack_from("<I", command, srd + 1)[0]
    ccd = command[srd + 13:srd + 15]  # after CT, CID, SID, flags, ADR and SZ/ACT
    data = bytes([0x10]) + struct.pack("<IIBH", cid, 0, 0, 0) + ccd
    return packet(1, pid, record(pid, 4, subrecord(51, data), oid=5))


class Terminal:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=LIMIT)

    def send(self, data):
        self.sock.sendall(data)

    def read(self):
        """The next whole packet."""
        head = self._exactly(11)
        fdl = head[5] | head[6] << 8
        return head + self._exactly(head[3] - 11 + fdl + (2 if fdl else 0))

    def _exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise Failure("the connection closed after %d bytes" % len(data))
            data += chunk
        return data

    def close(self):
        self.sock.close()


# --- masks -------------------------------------------------------------------

NEAR = datetime.timedelta(days=2)
NOW = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)


def near_now(*fields):
    try:
        return abs(datetime.datetime(*map(int, fields)) - NOW) < NEAR
    except ValueError:
        return False


def mask_times(text):
    text = re.sub(r"(\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d)(\.\d{3})?",
                  lambda m: ("dd.mm.yyyy hh:mm:ss" + (".mmm" if m[7] else ""))
                  if near_now(m[3], m[2], m[1], m[4], m[5], m[6]) else m[0], text)
    text = re.sub(r"(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(\.\d+)?Z",
                  lambda m: ("yyyy-mm-ddThh:mm:ss" + (".mmm" if m[7] else "") + "Z")
                  if near_now(*m.groups()[:6]) else m[0], text)
    # Outgoing file names: <yyyymmddhhmmss><RN mod 10>_<recipient>.txt
    return re.sub(r"\b(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)(\d_)",
                  lambda m: "yyyymmddhhmmss" + m[7] if near_now(*m.groups()[:6]) else m[0], text)


def command_spots(data):
    """Where the CIDs of the COMMAND_DATA subrecords of an APPDATA packet are."""
    if len(data) < 11 or data[9] != 1:
        return []
    spots, at = [], data[3]
    end = min(len(data), at + (data[5] | data[6] << 8))
    while at + 7 <= end:
        rl, _, rfl = struct.unpack_from("<HHB", data, at)
        at += 5 + 4 * bin(rfl & 0x07).count("1")
        if at + 2 > end:
            break
        service, at = data[at + 1], at + 2
        stop = min(end, at + rl)
        while at + 3 <= stop:
            srt, srl = data[at], data[at + 1] | data[at + 2] << 8
            if service == 4 and srt == 51 and srl >= 5:
                spots.append(at + 4)
            at += 3 + srl
        at = stop
    return spots


def mask_commands(text):
    """CIDs from the clock: in packet bytes (with the check sum over them), in
    the dump heads, the answers, the reports and JSON."""
    def packet_hex(match):
        digits = match[0]
        spots = command_spots(bytes.fromhex(digits))
        if not spots:
            return digits
        for spot in spots:
            digits = digits[:2 * spot] + "cccccccc" + digits[2 * spot + 8:]
        return digits[:-4] + "ssss"

    text = re.sub(r"(?<![0-9A-F])(?:[0-9A-F]{2}){11,}(?![0-9A-F])", packet_hex, text)
    text = re.sub(r"(Command ID \[|Command |Command Identifier +- )\d+", r"\1<cid>", text)
    lines = []
    for line in text.split("\n"):
        if line.startswith("{") and "cccccccc" in line:
            line = re.sub(r'"(CID|SFRCS)":\d+', r'"\1":"<masked>"', line)
        lines.append(line)
    return "\n".join(lines)


def masked(data, commands):
    text = data.decode("utf-8", errors="surrogateescape")
    text = mask_times(text)
    text = re.sub(r"127\.0\.0\.1:\d+", "127.0.0.1:<port>", text)
    if commands:
        text = mask_commands(text)
    return text


def section(title, data, commands=False):
    return "--- %s\n%s\n" % (title, masked(data, commands))


def command_line(args):
    return masked(("$ korvane %s\n" % " ".join(args)).encode(), False)


# --- the runs ----------------------------------------------------------------

class Context:
    def __init__(self, korvane, captures, directory):
        self.korvane, self.captures, self.dir = korvane, captures, directory

    def path(self, *parts):
        return os.path.join(self.dir, *parts)


def single_packet(ctx, name, options, stdin=None):
    """-f: (or -c with the example's hex on standard input)."""
    shutil.copy(os.path.join(EXAMPLES, name), ctx.dir)
    if stdin is None:
        args = options + ["-f:" + name]
        out, err = run_once(ctx, args)
    else:
        args = options + ["-c"]
        out, err = run_once(ctx, args, stdin)
    return command_line(args) + section("standard output", out) + \
        section("standard error", err)


def packet_file(sequence, data):
    return b"%06u\r\n112\r\n1 4\r\n1700000000\r\n" % sequence + data


def incoming(ctx, options):
    """Files waiting in the incoming directory at the start, taken in name order."""
    os.makedirs(ctx.path("in"))
    files = {
        "a_track.txt": packet_file(1, example("ecall_track_msd.bin")),
        "b_command.txt": packet_file(2, example("command_ecall_req.bin")),
        "c_era.txt": packet_file(3, example("ecall_msd_era.bin")),
        "d_session.txt": packet_file(4, example("session.bin")),
        "e_broken_header.txt": packet_file(5, b"\x01\x00\x00\x0b\x00\x03\x00\x01\x00\x01\x00"),
        "f_no_packet.txt": b"not a packet file\r\n",
    }
    for name, data in files.items():
        with open(ctx.path("in", name), "wb") as file:
            file.write(data)
    args = options + ["-n:in", "-w:work", "-o:out"]
    korvane = Korvane(ctx.korvane, args, ctx.dir)
    korvane.wait_for("f_no_packet.txt")
    korvane.type("quit")
    out, err = korvane.finish()
    return command_line(args) + section("standard output", out) + \
        section("standard error", err)


COMMANDS = [
    "command EGTS_ECALL_REQ 112 5 1",
    "command EGTS_ECALL_MSD_REQ 112 5 7 2",
    "command EGTS_UNIT_ID 112 5 3",
    "command EGTS_SIM_PIN 112 5 1234",
    "command EGTS_SELFTEST_INTERVAL 112 5 60",
    "command EGTS_RADIO_MUTE_DELAY 112 5 10",
    "command EGTS_RADIO_UNMUTE_DELAY 112 5 20",
]
COMMAND_ERRORS = [
    "command EGTS_ECALL_REQ 112 5 256",
    "command EGTS_NOTHING 112 5 1",
    "command EGTS_SIM_PIN",
    "clients",
    "hello",
]


def outgoing(ctx, options):
    """Operator commands, one at a time, each to its dump, then the refused ones."""
    args = options + ["-n:in", "-w:work", "-o:out"]
    korvane = Korvane(ctx.korvane, args, ctx.dir)
    marker = '"source":"command"' if "-j" in options else "Packet Data:"
    for count, line in enumerate(COMMANDS, 1):
        korvane.type(line)
        korvane.wait_for(marker, count)
    for line in COMMAND_ERRORS:
        korvane.type(line)
    korvane.type("quit")
    out, err = korvane.finish()
    files = ""
    for name in sorted(os.listdir(ctx.path("out"))):
        with open(ctx.path("out", name), "rb") as file:
            data = file.read()
        head = data.split(b"\r\n", 4)
        if head[3].isdigit() and abs(int(head[3]) - time.time()) < NEAR.total_seconds():
            head[3] = b"<unix time>"
        files += "%s: %s | %s\n" % (name, b"|".join(head[:4]).decode(), head[4].hex().upper())
    return command_line(args) + section("standard output", out, True) + \
        section("standard error", err, True) + section("outgoing files", files.encode(), True)


def terminal_session(ctx, options, talk):
    """A scripted terminal on TCP: the session example, the era and track
    examples, and (with -r) the confirmations a terminal sends, `clients` and
    an operator command it answers; without -r it ends with a broken header."""
    port = free_port()
    args = options + ["-b:127.0.0.1:%d" % port]
    korvane = Korvane(ctx.korvane, args, ctx.dir)
    wait_listening(port)
    json = "-j" in options
    sent = packets_of(example("session.bin")) + [example("ecall_msd_era.bin"),
                                                 example("ecall_track_msd.bin")]
    terminal = Terminal(port)
    if not talk:
        for data in sent:
            terminal.send(data)
        terminal.send(b"\x01\x00\x00\x0b\x00\x03\x00\x01\x00\x01\x00\x00\x00\x00\x00\x00")
        korvane.wait_for("Connection closed 000001")
        terminal.close()
    else:
        refused = any(option.startswith("-r:") for option in options)
        responses = '"source":"response"' if json else "Response data:"
        terminal.send(sent[0])
        terminal.read()
        answer = terminal.read()
        korvane.wait_for("Authorization answered")
        if refused:
            korvane.wait_for("Connection closed 000001")
            terminal.close()
            korvane.type("quit")
            out, err = korvane.finish()
            return command_line(args) + section("standard output", out) + \
                section("standard error", err)
        terminal.send(confirmation(90, answer))
        for count, data in enumerate(sent[1:], 2):
            terminal.send(data)
            terminal.read()
            korvane.wait_for(responses, count)
        korvane.type("clients")
        korvane.wait_for("  packets ", stream="err" if json else "out")
        korvane.type("send 000001 EGTS_SIM_PIN 112 5 1234")
        command = terminal.read()
        terminal.send(confirmation(100, command) + command_answer(101, command))
        terminal.read()
        korvane.wait_for("answered: EGTS_CC_OK")
        # Frame data whose check sum is wrong.
        broken = bytearray(packets_of(example("session.bin"))[1])
        broken[-1] ^= 0xFF
        terminal.send(bytes(broken))
        terminal.read()
        korvane.wait_for(responses, len(sent) + 2)
        terminal.close()
        korvane.wait_for("Connection closed 000001")
    korvane.type("quit")
    out, err = korvane.finish()
    return command_line(args) + section("standard output", out, talk) + \
        section("standard error", err, talk)


def platform_exchange(ctx, platform_options, terminal_options, name="session.bin"):
    """korvane -s: against korvane -b: -r."""
    shutil.copy(os.path.join(EXAMPLES, name), ctx.dir)
    port = free_port()
    platform_args = platform_options + ["-b:127.0.0.1:%d" % port]
    platform = Korvane(ctx.korvane, platform_args, ctx.dir)
    wait_listening(port)
    terminal_args = terminal_options + ["-s:127.0.0.1:%d" % port, "-f:" + name]
    terminal_out, terminal_err = run_once(ctx, terminal_args)
    platform.wait_for("Connection closed 000001")
    platform.type("quit")
    out, err = platform.finish()
    return (command_line(terminal_args) + section("standard output", terminal_out) +
            section("standard error", terminal_err) +
            command_line(platform_args) + section("standard output", out) +
            section("standard error", err))


def no_platform(ctx, options):
    port = free_port()
    shutil.copy(os.path.join(EXAMPLES, "session.bin"), ctx.dir)
    args = options + ["-s:127.0.0.1:%d" % port, "-f:session.bin"]
    out, err = run_once(ctx, args)
    return command_line(args) + section("standard output", out) + \
        section("standard error", err)


def capture(ctx, name, options):
    shutil.copy(os.path.join(ctx.captures_dir, name), ctx.dir)
    args = options + ["-p:" + name]
    out, err = run_once(ctx, args)
    return command_line(args) + section("standard output", out) + \
        section("standard error", err)


def scenarios():
    runs = {}
    report_sets = [[], ["-v"], ["-x"], ["-j"], ["-j", "-x"]]
    tag = lambda options: "".join(o.strip("-").replace(":", "") for o in options) or "plain"
    for name in ["ecall_track_msd.bin", "command_ecall_req.bin", "ecall_msd_era.bin",
                 "session.bin"]:
        for options in report_sets:
            runs["single_%s_%s" % (name[:-4], tag(options))] = \
                lambda ctx, n=name, o=options: single_packet(ctx, n, o)
    for options in (["-x"], ["-j", "-x"]):
        runs["single_subrecords_%s" % tag(options)] = \
            lambda ctx, o=options: single_packet(ctx, "subrecords.bin", o)
    for name in ["ecall_track_msd", "session"]:
        for options in (["-v"], ["-j", "-x"]):
            runs["stdin_%s_%s" % (name, tag(options))] = \
                lambda ctx, n=name, o=options: single_packet(ctx, n + ".hex", o, example(n + ".hex"))
    for options in ([], ["-j"]):
        runs["stdin_empty_%s" % tag(options)] = \
            lambda ctx, o=options: single_packet(ctx, "session.hex", o, b"")
        runs["single_missing_%s" % tag(options)] = \
            lambda ctx, o=options: command_line(o + ["-f:missing.bin"]) + "".join(
                section(t, d) for t, d in zip(("standard output", "standard error"),
                                              run_once(ctx, o + ["-f:missing.bin"])))
    for options in report_sets:
        runs["incoming_%s" % tag(options)] = lambda ctx, o=options: incoming(ctx, o)
    for options in ([], ["-j"], ["-j", "-x"]):
        runs["commands_%s" % tag(options)] = lambda ctx, o=options: outgoing(ctx, o)
    for options in report_sets:
        runs["tcp_%s" % tag(options)] = lambda ctx, o=options: terminal_session(ctx, o, False)
    for options in ([], ["-v"], ["-x"], ["-j"], ["-j", "-x"]):
        runs["tcp_r_%s" % tag(options)] = \
            lambda ctx, o=options: terminal_session(ctx, ["-r"] + o, True)
    runs["tcp_r5_x"] = lambda ctx: terminal_session(ctx, ["-r:5", "-x"], True)
    for platform_options, terminal_options in ((["-r"], ["-v"]), (["-r", "-x"], ["-x"]),
                                               (["-r", "-j", "-x"], ["-j"]),
                                               (["-r", "-j"], ["-j", "-x"])):
        runs["platform_%s_%s" % (tag(platform_options), tag(terminal_options))] = \
            lambda ctx, p=platform_options, t=terminal_options: platform_exchange(ctx, p, t)
    runs["platform_rx_x_era"] = \
        lambda ctx: platform_exchange(ctx, ["-r", "-x"], ["-x"], "ecall_msd_era.bin")
    for options in ([], ["-j"]):
        runs["platform_refused_%s" % tag(options)] = lambda ctx, o=options: no_platform(ctx, o)
    for name in ["conversation.pcapng", "examples.pcap"]:
        for options in report_sets:
            runs["capture_%s_%s" % (name.split(".")[0], tag(options))] = \
                lambda ctx, n=name, o=options: capture(ctx, n, o)
    for name in ["interleaved.pcap", "two_units.pcap"]:
        for options in (["-x"], ["-j", "-x"]):
            runs["capture_%s_%s" % (name.split(".")[0], tag(options))] = \
                lambda ctx, n=name, o=options: capture(ctx, n, o)
    return runs


def run_scenario(name, function, args, captures_dir):
    with tempfile.TemporaryDirectory(prefix="korvane_golden_") as directory:
        ctx = Context(args.korvane, args.captures, directory)
        ctx.captures_dir = captures_dir
        try:
            return name, function(ctx).encode("utf-8", errors="surrogateescape"), None
        except Exception as error:  # noqa: BLE001  (reported per run)
            return name, None, "%s: %s" % (type(error).__name__, error)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--korvane", required=True)
    parser.add_argument("--captures", required=True, help="the golden_captures program")
    parser.add_argument("--update", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--jobs", type=int, default=6)
    args = parser.parse_args()
    args.korvane = os.path.abspath(args.korvane)

    runs = {name: f for name, f in scenarios().items() if args.only in name}
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvane_golden_captures_") as captures_dir:
        subprocess.run([args.captures, EXAMPLES, captures_dir], check=True)
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            results = pool.map(lambda item: run_scenario(item[0], item[1], args, captures_dir),
                               sorted(runs.items()))
            for name, got, error in results:
                path = os.path.join(EXPECTED, name + ".txt")
                if error is not None:
                    failures.append("%s: %s" % (name, error))
                elif args.update:
                    os.makedirs(EXPECTED, exist_ok=True)
                    with open(path, "wb") as file:
                        file.write(got)
                else:
                    try:
                        with open(path, "rb") as file:
                            expected = file.read()
                    except OSError:
                        expected = b""
                    if got != expected:
                        diff = difflib.unified_diff(
                            expected.decode(errors="replace").splitlines(),
                            got.decode(errors="replace").splitlines(),
                            "expected/" + name + ".txt", "now", lineterm="", n=2)
                        failures.append("%s differs:\n%s" % (name, "\n".join(list(diff)[:60])))
    if not args.update:
        known = {name + ".txt" for name in scenarios()}
        stray = sorted(set(os.listdir(EXPECTED)) - known) if os.path.isdir(EXPECTED) else []
        failures += ["expected/%s belongs to no run" % name for name in stray]
    for failure in failures:
        print(failure)
    print("golden: %d runs, %d failures" % (len(runs), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
