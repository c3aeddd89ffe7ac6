#!/usr/bin/env python3
"""Writes examples/subrecords.bin: one packet whose records carry the
subrecords of the AUTH, TELEDATA and FIRMWARE services each in several
shapes, one record a shape: sound ones, flags set and clear, values no table
names, reserved bits set, texts cut off, bytes left over and lengths too
short. `korvane -x -f:examples/subrecords.bin` shows how each is read.

Run from anywhere: python3 examples/make_subrecords.py
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "bench"))
from egts_bench import crc8, crc16  # noqa: E402

AUTH, TELEDATA, FIRMWARE = 1, 2, 9
PT_APPDATA = 1


def u24(value):
    return struct.pack("<I", value)[:3]


def subrecord(srt, srd):
    return struct.pack("<BH", srt, len(srd)) + srd


def record(rn, service, srt, srd):
    rd = subrecord(srt, srd)
    return struct.pack("<HHB", len(rd), rn, 0) + bytes([service, service]) + rd


def packet(pid, frame):
    head = bytes([0x01, 0x00, 0x00, 0x0B, 0x00]) + struct.pack("<HHB", len(frame), pid, PT_APPDATA)
    return head + bytes([crc8(head)]) + frame + struct.pack("<H", crc16(frame))


IMEI, IMSI, MSISDN = b"356938035643809", b"2500112345678901", b"79161234567"


def term_identity():
    every = 0xFF  # HDIDE, IMEIE, IMSIE, LNGCE, SSRA, NIDE, BSE, MNE
    yield struct.pack("<IBH", 4711, every, 7) + IMEI + IMSI + b"rus" + \
        u24((250 << 10) | 1) + struct.pack("<H", 1024) + MSISDN.ljust(15, b"\0")
    yield struct.pack("<IB", 0, 0x00)                                # not configured
    yield struct.pack("<IB", 1, 0x02) + b"35693803564380X"          # IMEI not digits
    yield struct.pack("<IB", 2, 0x20) + u24(0xF00000 | (250 << 10) | 2)  # NID reserved bits
    yield struct.pack("<IB", 3, 0x42) + IMEI                         # BS missing
    yield struct.pack("<I", 4)                                       # FLG missing
    yield struct.pack("<IBH", 5, 0x40, 512) + b"\x01"                # a byte left over


def module_data():
    fixed = lambda mt, st: struct.pack("<BIHHBB", mt, 77, 0x0102, 0x0A0B, 3, st)
    yield fixed(1, 1) + b"SN-0001\0" + b"main unit\0"
    yield fixed(9, 5) + b"\0\0"                                      # type and state unknown
    yield fixed(3, 200) + b"SN-0002\0" + b"no end"                   # DSCR not terminated
    yield fixed(4, 0) + b"A" * 40 + b"\0\0"                          # SRN too long
    yield fixed(2, 1)[:8]                                            # too short


def vehicle_data():
    vin = b"XTA21099012345678"
    yield vin + struct.pack("<II", 4, 0x03)                          # N1, petrol and diesel
    yield vin + struct.pack("<II", 0, 0)
    yield vin + struct.pack("<II", 20, 0x1FF)                        # class unknown, VPST past 8 bits
    yield vin + struct.pack("<II", 0x100 | 2, 0x40)                  # reserved bits
    yield b"XTA2109901\0\0\0\0\0\0\0" + struct.pack("<II", 7, 0x10)  # VIN with NULs
    yield vin + struct.pack("<I", 1)                                 # too short
    yield vin + struct.pack("<II", 1, 1) + b"\x00"                   # a byte left over


def auth_params():
    yield bytes([0x7D]) + struct.pack("<H", 3) + b"\x01\x02\x03" + struct.pack("<HH", 8, 1024) + \
        b"seq\0" + b"65537\0"                                        # every field, ENA 1
    yield bytes([0x00])
    yield bytes([0x84]) + struct.pack("<H", 2) + b"\xAA\xBB"         # reserved bit
    yield bytes([0x04]) + struct.pack("<H", 9) + b"\x01"             # key cut short
    yield bytes([0x20]) + b"unterminated"                            # SS without its NUL
    yield bytes([0x40])                                              # EXP missing
    yield b""                                                        # empty
    yield bytes([0x84])                                              # reserved bit, no key length
    yield bytes([0x60]) + b"abc"                                     # SS without its NUL, no EXP
    yield bytes([0x44]) + struct.pack("<H", 1) + b"\x01" + b"e"      # EXP without its NUL
    yield bytes([0x18]) + struct.pack("<HH", 1, 2) + b"\x00"         # a byte left over


def auth_info():
    yield b"user\0" + b"secret\0"
    yield b"user\0" + b"secret\0" + b"server\0"
    yield b"user\0" + b"secret"                                      # UPSW not terminated
    yield b"B" * 40 + b"\0" + b"\0"                                  # UNM too long
    yield b""


def service_info():
    yield bytes([2, 0, 0x80 | 0x02])                                 # TELEDATA in service, requested
    yield bytes([9, 131, 0x01])
    yield bytes([77, 7, 0x7C])                                       # type and state unknown, reserved
    yield bytes([1, 0])                                              # too short
    yield bytes([1, 0, 0, 0])                                        # a byte left over


def dispatcher_identity():
    yield bytes([0]) + struct.pack("<I", 1234) + b"dispatch centre"
    yield bytes([1]) + struct.pack("<I", 0)
    yield bytes([2, 1, 2])                                           # too short


def srv_identity():
    yield bytes([2, 0x80])
    yield bytes([4, 0x01, 0xEE])


def loopin_data():
    yield bytes([0x2D, 0x21, 0x43])                                  # loops 1, 3, 4, 6
    yield bytes([0x07, 0x10, 0x02])                                  # three loops
    yield bytes([0x01, 0xF9])                                        # state unknown, high half set
    yield bytes([0xFF, 0x11, 0x11])                                  # states cut short
    yield bytes([0x00, 0x00])                                        # a byte left over
    yield b""


def liquid_level_sensor():
    yield bytes([0x21]) + struct.pack("<HI", 0x0102, 12345)          # litres, sensor 1
    yield bytes([0x12]) + struct.pack("<HI", 7, 80)                  # per cent, sensor 2
    yield bytes([0x4B]) + struct.pack("<H", 9) + b"\x01\x02\x03"     # error, raw data
    yield bytes([0xB0]) + struct.pack("<HI", 1, 1)                   # reserved bit, unit 11
    yield bytes([0x08]) + struct.pack("<H", 9)                       # raw data flagged, none
    yield bytes([0x00, 0x01])                                        # too short
    yield bytes([0x00]) + struct.pack("<HIB", 1, 1, 0)               # a byte left over


def passengers_counters():
    yield bytes([0x00, 0x05, 0x01]) + struct.pack("<H", 300) + bytes([3, 1, 0, 2])
    yield bytes([0x01, 0x03, 0x00]) + struct.pack("<H", 1) + bytes([9, 8, 7])
    yield bytes([0x80, 0x00, 0x00]) + struct.pack("<H", 1)           # reserved bit, no door
    yield bytes([0x00, 0x07, 0x00]) + struct.pack("<H", 1) + bytes([1, 1, 1])  # counters cut short
    yield bytes([0x01, 0x01, 0x00]) + struct.pack("<H", 1) + bytes([1])  # raw data too short
    yield bytes([0x00, 0x01])                                        # too short


def pos_data():
    base = lambda flg, spd, direction: struct.pack("<IIIBHB", 531_000_000, 0x6A400000, 0x2B000000,
                                                   flg, spd, direction)
    yield base(0x97, 600, 200) + u24(12345) + bytes([0x81, 0]) + u24(156)  # ALTE, west, DIRH 0
    yield base(0x60 | 0x01, 0x8000 | 0x4000 | 120, 10) + u24(0) + bytes([0, 35]) + \
        struct.pack("<h", -300)                                      # south, DIRH, ALTS, SRCD
    yield base(0x00, 0, 0) + u24(0) + bytes([0, 99])                 # SRC unknown, no fix
    yield base(0x80, 0, 0) + u24(0) + bytes([0, 0])                  # ALT missing
    yield base(0x01, 0, 0) + u24(0) + bytes([0])                     # too short
    yield struct.pack("<IIIBHB", 0, 0, 0xFFFFFFFF, 0x41, 0, 0) + u24(0) + bytes([0, 0, 7])


def firmware_header(oa, name, od):
    return bytes([oa, 2]) + struct.pack("<HH", 0x0103, crc16(od)) + name + b"\0"


def service_part_data():
    od = bytes(range(40))
    yield struct.pack("<HHH", 9, 1, 2) + firmware_header(0x05, b"fw.bin", od) + od[:20]
    yield struct.pack("<HHH", 9, 2, 2) + od[20:]
    yield struct.pack("<HHH", 10, 1, 1) + bytes([0x00, 1]) + struct.pack("<HH", 1, 0xBEEF) + \
        b"x\0" + b"\x01\x02"                                         # whole object, WOS wrong
    yield struct.pack("<HHH", 11, 3, 2) + b"\x00"                    # part past the count
    yield struct.pack("<HHH", 12, 1, 2) + b"\xF0\x01"                # header cut short
    yield struct.pack("<HH", 1, 1)                                   # too short


def service_full_data():
    od = b"configuration text\n" * 2
    yield firmware_header(0x04, b"settings.cfg", od) + od
    yield firmware_header(0xF1, b"", b"") + b"\x55"                  # reserved bits, WOS wrong
    yield bytes([0, 1, 0, 1, 0, 0])                                  # too short


SHAPES = [
    (AUTH, 1, term_identity), (AUTH, 2, module_data), (AUTH, 3, vehicle_data),
    (AUTH, 4, srv_identity), (AUTH, 5, dispatcher_identity), (AUTH, 6, auth_params),
    (AUTH, 7, auth_info), (AUTH, 8, service_info),
    (TELEDATA, 16, pos_data), (TELEDATA, 22, loopin_data), (TELEDATA, 27, liquid_level_sensor),
    (TELEDATA, 28, passengers_counters),
    (FIRMWARE, 33, service_part_data), (FIRMWARE, 34, service_full_data),
]


def main():
    records, rn = [], 1
    for service, srt, shapes in SHAPES:
        for srd in shapes():
            records.append(record(rn, service, srt, srd))
            rn += 1
    data = packet(1, b"".join(records))
    with open(os.path.join(HERE, "subrecords.bin"), "wb") as file:
        file.write(data)
    print("subrecords.bin: %d records, %d bytes" % (len(records), len(data)))


if __name__ == "__main__":
    main()
