#!/usr/bin/env python3
"""Soak and throughput runs of korvane's server mode over its packet directories.

Parts (each starts its own server with fresh temporary IN/WORK/OUT directories):

  soak      N packet files written straight into IN, each in 3-4 pieces with
            short pauses while the file stays open. Every file must be
            reported exactly once with all its bytes, never before its close.
            Prints close-to-report latency (median, worst), the count of
            "Can not move file" lines and the server's RSS early and late.
  burst     N packet files written and closed under a ".part" name in IN, then
            all renamed to ".txt" as fast as possible. Prints files per second
            from the first rename to the last report.
  commands  N operator commands piped to the server's stdin at once. Waits
            until OUT holds N packet files, checks they are N distinct
            commands, prints commands per second.

Exit status: 0 when every part run passed, 1 when a check failed, 2 on a
usage or start-up problem. Python 3 standard library only.
"""

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import crc8, crc16  # noqa: E402  (the scripts' shared helpers)

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_BINARY = os.path.join("build-bench-h3", "korvane")

PROMPT = "Please type 'quit' to exit..."
# The console's answer to a line that is no command; the console answers
# only once the work thread is set up, the directory watch with it.
NOT_A_COMMAND = "Invalid command type. Please, type 'command' first."

FILE_LINE = re.compile(r"^Main:   File: '(.*)'$")
HEX_LINE = re.compile(r"^ \[([0-9A-F]*)\]$")
RESULT_LINE = re.compile(r"^  Validating result   - (\d+) ")
COMMAND_DUMP_LINE = re.compile(r"^Command ID \[(\d+)\] Packet Data: $")
COMMAND_HEX_LINE = re.compile(r"^ ([0-9A-F]+)$")
MOVE_ERROR = "ERROR: Can not move file"


class CheckFailed(Exception):
    pass


# ---------------------------------------------------------------- packets


def make_packet(index, frame_length, rng):
    """A transport packet with valid check sums. The packet id and the first
    frame-data bytes carry the index, so every packet's dump is its own."""
    header = bytearray([0x01, 0x00, 0x03, 0x0B, 0x00])
    header += frame_length.to_bytes(2, "little")
    header += (index & 0xFFFF).to_bytes(2, "little")
    header.append(0x01)  # packet type: application data
    header.append(crc8(header))
    if frame_length == 0:
        return bytes(header)
    frame = (index.to_bytes(4, "little") + rng.randbytes(frame_length))[:frame_length]
    return bytes(header) + frame + crc16(frame).to_bytes(2, "little")


def packet_file_bytes(index, packet):
    head = "%06u\r\n+7900%07u\r\n1 4\r\n%u\r\n" % (index + 1, index, 1700000000 + index)
    return head.encode("ascii") + packet


def make_files(prefix, count, seed):
    """(name, file bytes, packet bytes) for count files of varied size: about
    one in eight is the bare 11-byte header, the others carry 1..300 bytes of
    frame data."""
    rng = random.Random(seed)
    files = []
    for index in range(count):
        frame_length = 0 if rng.random() < 0.125 else rng.randint(1, 300)
        packet = make_packet(index, frame_length, rng)
        files.append(("%s_%06d.txt" % (prefix, index), packet_file_bytes(index, packet), packet))
    return files


# ---------------------------------------------------------------- server


def read_memory(pid):
    """(VmHWM, VmRSS) in kB from /proc, or None when the process is gone."""
    try:
        with open("/proc/%d/status" % pid) as status:
            fields = dict(line.split(":", 1) for line in status if ":" in line)
        return int(fields["VmHWM"].split()[0]), int(fields["VmRSS"].split()[0])
    except (OSError, KeyError, ValueError):
        return None


