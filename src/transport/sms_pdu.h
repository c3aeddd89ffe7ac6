#pragma once
// SMS transfer-layer PDUs (3GPP TS 23.040) that carry EGTS packets: the
// platform's SMS-SUBMIT of a command packet (8-bit data, split into a
// concatenated message when it does not fit one SMS) and the unit's
// SMS-DELIVER (or an SMS-SUBMIT read back), with or without a user data
// header. Every PDU starts with the service centre's address as a modem
// takes and gives it in PDU mode ("00": the modem's own centre).
//
// Layout of an SMS-SUBMIT as built here:
//   SCA     1 byte  00 (no centre: the modem's default)
//   FO      1 byte  MTI 01 (SUBMIT), VPF 00 (no validity period), UDHI bit 6
//   MR      1 byte  message reference, 00 (the modem sets its own)
//   DA      1 byte digit count, 1 byte TOA (91 international, 81 unknown),
//           digits as swapped semi-octets, F-padded
//   PID     1 byte  00
//   DCS     1 byte  04 (8-bit data, no message class)
//   UDL     1 byte  octets of user data, header included
//   UD      [UDH 05 00 03 ref total seq] data, at most 140 octets in all
// An SMS-DELIVER has OA in place of DA, no MR, and SCTS (7 bytes) after DCS.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sms {

constexpr std::size_t kUserDataOctets = 140;  // one SMS
constexpr std::size_t kConcatHeaderOctets = 6;  // UDHL + IEI 00 + IEL + ref, total, seq
constexpr std::size_t kConcatDataOctets = kUserDataOctets - kConcatHeaderOctets;  // 134
constexpr std::size_t kMaxParts = 255;

// The parts of a concatenated message (IEI 00 or 08 of the user data header).
struct Concatenation {
  uint16_t reference = 0;
  uint8_t total = 1;
  uint8_t sequence = 1;
};

struct Message {
  bool deliver = true;       // SMS-DELIVER; false for an SMS-SUBMIT
  std::string address;       // OA or DA, "+" in front when international
  uint8_t dataCoding = 0x04;
  std::string centreTime;    // SCTS of a DELIVER: "yy-mm-dd hh:mm:ss +zz" (quarter hours)
  std::optional<Concatenation> concatenation;
  std::vector<uint8_t> data;  // the user data without its header
};

// The SMS-SUBMIT PDUs that carry `data` to `number` (digits, an optional
// leading '+'): one when it fits 140 octets, else parts of 134 octets with
// a concatenation header of reference `reference`. Empty with `error` set
// for a number that is not digits or data longer than 255 parts.
std::vector<std::vector<uint8_t>> BuildSubmit(const std::string& number,
                                              std::span<const uint8_t> data, uint8_t reference,
                                              std::string& error);

// Reads one PDU (SMS-DELIVER or SMS-SUBMIT, service centre address first).
// Nothing with `error` set when it is cut short, of another type, or its
// data is not 8-bit (an EGTS packet cannot travel in 7-bit or UCS-2 text).
std::optional<Message> Parse(std::span<const uint8_t> pdu, std::string& error);

// Puts the parts of concatenated messages back together, in any order of
// arrival. A message without concatenation is whole at once.
class Assembler {
 public:
  // The whole data once the last missing part of its message came.
  std::optional<std::vector<uint8_t>> Add(const Message& message);
  // Parts that wait for the rest of their message.
  std::size_t Waiting() const;

 private:
  struct Pending {
    std::string address;
    uint16_t reference;
    uint8_t total;
    std::vector<std::optional<std::vector<uint8_t>>> parts;
  };
  std::vector<Pending> pending_;
};

}  // namespace sms
