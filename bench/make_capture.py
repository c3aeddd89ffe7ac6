#!/usr/bin/env python3
"""Writes a pcap capture of EGTS conversations for measuring the capture
reader (-p:): several terminals on TCP, each connecting, authorizing
(TERM_IDENTITY, the platform's confirmation and RESULT_CODE, the
terminal's confirmation), then sending TELEDATA packets that the platform
confirms one by one, then closing. One EGTS packet per TCP segment,
Ethernet, IPv4, one record every 100 microseconds of capture time; the connections' packets
are interleaved, one step of each in turn.

    make_capture.py <output.pcap> [--packets N] [--connections C] [--port P]

At least N EGTS packets in all (default 1,000,000), both directions
counted. Prints the packets, connections and bytes written."""

import argparse
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from egts_bench import crc8, crc16  # noqa: E402  (the scripts' shared helpers)

PT_RESPONSE, PT_APPDATA = 0, 1
AUTH, TELEDATA = 1, 2
SR_RECORD_RESPONSE, SR_TERM_IDENTITY, SR_RESULT_CODE, SR_POS_DATA = 0, 1, 9, 16
START = 1700000000  # capture time of the first record, Unix seconds

_header_crc = {}


def packet(pt, pid, frame):
    """A packet with an 11-byte header; header check sums are cached, as
    only PID and FDL vary."""
    head = struct.pack("<BBBBBHHB", 1, 0, 0, 11, 0, len(frame), pid, pt)
    hcs = _header_crc.get(head)
    if hcs is None:
        hcs = _header_crc[head] = crc8(head)
    return head + bytes([hcs]) + frame + struct.pack("<H", crc16(frame))


def record(rn, service, subrecords):
    return struct.pack("<HHBBB", len(subrecords), rn, 0, service, service) + subrecords


def subrecord(srt, data):
    return struct.pack("<BH", srt, len(data)) + data


def confirmation(pid, rpid, rn, crn, service):
    rr = subrecord(SR_RECORD_RESPONSE, struct.pack("<HB", crn, 0))
    return packet(PT_RESPONSE, pid, struct.pack("<HB", rpid, 0) + record(rn, service, rr))


class Side:
    """One end of a connection: its address, port, next sequence number and
    its EGTS counters (PID and RN)."""

    def __init__(self, ip, port, isn):
        self.ip, self.port, self.seq = ip, port, isn
        self.pid = 0
        self.rn = 0

    def next_pid(self):
        self.pid = (self.pid + 1) & 0xFFFF
        return self.pid

    def next_rn(self):
        self.rn = (self.rn + 1) & 0xFFFF
        return self.rn


class Writer:
    ETHERNET = bytes.fromhex("020000000001020000000002") + b"\x08\x00"

    def __init__(self, out):
        self.out = out
        self.chunks = []
        self.records = 0
        self.size = 0
        self.emit(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 262144, 1))

    def emit(self, data):
        self.chunks.append(data)
        self.size += len(data)
        if len(self.chunks) >= 4096:
            self.flush()

    def flush(self):
        self.out.write(b"".join(self.chunks))
        self.chunks = []

    def segment(self, src, dst, flags, payload=b""):
        tcp = struct.pack(">HHIIBBHHH", src.port, dst.port, src.seq, dst.seq, 0x50, flags, 65535, 0, 0)
        ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 40 + len(payload), 0, 0x4000, 64, 6, 0, src.ip, dst.ip)
        frame = self.ETHERNET + ip + tcp + payload
        micros = self.records * 100
        self.emit(struct.pack("<IIII", START + micros // 1000000, micros % 1000000, len(frame), len(frame)))
        self.emit(frame)
        self.records += 1
        src.seq = (src.seq + len(payload) + (1 if flags & 0x03 else 0)) & 0xFFFFFFFF


SYN, ACK, FIN, PSH = 0x02, 0x10, 0x01, 0x08


def pos_data(number):
    # NTM, LAT, LONG, FLG, SPD, DIR, ODM (3), DIN, SRC: 21 bytes. NTM counts
    # from 2010 and stays near the capture time, as a live terminal's would.
    ntm = START - 1262304000 + number // 10000
    return struct.pack("<IIIBHB3sBB", ntm, 0x9A000000 + number, 0x4F000000, 0x03,
                       106, 90, b"\x10\x00\x00", 0, 0)


def conversation(writer, index, teledata, port, counts):
    """Yields after each step, so that connections can take turns; adds
    its EGTS packets to counts[0]."""
    terminal = Side(bytes([10, 1, index >> 8 & 0xFF, index & 0xFF]), 40000 + index, 1000 + index * 7919)
    platform = Side(bytes([10, 0, 0, 1]), port, 900000 + index * 104729)

    def send(src, dst, data):
        writer.segment(src, dst, ACK | PSH, data)
        counts[0] += 1

    writer.segment(terminal, platform, SYN)
    writer.segment(platform, terminal, SYN | ACK)
    writer.segment(terminal, platform, ACK)
    yield
    # Authorization.
    tid = subrecord(SR_TERM_IDENTITY, struct.pack("<IB", 1000 + index, 0))
    auth_pid, auth_rn = terminal.next_pid(), terminal.next_rn()
    send(terminal, platform, packet(PT_APPDATA, auth_pid, record(auth_rn, AUTH, tid)))
    send(platform, terminal, confirmation(platform.next_pid(), auth_pid, platform.next_rn(), auth_rn, AUTH))
    result_pid, result_rn = platform.next_pid(), platform.next_rn()
    send(platform, terminal, packet(PT_APPDATA, result_pid,
                                    record(result_rn, AUTH, subrecord(SR_RESULT_CODE, b"\x00"))))
    send(terminal, platform, confirmation(terminal.next_pid(), result_pid, terminal.next_rn(), result_rn, AUTH))
    yield
    # Telematics data, each packet confirmed.
    for number in range(teledata):
        pid, rn = terminal.next_pid(), terminal.next_rn()
        send(terminal, platform, packet(PT_APPDATA, pid,
                                        record(rn, TELEDATA, subrecord(SR_POS_DATA, pos_data(number)))))
        send(platform, terminal, confirmation(platform.next_pid(), pid, platform.next_rn(), rn, TELEDATA))
        yield
    writer.segment(terminal, platform, FIN | ACK)
    writer.segment(platform, terminal, FIN | ACK)
    writer.segment(terminal, platform, ACK)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--packets", type=int, default=1000000)
    parser.add_argument("--connections", type=int, default=16)
    parser.add_argument("--port", type=int, default=20629)
    args = parser.parse_args()
    per_connection = -(-args.packets // args.connections)
    teledata = max(0, -(-(per_connection - 4) // 2))
    counts = [0]
    with open(args.output, "wb") as out:
        writer = Writer(out)
        running = [conversation(writer, index, teledata, args.port, counts)
                   for index in range(args.connections)]
        while running:
            for steps in list(running):
                if next(steps, StopIteration) is StopIteration:
                    running.remove(steps)
        writer.flush()
    total = counts[0]
    print("%d EGTS packets, %d connections, %d records, %d bytes: %s"
          % (total, args.connections, writer.records, writer.size, args.output))


if __name__ == "__main__":
    main()
