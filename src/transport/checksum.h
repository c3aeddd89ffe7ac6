#pragma once
// The two check sums of the EGTS transport layer.
//
// Crc8  (header check sum HCS):      width 8, poly 0x31, init 0xFF, no
//        reflection, no final XOR (CRC-8/NRSC-5); "123456789" -> 0xF7.
// Crc16 (frame data check sum SFRCS): width 16, poly 0x1021, init 0xFFFF, no
//        reflection, no final XOR (CRC-16/CCITT-FALSE); "123456789" -> 0x29B1.

#include <cstddef>
#include <cstdint>

uint8_t Crc8(const uint8_t* bytes, uint8_t count);
uint16_t Crc16(const uint8_t* bytes, uint16_t length);

// Crc16 continued over more bytes from a register value (0xFFFF to start):
// the check sum of an object of any size, such as a firmware image's WOS.
uint16_t Crc16Update(uint16_t crc, const uint8_t* bytes, std::size_t length);
