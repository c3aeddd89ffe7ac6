#!/usr/bin/env python3
"""End-to-end run of the Windows build (korvane.exe) under Wine.

Checks, each with its own time limit:
  single packet   -h; -c with the example as hex text; -f: with the example
                  file and -v; -p: (captures) gives one ERROR line
  server          -n: -w: -o: -b: -r in one process:
                  a packet file renamed into the incoming directory is
                  reported; a packet file that a writer (hold_writer.exe)
                  holds open is not reported until the writer closes it,
                  and then whole; a terminal on 127.0.0.1 sends the example
                  and gets its confirmation; an operator command lands in the
                  outgoing directory as a packet file; "quit" ends the
                  program with exit code 0
  line ends       every line korvane writes ends in CR LF

One wineserver is kept running for the whole run (a start then costs tens
of milliseconds instead of seconds) and stopped at the end. Wine may drop a
directory change that comes while the program scans, so waits for a file's
report touch the directory now and then with a scratch file (not *.txt).

Usage: e2e_wine.py --build build-win32 [--wine /usr/lib/wine/wine64] [--ctest]
With --ctest the unit tests run first, through CTest, in the same Wine
session (CTest waits for its output pipe to close, which Wine's session
programs would keep open if the session started under CTest).
Python 3 standard library only; exit status 1 when a check fails.
"""

import argparse
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from egts_bench import crc8, crc16, free_port, is_listening  # noqa: E402

EXAMPLE_BIN = os.path.join(ROOT, "examples", "ecall_track_msd.bin")
EXAMPLE_HEX = os.path.join(ROOT, "examples", "ecall_track_msd.hex")
RUN_LIMIT = 30.0      # one single-packet run
START_LIMIT = 20.0    # the server listening
REPORT_LIMIT = 20.0   # a file or packet reported
HOLD_PAUSE = 2.0      # how long a held file must stay unreported
EXIT_LIMIT = 20.0     # "quit" to the end of the process
POKE_EVERY = 0.5


class CheckFailed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise CheckFailed(what)
    print("  ok: " + what)


