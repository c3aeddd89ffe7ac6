#!/usr/bin/env python3
"""Answer time of a terminal while the incoming directory is busy.

Starts korvane -r with an incoming directory and a listener on 127.0.0.1
(standard output to a file), then, for each of two rounds, lets --terminals
terminals connect one after another, each sending TERM_IDENTITY; a
terminal's answer time runs from its connect() to the server's RESULT_CODE
packet (after the packet's confirmation). The rounds:

  quiet     nothing in the incoming directory;
  busy      one *.txt file held open by its writer for the whole round, and
            a packet file renamed into the directory every --interval
            seconds.

Printed per round: terminals answered, median, 90th percentile and worst
answer time (a terminal not answered within --answer-limit counts as not
answered and is left out of the times), and for the busy round the packet
files reported, whether the held file was taken once its writer closed it,
and the "Can not move file" lines. Exit status 1 when a
terminal went unanswered or the server did not end cleanly. The run is
bounded by --seconds (terminals not tried by then are said so). Python 3
standard library only; talks to 127.0.0.1 only.
"""

import argparse
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import free_port, is_listening, quit_server  # noqa: E402
from send_latency import CheckFailed, Wire, identity, packet  # noqa: E402

FILE_HEADER = b"000001\r\n112\r\n1 4\r\n1700000000\r\n"


def answer_time(port, limit):
    """Seconds from connect() to the RESULT_CODE packet, or None."""
    started = time.monotonic()
    deadline = started + limit
    try:
        sock = socket.create_connection(("127.0.0.1", port), timeout=limit)
    except OSError:
        return None
    try:
        sock.sendall(identity(1))
        wire = Wire(sock)
        wire.read_packet(deadline)  # its confirmation
        answer, arrived = wire.read_packet(deadline)
        if answer[9] != 1:  # PT: the RESULT_CODE comes as APPDATA
            return None
        return arrived - started
    except (CheckFailed, OSError):
        return None
    finally:
        sock.close()


class FileStream:
    """Renames a fresh packet file into the incoming directory every
    `interval` seconds until stopped."""

    def __init__(self, root, incoming, interval):
        self.root, self.incoming, self.interval = root, incoming, interval
        self.stopped = threading.Event()
        self.count = 0
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        data = FILE_HEADER + packet(1, 1, b"\x00")
        while not self.stopped.is_set():
            name = "stream_%05d.txt" % self.count
            part = os.path.join(self.root, name + ".part")
            with open(part, "wb") as stream:
                stream.write(data)
            os.rename(part, os.path.join(self.incoming, name))
            self.count += 1
            self.stopped.wait(self.interval)

    def stop(self):
        self.stopped.set()
        self.thread.join(5)


def run_round(port, terminals, limit, pause, deadline):
    """Answer times (None for a terminal not answered); stops at the deadline."""
    times = []
    for _ in range(terminals):
        if time.monotonic() + limit > deadline:
            break
        times.append(answer_time(port, limit))
        time.sleep(pause)
    return times


def summary(label, times, terminals):
    answered = sorted(t for t in times if t is not None)
    line = "%-6s %d of %d terminals answered" % (label, len(answered), terminals)
    if len(times) < terminals:
        line += " (%d not tried within the run's bound)" % (terminals - len(times))
    if answered:
        line += ": median %.2f ms, 90th percentile %.2f ms, worst %.2f ms" % (
            answered[len(answered) // 2] * 1000, answered[len(answered) * 9 // 10] * 1000,
            answered[-1] * 1000)
    print(line)
    return len(answered) == terminals


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", required=True, help="path of the korvane executable")
    parser.add_argument("--terminals", type=int, default=20, help="terminals per round (20)")
    parser.add_argument("--interval", type=float, default=0.5,
                        help="seconds between files of the stream (0.5)")
    parser.add_argument("--pause", type=float, default=0.25,
                        help="seconds between one terminal's answer and the next one (0.25)")
    parser.add_argument("--answer-limit", type=float, default=5.0,
                        help="seconds a terminal waits for its answer (5)")
    parser.add_argument("--seconds", type=float, default=90.0, help="cap on the run (90)")
    args = parser.parse_args()
    deadline = time.monotonic() + args.seconds
    ok = True
    streamed = 0
    with tempfile.TemporaryDirectory(prefix="held_file_answer_") as root:
        dirs = {name: os.path.join(root, name) for name in ("in", "work", "out")}
        port = free_port()
        out_path = os.path.join(root, "server.stdout")
        with open(out_path, "wb") as out:
            server = subprocess.Popen(
                [args.binary, "-r", "-n:" + dirs["in"], "-w:" + dirs["work"], "-o:" + dirs["out"],
                 "-b:127.0.0.1:%d" % port],
                stdin=subprocess.PIPE, stdout=out, stderr=subprocess.DEVNULL)
            try:
                while not is_listening(port):
                    if server.poll() is not None or time.monotonic() > deadline:
                        print("FAIL: the server did not start listening")
                        return 1
                    time.sleep(0.02)
                quiet_bound = time.monotonic() + (deadline - time.monotonic()) / 3
                ok &= summary("quiet", run_round(port, args.terminals, args.answer_limit,
                                                 args.pause, quiet_bound), args.terminals)
                # Opened after the start, so the server does not inherit it.
                held = open(os.path.join(dirs["in"], "held.txt"), "wb")
                held.write(FILE_HEADER)
                held.flush()
                stream = FileStream(root, dirs["in"], args.interval)
                busy = run_round(port, args.terminals, args.answer_limit, args.pause,
                                 deadline - 2)
                stream.stop()
                streamed = stream.count
                held.write(packet(2, 1, b"\x00"))
                held.close()
                time.sleep(0.5)  # for the held file to be taken
                ok &= summary("busy", busy, args.terminals)
            finally:
                code = quit_server(server, 10)
        with open(out_path, "rb") as stream_out:
            text = stream_out.read()
        print("busy   %d files streamed in, %d packet files reported (the held one %s), "
              "%d 'Can not move file' lines"
              % (streamed, text.count(b"Main:   File: 'stream_"),
                 "too, once closed" if b"Main:   File: 'held.txt'" in text else "not",
                 text.count(b"Can not move file")))
        if code != 0:
            print("FAIL: exit code %s after quit" % code)
            ok = False
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
