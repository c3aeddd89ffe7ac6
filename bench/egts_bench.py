"""Helpers the bench scripts share: the EGTS check sums, loopback ports and
what /proc tells about the server process."""

import binascii
import socket
import subprocess


def _crc8_step(reg):
    for _ in range(8):
        reg = ((reg << 1) ^ 0x31) & 0xFF if reg & 0x80 else (reg << 1) & 0xFF
    return reg


# A table, so that checking the headers of a few hundred thousand packets
# takes well under a second.
_CRC8_TABLE = bytes(_crc8_step(value) for value in range(256))


def crc8(data):
    """Header check sum HCS: CRC-8, polynomial 0x31, initial value 0xFF."""
    reg = 0xFF
    for byte in data:
        reg = _CRC8_TABLE[reg ^ byte]
    return reg


def crc16(data):
    """Frame data check sum SFRCS: CRC-16/CCITT-FALSE (initial value 0xFFFF)."""
    return binascii.crc_hqx(data, 0xFFFF)


assert crc16(b"123456789") == 0x29B1
assert crc8(bytes.fromhex("0100030B000000010001")) == 0xB8


def free_port():
    """A loopback port that was free a moment ago."""
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def is_listening(port):
    """Whether something listens on 127.0.0.1:port."""
    wanted = "0100007F:%04X" % port
    try:
        with open("/proc/net/tcp") as table:
            for line in table:
                fields = line.split()
                if len(fields) > 3 and fields[1] == wanted and fields[3] == "0A":
                    return True
    except OSError:
        pass
    return False


def quit_server(server, seconds):
    """Types "quit" on the server's console and waits for its end, killing it
    after `seconds`; its exit code, or None when it had to be killed."""
    try:
        server.stdin.write(b"quit\n")
        server.stdin.close()
    except OSError:
        pass
    try:
        return server.wait(seconds)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait(5)
        return None
