#!/usr/bin/env python3
"""Writes examples/session.bin and examples/session.hex: what a terminal
sends at the start of a conversation, three packets back to back:

  PID 1  AUTH      TERM_IDENTITY (TID 4711, IMEI, buffer size 1024)
  PID 2  TELEDATA  POS_DATA (with altitude) and EXT_POS_DATA (HDOP, SAT, NS)
  PID 3  TELEDATA  POS_DATA and AD_SENSORS_DATA (digital outputs, one analog input)

Run from anywhere: python3 examples/make_session.py
"""

import calendar
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "bench"))
from egts_bench import crc8, crc16  # noqa: E402  (the check sums the bench scripts use)

TID = 4711
IMEI = b"356938035643809"
# NTM counts seconds from 2010-01-01 00:00:00 UTC.
EPOCH_2010 = calendar.timegm((2010, 1, 1, 0, 0, 0))
FIX_TIME = calendar.timegm((2026, 11, 2, 8, 15, 0)) - EPOCH_2010

AUTH, TELEDATA = 1, 2
SR_TERM_IDENTITY, SR_POS_DATA, SR_EXT_POS_DATA, SR_AD_SENSORS_DATA = 1, 16, 17, 18
PT_APPDATA = 1
RFL_OBFE = 0x01  # the record carries OID


def u24(value):
    return struct.pack("<I", value)[:3]


def subrecord(srt, srd):
    return struct.pack("<BH", srt, len(srd)) + srd


def record(rn, service, subrecords, oid=None):
    rd = b"".join(subrecords)
    rfl = RFL_OBFE if oid is not None else 0
    head = struct.pack("<HHB", len(rd), rn, rfl)
    if oid is not None:
        head += struct.pack("<I", oid)
    return head + struct.pack("<BB", service, service) + rd


def packet(pid, frame):
    """PRV 1, SKID 0, flags 0, HL 11, HE 0, FDL, PID, PT APPDATA, HCS; frame; SFRCS."""
    head = bytes([0x01, 0x00, 0x00, 0x0B, 0x00]) + struct.pack("<HHB", len(frame), pid, PT_APPDATA)
    return head + bytes([crc8(head)]) + frame + struct.pack("<H", crc16(frame))


def term_identity():
    flg = 0x40 | 0x02  # BSE, IMEIE
    return struct.pack("<IB", TID, flg) + IMEI + struct.pack("<H", 1024)


def pos_data(seconds, lat, lon, speed_tenths, heading, odometer_tenths, src, alt=None):
    flg = 0x01 | 0x02 | 0x10  # VLD, FIX (3D), MV
    if alt is not None:
        flg |= 0x80  # ALTE
    spd = (speed_tenths & 0x3FFF) | ((heading >> 8) << 15)
    body = struct.pack("<IIIBHB", seconds, round(lat / 90 * 0xFFFFFFFF),
                       round(lon / 180 * 0xFFFFFFFF), flg, spd, heading & 0xFF)
    body += u24(odometer_tenths) + bytes([0x00, src])  # DIN, SRC
    if alt is not None:
        body += u24(alt)
    return body


def ext_pos_data():
    flg = 0x02 | 0x08 | 0x10  # HFE, SFE, NSFE
    return struct.pack("<BHBH", flg, 90, 11, 0x0003)  # HDOP 0.90, 11 satellites, GLONASS + GPS


def ad_sensors_data():
    # No extra digital inputs, output 1 on, analog input 1 = 12600 (mV).
    return struct.pack("<BBB", 0x00, 0x01, 0x01) + u24(12600)


def session():
    identity = packet(1, record(1, AUTH, [subrecord(SR_TERM_IDENTITY, term_identity())]))
    first = packet(2, record(2, TELEDATA, [
        subrecord(SR_POS_DATA, pos_data(FIX_TIME, 55.75222, 37.61556, 423, 270, 123456, 0,
                                         alt=156)),
        subrecord(SR_EXT_POS_DATA, ext_pos_data()),
    ], oid=TID))
    second = packet(3, record(3, TELEDATA, [
        subrecord(SR_POS_DATA, pos_data(FIX_TIME + 30, 55.75391, 37.61021, 388, 300, 123489, 0)),
        subrecord(SR_AD_SENSORS_DATA, ad_sensors_data()),
    ], oid=TID))
    return [identity, first, second]


def main():
    packets = session()
    data = b"".join(packets)
    with open(os.path.join(HERE, "session.bin"), "wb") as out:
        out.write(data)
    with open(os.path.join(HERE, "session.hex"), "w") as out:
        for one in packets:
            out.write(" ".join("%02X" % byte for byte in one) + "\n")
    print("session.bin: %d packets, %d bytes" % (len(packets), len(data)))


if __name__ == "__main__":
    main()