class Server:
    """One korvane server process with its own temporary directories; its
    stdout is read and parsed continuously in a thread."""

    def __init__(self, binary, label):
        self.root = tempfile.mkdtemp(prefix="korvane-%s-" % label)
        self.incoming = os.path.join(self.root, "in")
        self.work = os.path.join(self.root, "work")
        self.outgoing = os.path.join(self.root, "out")
        for path in (self.incoming, self.work, self.outgoing):
            os.mkdir(path)
        self.changed = threading.Condition()
        self.reports = []         # [name, hex, monotonic time, result code or None]
        self.command_dumps = []   # (command id, hex)
        self.move_errors = 0
        self.other_notices = []   # ERROR/WARNING lines after the prompt, apart from move errors
        self.malformed = []       # file blocks that did not have the expected shape
        self.prompt_seen = False
        self.console_ready = False
        self.stderr_lines = []
        self.stdout_closed = False
        self.process = subprocess.Popen(
            [binary, "-n:" + self.incoming, "-w:" + self.work, "-o:" + self.outgoing],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            cwd=self.root)
        self.readers = [
            threading.Thread(target=self._read_stdout, daemon=True),
            threading.Thread(target=self._read_stderr, daemon=True),
        ]
        for reader in self.readers:
            reader.start()

    def _read_stdout(self):
        pending_file = None   # name of a "File:" line waiting for its hex line
        pending_command = None
        expect_hex = False
        for raw in self.process.stdout:
            now = time.monotonic()
            line = raw.decode("latin-1").rstrip("\r\n")
            with self.changed:
                if pending_file is not None:
                    if line == "Packet data: " and not expect_hex:
                        expect_hex = True
                        continue
                    match = HEX_LINE.match(line) if expect_hex else None
                    if match:
                        self.reports.append([pending_file, match.group(1), now, None])
                    else:
                        self.malformed.append((pending_file, line))
                    pending_file, expect_hex = None, False
                    self.changed.notify_all()
                    continue
                if pending_command is not None:
                    match = COMMAND_HEX_LINE.match(line)
                    if match:
                        self.command_dumps.append((pending_command, match.group(1)))
                    else:
                        self.malformed.append(("command %s" % pending_command, line))
                    pending_command = None
                    self.changed.notify_all()
                    continue
                match = FILE_LINE.match(line)
                if match:
                    pending_file = match.group(1)
                    continue
                match = COMMAND_DUMP_LINE.match(line)
                if match:
                    pending_command = int(match.group(1))
                    continue
                match = RESULT_LINE.match(line)
                if match and self.reports and self.reports[-1][3] is None:
                    self.reports[-1][3] = int(match.group(1))
                    continue
                if line == PROMPT:
                    self.prompt_seen = True
                    self.changed.notify_all()
                elif line == NOT_A_COMMAND:
                    self.console_ready = True
                    self.changed.notify_all()
                elif MOVE_ERROR in line:
                    self.move_errors += 1
                elif self.prompt_seen and ("ERROR" in line or "WARNING" in line):
                    self.other_notices.append(line)
        with self.changed:
            self.stdout_closed = True
            self.changed.notify_all()

    def _read_stderr(self):
        for raw in self.process.stderr:
            self.stderr_lines.append(raw.decode("latin-1").rstrip("\r\n"))

    def wait_for(self, predicate, deadline):
        """Waits until predicate() holds (checked under the lock); False at
        the deadline or when the server's stdout ended first."""
        with self.changed:
            while not predicate():
                left = deadline - time.monotonic()
                if left <= 0 or self.stdout_closed:
                    return predicate()
                self.changed.wait(min(left, 0.1))
            return True

    def report_count(self):
        with self.changed:
            return len(self.reports)

    def wait_ready(self, deadline):
        """The prompt has been printed and the console has answered a line,
        so the work thread is set up and the directory watch in place."""
        if not self.wait_for(lambda: self.prompt_seen, deadline):
            raise CheckFailed("server printed no prompt (exit code %s)" % self.process.poll())
        self.send(b"ready?\n")
        if not self.wait_for(lambda: self.console_ready, deadline):
            raise CheckFailed("server's console never answered (exit code %s)" % self.process.poll())

    def send(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def stop(self):
        """'quit', then a kill after 10 s; then the temporary directories go."""
        try:
            if self.process.poll() is None:
                try:
                    self.send(b"quit\n")
                    self.process.stdin.close()
                except (BrokenPipeError, OSError, ValueError):
                    pass
                try:
                    self.process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    print("  server did not end within 10 s of 'quit'; killed it")
                    self.process.kill()
                    self.process.wait(timeout=10)
            for reader in self.readers:
                reader.join(timeout=5)
        finally:
            shutil.rmtree(self.root, ignore_errors=True)
        return self.process.returncode


class Watchdog:
    """Kills the server when a part overruns its bound by 15 s, in case a
    blocking call keeps the part itself from noticing."""

    def __init__(self, server, deadline):
        self.timer = threading.Timer(max(0.0, deadline - time.monotonic()) + 15, self._fire,
                                     args=(server,))
        self.timer.daemon = True
        self.timer.start()

    @staticmethod
    def _fire(server):
        if server.process.poll() is None:
            print("  watchdog: part overran its bound; killing the server")
            server.process.kill()

    def cancel(self):
        self.timer.cancel()


# ---------------------------------------------------------------- checks


def check_reports(server, files, label):
    """Every file reported exactly once, its dump equal to its packet bytes,
    a clean transport result, nothing else reported, nothing left in IN."""
    expected = {name: packet.hex().upper() for name, _, packet in files}
    with server.changed:
        reports = list(server.reports)
        malformed = list(server.malformed)
    seen = {}
    problems = []
    mismatched = 0
    for name, hexed, _, code in reports:
        seen[name] = seen.get(name, 0) + 1
        if name not in expected:
            problems.append("unexpected file reported: %r" % name)
        elif hexed != expected[name]:
            mismatched += 1
            problems.append("%s: dump of %d bytes differs from the %d bytes written"
                            % (name, len(hexed) // 2, len(expected[name]) // 2))
        elif code != 0:
            mismatched += 1
            problems.append("%s: transport result %s, expected 0" % (name, code))
    duplicates = sorted(name for name, count in seen.items() if count > 1)
    missing = sorted(name for name in expected if name not in seen)
    if duplicates:
        problems.append("%d files reported more than once, e.g. %s" % (len(duplicates), duplicates[:5]))
    if missing:
        problems.append("%d files never reported, e.g. %s" % (len(missing), missing[:5]))
    for name, line in malformed:
        problems.append("report block of %r broken at line %r" % (name, line))
    left = sorted(os.listdir(server.incoming))
    if left:
        problems.append("%d entries left in IN, e.g. %s" % (len(left), left[:5]))
    in_work = set(os.listdir(server.work))
    absent = [name for name in expected if name not in in_work]
    if absent:
        problems.append("%d files missing from WORK, e.g. %s" % (len(absent), absent[:5]))
    print("  %s: dumps counted: %d (distinct files: %d of %d; duplicates: %d; missing: %d; "
          "mismatched or bad result: %d)"
          % (label, len(reports), len(seen.keys() & expected.keys()), len(expected),
             len(duplicates), len(missing), mismatched))
    return problems


def notice_problems(server):
    """Files dropped into IN should give no ERROR/WARNING line other than a
    move refused while a file is open."""
    if server.other_notices:
        return ["server printed %d other ERROR/WARNING lines" % len(server.other_notices)]
    return []


def print_notices(server):
    print("  'ERROR: Can not move file' lines: %d" % server.move_errors)
    print("  other ERROR/WARNING lines after the prompt: %d" % len(server.other_notices))
    for line in server.other_notices[:10]:
        print("    %s" % line)
    if server.stderr_lines:
        print("  stderr lines: %d, first: %r" % (len(server.stderr_lines), server.stderr_lines[0]))


def ms(seconds):
    return "%.1f ms" % (seconds * 1000.0)


# ---------------------------------------------------------------- parts


def write_all(descriptor, data):
    view = memoryview(data)
    while view:
        view = view[os.write(descriptor, view):]


def run_soak(binary, count, bound, seed):
    print("== soak: %d files written in 3-4 pieces straight into IN (bound %d s)" % (count, bound))
    deadline = time.monotonic() + bound
    files = make_files("soak", count, seed)
    rng = random.Random(seed + 1)
    plans = []  # pieces and pauses per file, drawn up front so the writer only writes
    for _, data, _ in files:
        pieces = rng.choice((3, 4))
        cuts = sorted(rng.sample(range(1, len(data)), pieces - 1))
        bounds = [0] + cuts + [len(data)]
        plans.append(([data[bounds[k]:bounds[k + 1]] for k in range(pieces)],
                      [rng.uniform(0.005, 0.020) for _ in range(pieces - 1)]))
    closing = {}  # name -> (monotonic time before close(), after close())
    writer_error = []

    server = Server(binary, "soak")
    watchdog = Watchdog(server, deadline)
    problems = []
    try:
        server.wait_ready(deadline)

        def writer():
            try:
                for (name, _, _), (pieces, pauses) in zip(files, plans):
                    if time.monotonic() > deadline:
                        writer_error.append("writer passed the bound")
                        return
                    path = os.path.join(server.incoming, name)
                    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
                    for k, piece in enumerate(pieces):
                        write_all(descriptor, piece)
                        if k < len(pauses):
                            time.sleep(pauses[k])
                    before = time.monotonic()
                    os.close(descriptor)
                    closing[name] = (before, time.monotonic())
            except OSError as error:
                writer_error.append("writer failed: %s" % error)

        started = time.monotonic()
        thread = threading.Thread(target=writer, daemon=True)
        thread.start()
        early = None
        if server.wait_for(lambda: len(server.reports) >= min(50, count), deadline):
            early = read_memory(server.process.pid)
        server.wait_for(lambda: len(server.reports) >= count, deadline)
        thread.join(max(0.0, deadline - time.monotonic()))
        writer_done = closing and max(after for _, after in closing.values()) - started
        # Anything late (a duplicate) would show up within this pause.
        time.sleep(0.5)
        late = read_memory(server.process.pid)
        if thread.is_alive():
            problems.append("writer still running at the bound")
        problems += writer_error
        if server.report_count() < count:
            problems.append("only %d of %d files reported within %d s"
                            % (server.report_count(), count, bound))

        problems += check_reports(server, files, "soak")
        latencies = []
        before_close = []
        with server.changed:
            for name, _, reported, _ in server.reports:
                if name in closing:
                    before, after = closing[name]
                    if reported < before:
                        before_close.append(name)
                    latencies.append(reported - after)
        if before_close:
            problems.append("%d files reported before their close began, e.g. %s"
                            % (len(before_close), before_close[:5]))
        print("  files written: %d in %.2f s (writer time, pieces and pauses included)"
              % (len(closing), writer_done or 0.0))
        if latencies:
            print("  close-to-report latency: median %s, worst %s (n=%d)"
                  % (ms(statistics.median(latencies)), ms(max(latencies)), len(latencies)))
        print_notices(server)
        problems += notice_problems(server)
        for label, sample in (("after first 50 reports", early), ("at the end", late)):
            if sample:
                print("  memory %s: VmHWM %d kB, VmRSS %d kB" % (label, sample[0], sample[1]))
            else:
                print("  memory %s: not read" % label)
                problems.append("server memory %s could not be read" % label)
    finally:
        watchdog.cancel()
        code = server.stop()
    print("  server exit code: %s" % code)
    return problems


def run_burst(binary, count, bound, seed):
    print("== burst: %d files written as '.part' in IN, then all renamed to '.txt' (bound %d s)"
          % (count, bound))
    deadline = time.monotonic() + bound
    files = make_files("burst", count, seed)
    renamed = {}
    server = Server(binary, "burst")
    watchdog = Watchdog(server, deadline)
    problems = []
    try:
        server.wait_ready(deadline)
        # Every file is written and closed under its temporary name first, so
        # that the timed stretch is the renames and the server's work alone.
        temporaries = []
        for name, data, _ in files:
            final = os.path.join(server.incoming, name)
            temporary = final[:-len(".txt")] + ".part"
            descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            write_all(descriptor, data)
            os.close(descriptor)
            temporaries.append((name, temporary, final))
        first_rename = None
        for name, temporary, final in temporaries:
            if time.monotonic() > deadline:
                problems.append("writer passed the bound")
                break
            if first_rename is None:
                first_rename = time.monotonic()
            os.rename(temporary, final)
            renamed[name] = time.monotonic()
        last_rename = time.monotonic()
        server.wait_for(lambda: len(server.reports) >= count, deadline)
        time.sleep(0.5)
        if server.report_count() < count:
            problems.append("only %d of %d files reported within %d s"
                            % (server.report_count(), count, bound))
        problems += check_reports(server, files, "burst")
        with server.changed:
            times = [reported for name, _, reported, _ in server.reports if name in renamed]
            latencies = [reported - renamed[name] for name, _, reported, _ in server.reports
                         if name in renamed]
        if first_rename is not None and times:
            span = max(times) - first_rename
            print("  writer: %d files renamed in %.3f s" % (len(renamed), last_rename - first_rename))
            print("  first rename to last report: %.3f s -> %.0f files/s"
                  % (span, len(times) / span if span > 0 else float("inf")))
            print("  rename-to-report latency: median %s, worst %s"
                  % (ms(statistics.median(latencies)), ms(max(latencies))))
        print_notices(server)
        problems += notice_problems(server)
        sample = read_memory(server.process.pid)
        if sample:
            print("  memory at the end: VmHWM %d kB, VmRSS %d kB" % sample)
    finally:
        watchdog.cancel()
        code = server.stop()
    print("  server exit code: %s" % code)
    return problems


def parse_packet_file(data):
    """(sequence text, recipient, packet bytes) of an outgoing packet file."""
    lines = data.split(b"\r\n", 4)
    if len(lines) != 5:
        return None
    return lines[0].decode("latin-1"), lines[1].decode("latin-1"), lines[4]


def run_commands(binary, count, bound):
    print("== commands: %d operator commands piped at once (bound %d s)" % (count, bound))
    deadline = time.monotonic() + bound
    script = b"".join(b"command EGTS_SIM_PIN 112 1 %d\n" % pin for pin in range(1, count + 1))
    server = Server(binary, "commands")
    watchdog = Watchdog(server, deadline)
    problems = []
    try:
        server.wait_ready(deadline)
        sender_error = []

        def sender():
            try:
                server.send(script)
            except OSError as error:
                sender_error.append("writing the commands failed: %s" % error)

        started = time.monotonic()
        threading.Thread(target=sender, daemon=True).start()
        done = None
        present = []
        progress = []  # (seconds since start, files present) about every 10 s
        next_progress = started + 10
        while time.monotonic() < deadline:
            present = [n for n in os.listdir(server.outgoing) if n.endswith(".txt")]
            if len(present) >= count:
                done = time.monotonic()
                break
            if time.monotonic() >= next_progress:
                progress.append((time.monotonic() - started, len(present)))
                next_progress += 10
            if server.process.poll() is not None:
                break
            time.sleep(0.005)
        problems += sender_error
        for seconds, files_present in progress:
            print("  after %.0f s: %d files in OUT" % (seconds, files_present))
        if done is None:
            problems.append("OUT holds %d of %d files at the end of the %d s bound"
                            % (len(present), count, bound))
        else:
            span = done - started
            print("  first command written to file %d present: %.3f s -> %.1f commands/s"
                  % (count, span, count / span))
        # A late extra file or replacement would show within this pause.
        time.sleep(0.5)
        names = sorted(os.listdir(server.outgoing))
        packet_names = [n for n in names if n.endswith(".txt")]
        leftovers = [n for n in names if not n.endswith(".txt")]
        with server.changed:
            dumps = {hexed for _, hexed in server.command_dumps}
            dump_count = len(server.command_dumps)
        pins, sequences, packets = [], set(), set()
        unmatched = 0
        for name in packet_names:
            with open(os.path.join(server.outgoing, name), "rb") as handle:
                parsed = parse_packet_file(handle.read())
            if parsed is None or len(parsed[2]) < 6:
                problems.append("%s: not a packet file" % name)
                continue
            sequence, recipient, packet = parsed
            sequences.add(sequence)
            packets.add(packet)
            if packet.hex().upper() not in dumps:
                unmatched += 1
            # The SIM PIN value is the last four data bytes before the frame check sum.
            pins.append(int.from_bytes(packet[-6:-2], "little"))
            if recipient != "112":
                problems.append("%s: recipient %r" % (name, recipient))
        wanted = set(range(1, count + 1))
        print("  OUT: %d packet files, %d other entries; %d distinct packets, %d distinct "
              "sequence numbers, %d distinct PIN values of %d wanted; %d command dumps on stdout"
              % (len(packet_names), len(leftovers), len(packets), len(sequences),
                 len(set(pins) & wanted), count, dump_count))
        if len(packet_names) != count:
            problems.append("OUT holds %d packet files, expected %d" % (len(packet_names), count))
        if leftovers:
            problems.append("OUT holds other entries, e.g. %s" % leftovers[:5])
        if len(packets) != len(packet_names) or len(sequences) != len(packet_names):
            problems.append("packet files are not all distinct")
        if sorted(pins) != sorted(wanted):
            lost = sorted(wanted - set(pins))
            problems.append("PIN values missing from OUT (file lost or replaced): %d, e.g. %s"
                            % (len(lost), lost[:5]))
        if unmatched:
            problems.append("%d packet files match no packet dumped on stdout" % unmatched)
        if dump_count != count:
            problems.append("%d command packets dumped on stdout, expected %d" % (dump_count, count))
        print_notices(server)
        if server.other_notices or server.move_errors:
            problems.append("server printed ERROR/WARNING lines")
    finally:
        watchdog.cancel()
        code = server.stop()
    print("  server exit code: %s" % code)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=DEFAULT_BINARY,
                        help="korvane executable, relative to the repository root "
                             "(default %(default)s)")
    parser.add_argument("--files", type=int, default=1000, help="N for every part (default 1000)")
    parser.add_argument("--part", choices=("soak", "burst", "commands", "all"), default="all")
    parser.add_argument("--bound", type=int, default=120,
                        help="run-time bound of each part in seconds (default 120)")
    parser.add_argument("--seed", type=int, default=20240601)
    args = parser.parse_args()
    if args.files < 1 or args.files > 65535:
        parser.error("--files must be 1..65535 (the packet id identifies a file)")
    binary = args.binary if os.path.isabs(args.binary) else os.path.join(REPO_ROOT, args.binary)
    if not os.access(binary, os.X_OK):
        print("no executable at %s" % binary)
        return 2

    parts = ("soak", "burst", "commands") if args.part == "all" else (args.part,)
    failed = []
    began = time.monotonic()
    for part in parts:
        part_began = time.monotonic()
        try:
            if part == "soak":
                problems = run_soak(binary, args.files, args.bound, args.seed)
            elif part == "burst":
                problems = run_burst(binary, args.files, args.bound, args.seed + 7)
            else:
                problems = run_commands(binary, args.files, args.bound)
        except CheckFailed as error:
            problems = [str(error)]
        print("  part run time: %.1f s" % (time.monotonic() - part_began))
        if problems:
            failed.append(part)
            print("  FAILED:")
            for problem in problems[:20]:
                print("    - %s" % problem)
            if len(problems) > 20:
                print("    ... and %d more" % (len(problems) - 20))
        else:
            print("  passed")
    print("== total run time %.1f s; %s"
          % (time.monotonic() - began, "failed: " + ", ".join(failed) if failed else "all passed"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