class Wine:
    """wine64 with its messages off and one wineserver kept for the run."""

    def __init__(self, wine):
        self.wine = wine
        self.env = dict(os.environ, WINEDEBUG="-all")
        server = os.path.join(os.path.dirname(wine), "wineserver64")
        self.server = server if os.path.exists(server) else "wineserver"
        # Fails harmlessly when one is running already (started by the caller).
        subprocess.run([self.server, "-p"], env=self.env, timeout=60)
        # The first start of a session runs Wine's start-up programs, which
        # stay and would hold on to captured output: none is given to them.
        subprocess.run([wine, "cmd", "/c", "exit"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.env,
                       timeout=120)

    def run(self, args, stdin=b"", limit=RUN_LIMIT, cwd=None):
        done = subprocess.run([self.wine] + args, input=stdin, capture_output=True, env=self.env,
                              timeout=limit, cwd=cwd)
        return done.returncode, done.stdout

    def start(self, args, stdout, cwd=None):
        return subprocess.Popen([self.wine] + args, stdin=subprocess.PIPE, stdout=stdout,
                                stderr=subprocess.DEVNULL, env=self.env, cwd=cwd)

    def stop(self):
        subprocess.run([self.server, "-k"], env=self.env, timeout=60)


def crlf_only(output):
    """True when every line feed follows a carriage return."""
    return output.count(b"\n") == output.count(b"\r\n")


def example_packet():
    with open(EXAMPLE_BIN, "rb") as stream:
        return stream.read()


def packet_file(packet):
    """A packet file: four header lines ending in CR LF, then the bytes."""
    return b"000001\r\n112\r\n1 4\r\n0\r\n" + packet


def small_packet(pid):
    """A valid 11-byte header with no frame data (EGTS_PT_APPDATA)."""
    head = bytes([0x01, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00]) + struct.pack("<HB", pid, 1)
    return head + bytes([crc8(head)])


def single_packet_checks(wine, exe):
    print("single packet")
    code, out = wine.run([exe, "-h"])
    check(code == 0 and b"-f:<filename>" in out, "-h prints the usage and exits with 0")
    check(crlf_only(out) and b"\r\n" in out, "-h output ends its lines with CR LF")

    with open(EXAMPLE_HEX, "rb") as stream:
        hex_text = stream.read()
    code, out = wine.run([exe, "-c"], stdin=hex_text)
    dump = example_packet().hex().upper().encode()
    check(code == 0 and dump in out, "-c dumps the packet read as hex text")
    check(b"Validating result   - 0 (" in out, "-c validates the example with result 0")

    code, out = wine.run([exe, "-v", "-f:" + os.path.relpath(EXAMPLE_BIN)], cwd=ROOT)
    check(code == 0 and b"EGTS Service Layer:" in out and b"EGTS_SR_" in out,
          "-f: with -v reports the service layer of the example")
    check(crlf_only(out), "-f: output ends its lines with CR LF")

    code, out = wine.run([exe, "-p:missing.pcap"])
    errors = [line for line in out.split(b"\r\n") if line.startswith(b"ERROR")]
    check(code == 0 and len(errors) == 1 and b"libpcap" in errors[0],
          "-p: answers with one ERROR line: captures are not in this build")


class Server:
    """korvane.exe in server mode, its output in a file that is polled."""

    def __init__(self, wine, exe, work, port):
        self.work = work
        self.output_path = os.path.join(work, "server.out")
        self.output = open(self.output_path, "wb")
        args = [exe, "-n:in", "-w:work", "-o:out", "-b:127.0.0.1:%d" % port, "-r"]
        self.process = wine.start(args, self.output, cwd=work)
        deadline = time.monotonic() + START_LIMIT
        while not is_listening(port):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.kill()
                raise CheckFailed("the server did not listen on port %d" % port)
            time.sleep(0.05)

    def text(self):
        with open(self.output_path, "rb") as stream:
            return stream.read()

    def wait_for(self, mark, limit=REPORT_LIMIT, poke=False):
        """Waits until the output holds mark; pokes the incoming directory
        now and then when asked."""
        deadline = time.monotonic() + limit
        next_poke = time.monotonic() + POKE_EVERY
        while mark not in self.text():
            if time.monotonic() > deadline or self.process.poll() is not None:
                return False
            if poke and time.monotonic() > next_poke:
                poke_directory(os.path.join(self.work, "in"))
                next_poke = time.monotonic() + POKE_EVERY
            time.sleep(0.05)
        return True

    def command(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def quit(self):
        self.command("quit")
        try:
            return self.process.wait(EXIT_LIMIT)
        except subprocess.TimeoutExpired:
            self.kill()
            return None
        finally:
            self.output.close()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
        self.output.close()


def poke_directory(directory):
    path = os.path.join(directory, "poke.tmp")
    with open(path, "wb") as stream:
        stream.write(b"1")
    os.remove(path)


def file_report(name, packet):
    return ("File: '%s'\r\nPacket data: \r\n [%s]" % (name, packet.hex().upper())).encode()


def incoming_checks(wine, build, server):
    print("incoming directory")
    incoming = os.path.join(server.work, "in")
    first = small_packet(0x0101)
    with open(os.path.join(incoming, "a.part"), "wb") as stream:
        stream.write(packet_file(first))
    os.rename(os.path.join(incoming, "a.part"), os.path.join(incoming, "a.txt"))
    check(server.wait_for(file_report("a.txt", first), poke=True),
          "a packet file renamed into the directory is reported")

    held = small_packet(0x0202)
    whole = packet_file(held)
    writer = subprocess.Popen(
        [wine.wine, os.path.join(build, "hold_writer.exe"), "in/b.txt", whole[:9].hex(),
         whole[9:].hex()], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=wine.env,
        cwd=server.work)
    try:
        check(writer.stdout.readline().strip() == b"held", "the writer holds b.txt open")
        deadline = time.monotonic() + HOLD_PAUSE
        while time.monotonic() < deadline:
            poke_directory(incoming)
            time.sleep(0.2)
        text = server.text()
        check(b"File: 'b.txt'" not in text, "a file held by its writer is not reported")
        check(b"ERROR: Can not move file 'b.txt' to the work directory" in text,
              "the failed tries on the held file are logged")
        check(os.path.exists(os.path.join(incoming, "b.txt")), "the held file stays where it is")
        writer.stdin.write(b"go\n")
        writer.stdin.flush()
        check(writer.stdout.readline().strip() == b"closed", "the writer closed b.txt")
    finally:
        try:
            writer.wait(RUN_LIMIT)
        except subprocess.TimeoutExpired:
            writer.kill()
    check(server.wait_for(file_report("b.txt", held), poke=True),
          "once closed, the held file is reported whole")


def terminal_checks(server, port):
    print("terminal on TCP")
    packet = example_packet()
    with socket.create_connection(("127.0.0.1", port), timeout=REPORT_LIMIT) as terminal:
        terminal.sendall(packet)
        answer = b""
        deadline = time.monotonic() + REPORT_LIMIT
        while len(answer) < 11 or len(answer) < 11 + struct.unpack_from("<H", answer, 5)[0] + 2:
            if time.monotonic() > deadline:
                break
            chunk = terminal.recv(4096)
            if not chunk:
                break
            answer += chunk
    check(len(answer) >= 16, "the terminal receives a confirmation (%d bytes)" % len(answer))
    fdl = struct.unpack_from("<H", answer, 5)[0]
    frame = answer[11:11 + fdl]
    check(answer[9] == 0 and answer[10] == crc8(answer[:10]), "it is an EGTS_PT_RESPONSE with a sound HCS")
    check(struct.unpack_from("<H", answer, 11 + fdl)[0] == crc16(frame), "its SFRCS is sound")
    check(struct.unpack_from("<H", frame, 0)[0] == struct.unpack_from("<H", packet, 7)[0]
          and frame[2] == 0, "its RPID is the packet's PID and PR is 0")
    check(server.wait_for(b"Packet data: %d bytes\r\n %s" % (len(packet), packet.hex().upper().encode())),
          "the server dumps the terminal's packet")
    check(server.wait_for(b"Response data: %d bytes\r\n %s" % (len(answer), answer.hex().upper().encode())),
          "the server dumps the confirmation it sent")


def command_checks(server):
    print("operator command")
    server.command("command EGTS_ECALL_REQ 112 5 1")
    check(server.wait_for(b"Command 'EGTS_ECALL_REQ'"), "the command is echoed")
    out = os.path.join(server.work, "out")
    deadline = time.monotonic() + REPORT_LIMIT
    names = []
    while time.monotonic() < deadline:
        names = [name for name in os.listdir(out) if name.endswith("_112.txt")]
        if names:
            break
        time.sleep(0.05)
    check(len(names) == 1, "one packet file for 112 in the outgoing directory: %s" % names)
    with open(os.path.join(out, names[0]), "rb") as stream:
        content = stream.read()
    lines = content.split(b"\r\n", 4)
    check(len(lines) == 5 and lines[1] == b"112" and lines[4][:1] == b"\x01",
          "it holds the four header lines and the packet")


def server_checks(wine, build):
    exe = os.path.join(build, "korvane.exe")
    work = tempfile.mkdtemp(prefix="korvane_wine_")
    port = free_port()
    server = None
    try:
        server = Server(wine, exe, work, port)
        check(server.wait_for(b"Please type 'quit' to exit..."), "server mode starts")
        incoming_checks(wine, build, server)
        terminal_checks(server, port)
        command_checks(server)
        print("quit")
        code = server.quit()
        check(code == 0, "quit ends the program with exit code 0 (got %s)" % code)
        text = server.text()
        check(b"Stoped with cause 0" in text, "the work thread logs its stop")
        check(crlf_only(text), "server output ends its lines with CR LF")
    finally:
        if server is not None:
            server.kill()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the cross-build directory")
    parser.add_argument("--wine", default="/usr/lib/wine/wine64", help="the wine64 program")
    parser.add_argument("--ctest", action="store_true",
                        help="first run the unit tests through CTest in the same Wine session")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    started = time.monotonic()
    wine = None
    try:
        wine = Wine(args.wine)
        if args.ctest:
            print("unit tests")
            done = subprocess.run(["ctest", "--test-dir", build, "--output-on-failure",
                                   "--timeout", "600"], env=wine.env, timeout=900)
            check(done.returncode == 0, "the unit tests pass under Wine")
        single_packet_checks(wine, os.path.join(build, "korvane.exe"))
        server_checks(wine, build)
    except (CheckFailed, subprocess.TimeoutExpired, OSError) as error:
        print("FAIL: %s" % error)
        return 1
    finally:
        if wine is not None:
            wine.stop()
    print("PASS (%.1f s)" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
