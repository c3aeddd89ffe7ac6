#!/usr/bin/env python3
"""Writes the fuzz seed corpus from our example packets and a few
hand-made subrecords. The first byte of each seed selects the fuzz mode."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
examples = os.path.join(here, '..', 'examples')
corpus = os.path.join(here, 'corpus')
os.makedirs(corpus, exist_ok=True)


def write(name, data):
    with open(os.path.join(corpus, name), 'wb') as f:
        f.write(data)


def sub(srt, srd):
    return bytes([srt]) + struct.pack('<H', len(srd)) + srd


ecall = open(os.path.join(examples, 'ecall_track_msd.bin'), 'rb').read()
command = open(os.path.join(examples, 'command_ecall_req.bin'), 'rb').read()
write('packet_ecall', b'\x00' + ecall)
write('packet_command', b'\x00' + command)
write('packet_header_only', bytes([0, 1, 0, 3, 0x0B, 0, 0, 0, 1, 0, 1, 0xB8]))
frame = ecall[11:-2]
write('frame_ecall', b'\x01\x01' + frame)
write('frame_response', b'\x01\x00' + struct.pack('<HB', 7, 0) + frame)
write('frame_signed', b'\x01\x02' + struct.pack('<H', 4) + b'SIGN' + frame)
write('sub_auth', b'\x02\x01' + sub(4, b'\x0a\x05') + sub(5, b'\x01') + sub(9, b'\x00')
      + sub(0, b'\x01\x00\x00'))
write('sub_logger', b'\x02\x10' + sub(56, bytes(13) + b'comp\x00mod\x00123\x00data'))
write('sub_wrapped', b'\x02\x11' + sub(57, b'\x01123\x00\xaa\xbb'))
cmd = bytes([0x50, 1, 0, 0, 0, 0, 0, 0, 0, 0x03, 0, 4]) + b'ABCD' + bytes([1, 0, 0, 0x12, 1, 1])
write('sub_command', b'\x02\x04' + sub(51, cmd))

# Seeds of fuzz_json: whole packets as they arrive.
corpus_json = os.path.join(here, 'corpus_json')
os.makedirs(corpus_json, exist_ok=True)
for name, data in (('packet_ecall', ecall), ('packet_command', command),
                   ('packet_header_only', bytes([1, 0, 3, 0x0B, 0, 0, 0, 1, 0, 1, 0xB8]))):
    with open(os.path.join(corpus_json, name), 'wb') as f:
        f.write(data)

# Seeds of fuzz_msd: raw MSDs (the bytes after RAW_MSD_DATA's format byte).
# A and B are the published example MSDs of versions 1 and 2; the ERA one is
# the bundled example's (MSD v2 with ERA-GLONASS data, OID 1.4.2).
corpus_msd = os.path.join(here, 'corpus_msd')
os.makedirs(corpus_msd, exist_ok=True)
msd_a = bytes.fromhex('015C0681D54970D65C3597CA0420C41464583ADE68AC52E9BB8413F149C07414FB414F'
                      '6010180813E82181823230')
msd_b = bytes.fromhex('02251C0680E30A51439E2955D43800800437F80A3105669023F8A71166932185B00415'
                      '0043C040')
era = open(os.path.join(examples, 'ecall_msd_era.bin'), 'rb').read()
msd_era = era[era.index(bytes([40, 53, 0, 1])) + 4:-2]  # SRT 40, SRL 53, format 1
for name, data in (('msd_v1_a', msd_a), ('msd_v2_b', msd_b), ('msd_v2_era', msd_era),
                   ('msd_v1_truncated', msd_a[:44]), ('msd_v3', b'\x03' + msd_b[1:])):
    with open(os.path.join(corpus_msd, name), 'wb') as f:
        f.write(data)
# The example packet with the standard's subrecords (-x) for fuzz_packet.
write('standard_packet_ecall_msd_era', b'\x80' + era)
