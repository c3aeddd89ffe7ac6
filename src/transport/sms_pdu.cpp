// Hand-written: the one Debian library that builds and reads TPDUs
// (libgammu) sits behind its phone state machine, is licensed GPL and has
// no MinGW form; what the EGTS leg needs (8-bit data, the concatenation
// header, semi-octet addresses) is a few fixed fields.
#include "transport/sms_pdu.h"

#include <algorithm>

namespace sms {

namespace {

constexpr uint8_t kMtiMask = 0x03;
constexpr uint8_t kMtiDeliver = 0x00;
constexpr uint8_t kMtiSubmit = 0x01;
constexpr uint8_t kUdhiBit = 0x40;
constexpr uint8_t kDcs8Bit = 0x04;
constexpr uint8_t kTonInternational = 0x91;
constexpr uint8_t kTonUnknown = 0x81;
constexpr uint8_t kTonAlphanumeric = 0x50;  // type of number 101, masked with 0x70
constexpr std::size_t kMaxPendingMessages = 16;

// The data coding scheme's alphabet: 8-bit data or not (TS 23.038 §4).
bool EightBitData(uint8_t dcs) {
  if ((dcs & 0xC0) == 0x00) return (dcs & 0x0C) == 0x04;  // general data coding
  if ((dcs & 0xF0) == 0xF0) return (dcs & 0x04) != 0;    // data coding/message class
  return false;
}

// Reads bytes front to back; every read says whether the bytes were there.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Byte(uint8_t& value) {
    if (at_ >= bytes_.size()) return false;
    value = bytes_[at_++];
    return true;
  }
  bool Take(std::size_t count, std::span<const uint8_t>& out) {
    if (bytes_.size() - at_ < count) return false;
    out = bytes_.subspan(at_, count);
    at_ += count;
    return true;
  }
  std::span<const uint8_t> Rest() const { return bytes_.subspan(at_); }

 private:
  std::span<const uint8_t> bytes_;
  std::size_t at_ = 0;
};

// Semi-octet digits, low half first; F ends the digits.
std::string SemiOctets(std::span<const uint8_t> bytes, std::size_t digits) {
  static constexpr char kDigits[] = "0123456789*#abc";
  std::string text;
  for (std::size_t i = 0; i < digits && i / 2 < bytes.size(); ++i) {
    const uint8_t half = i % 2 == 0 ? bytes[i / 2] & 0x0F : bytes[i / 2] >> 4;
    if (half == 0x0F) break;
    text += kDigits[half];
  }
  return text;
}

// An address field: digit count (or semi-octets of an alphanumeric one),
// type of address, then its octets.
bool ReadAddress(Reader& reader, std::string& address) {
  uint8_t length = 0;
  uint8_t type = 0;
  std::span<const uint8_t> octets;
  if (!reader.Byte(length) || !reader.Byte(type) || !reader.Take((length + 1u) / 2, octets)) {
    return false;
  }
  if ((type & 0x70) == kTonAlphanumeric) {
    // 7-bit packed letters: shown by their semi-octets, not decoded.
    address = "alphanumeric:" + SemiOctets(octets, length);
    return true;
  }
  address = ((type & 0x70) == 0x10 ? "+" : "") + SemiOctets(octets, length);
  return true;
}

std::string TwoDigits(uint8_t semiOctets) {
  return std::string{static_cast<char>('0' + (semiOctets & 0x0F) % 10),
                     static_cast<char>('0' + (semiOctets >> 4) % 10)};
}

// SCTS: year, month, day, hour, minute, second, zone in quarter hours.
std::string CentreTime(std::span<const uint8_t> s) {
  const bool west = (s[6] & 0x08) != 0;
  const uint8_t zone = static_cast<uint8_t>(s[6] & 0xF7);
  return TwoDigits(s[0]) + "-" + TwoDigits(s[1]) + "-" + TwoDigits(s[2]) + " " + TwoDigits(s[3]) +
         ":" + TwoDigits(s[4]) + ":" + TwoDigits(s[5]) + (west ? " -" : " +") + TwoDigits(zone);
}

// The user data header's concatenation element, if any (IEI 00 with an
// 8-bit reference, IEI 08 with a 16-bit one).
bool ReadHeader(std::span<const uint8_t> header, std::optional<Concatenation>& concatenation) {
  std::size_t at = 0;
  while (at + 2 <= header.size()) {
    const uint8_t iei = header[at];
    const uint8_t length = header[at + 1];
    if (at + 2 + length > header.size()) return false;
    const uint8_t* e = header.data() + at + 2;
    if (iei == 0x00 && length == 3) {
      concatenation = Concatenation{e[0], e[1], e[2]};
    } else if (iei == 0x08 && length == 4) {
      concatenation = Concatenation{static_cast<uint16_t>(e[0] << 8 | e[1]), e[2], e[3]};
    }
    at += 2 + length;
  }
  return at == header.size();
}

bool AddressOctets(const std::string& number, std::vector<uint8_t>& out) {
  const bool international = !number.empty() && number[0] == '+';
  const std::string digits = international ? number.substr(1) : number;
  if (digits.empty() || digits.size() > 20 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  out.push_back(static_cast<uint8_t>(digits.size()));
  out.push_back(international ? kTonInternational : kTonUnknown);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const uint8_t low = static_cast<uint8_t>(digits[i] - '0');
    const uint8_t high = i + 1 < digits.size() ? static_cast<uint8_t>(digits[i + 1] - '0') : 0x0F;
    out.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return true;
}

}  // namespace

std::vector<std::vector<uint8_t>> BuildSubmit(const std::string& number,
                                              std::span<const uint8_t> data, uint8_t reference,
                                              std::string& error) {
  std::vector<uint8_t> address;
  if (!AddressOctets(number, address)) {
    error = "the number '" + number + "' is not 1 to 20 digits with an optional '+'";
    return {};
  }
  const bool whole = data.size() <= kUserDataOctets;
  const std::size_t total = whole ? 1 : (data.size() + kConcatDataOctets - 1) / kConcatDataOctets;
  if (total > kMaxParts) {
    error = "the data of " + std::to_string(data.size()) + " bytes needs more than 255 SMS";
    return {};
  }
  std::vector<std::vector<uint8_t>> pdus;
  for (std::size_t part = 0; part < total; ++part) {
    const std::size_t from = whole ? 0 : part * kConcatDataOctets;
    const std::size_t count = whole ? data.size() : std::min(kConcatDataOctets, data.size() - from);
    std::vector<uint8_t> pdu{0x00, static_cast<uint8_t>(kMtiSubmit | (whole ? 0 : kUdhiBit)), 0x00};
    pdu.insert(pdu.end(), address.begin(), address.end());
    pdu.push_back(0x00);  // PID
    pdu.push_back(kDcs8Bit);
    pdu.push_back(static_cast<uint8_t>(count + (whole ? 0 : kConcatHeaderOctets)));
    if (!whole) {
      pdu.insert(pdu.end(), {0x05, 0x00, 0x03, reference, static_cast<uint8_t>(total),
                             static_cast<uint8_t>(part + 1)});
    }
    pdu.insert(pdu.end(), data.begin() + static_cast<std::ptrdiff_t>(from),
               data.begin() + static_cast<std::ptrdiff_t>(from + count));
    pdus.push_back(std::move(pdu));
  }
  return pdus;
}

std::optional<Message> Parse(std::span<const uint8_t> pdu, std::string& error) {
  Reader reader(pdu);
  uint8_t centreLength = 0;
  std::span<const uint8_t> skipped;
  uint8_t first = 0;
  if (!reader.Byte(centreLength) || !reader.Take(centreLength, skipped) || !reader.Byte(first)) {
    error = "the PDU ends inside its service centre address or first octet";
    return std::nullopt;
  }
  Message message;
  const uint8_t mti = first & kMtiMask;
  if (mti != kMtiDeliver && mti != kMtiSubmit) {
    error = "the PDU is neither an SMS-DELIVER nor an SMS-SUBMIT (TP-MTI " +
            std::to_string(mti) + ")";
    return std::nullopt;
  }
  message.deliver = mti == kMtiDeliver;
  uint8_t reference = 0;
  uint8_t pid = 0;
  std::span<const uint8_t> validity;
  std::span<const uint8_t> scts;
  const uint8_t vpf = (first >> 3) & 0x03;
  const std::size_t validityOctets = message.deliver ? 0 : vpf == 2 ? 1 : vpf == 0 ? 0 : 7;
  bool read = (message.deliver || reader.Byte(reference)) && ReadAddress(reader, message.address) &&
              reader.Byte(pid) && reader.Byte(message.dataCoding) &&
              (!message.deliver || reader.Take(7, scts)) && reader.Take(validityOctets, validity);
  uint8_t userDataLength = 0;
  std::span<const uint8_t> userData;
  read = read && reader.Byte(userDataLength);
  if (!read) {
    error = "the PDU ends before its user data";
    return std::nullopt;
  }
  if (!EightBitData(message.dataCoding)) {
    error = "the PDU's data coding scheme " + std::to_string(message.dataCoding) +
            " is not 8-bit data, which an EGTS packet needs";
    return std::nullopt;
  }
  if (!reader.Take(userDataLength, userData)) {
    error = "the PDU holds " + std::to_string(reader.Rest().size()) +
            " octets of user data, its TP-UDL says " + std::to_string(userDataLength);
    return std::nullopt;
  }
  if (message.deliver) message.centreTime = CentreTime(scts);
  if ((first & kUdhiBit) != 0) {
    const std::size_t headerLength = userData.empty() ? 0 : userData[0];
    if (userData.empty() || headerLength + 1 > userData.size() ||
        !ReadHeader(userData.subspan(1, headerLength), message.concatenation)) {
      error = "the PDU's user data header is malformed";
      return std::nullopt;
    }
    userData = userData.subspan(headerLength + 1);
  }
  if (message.concatenation &&
      (message.concatenation->sequence == 0 ||
       message.concatenation->sequence > message.concatenation->total)) {
    error = "the PDU is part " + std::to_string(message.concatenation->sequence) + " of " +
            std::to_string(message.concatenation->total);
    return std::nullopt;
  }
  message.data.assign(userData.begin(), userData.end());
  return message;
}

std::optional<std::vector<uint8_t>> Assembler::Add(const Message& message) {
  if (!message.concatenation || message.concatenation->total <= 1) return message.data;
  const Concatenation& c = *message.concatenation;
  auto pending = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
    return p.address == message.address && p.reference == c.reference && p.total == c.total;
  });
  if (pending == pending_.end()) {
    // A bounded number of messages wait; the oldest gives way.
    if (pending_.size() >= kMaxPendingMessages) pending_.erase(pending_.begin());
    pending_.push_back({message.address, c.reference, c.total, {}});
    pending = pending_.end() - 1;
    pending->parts.resize(c.total);
  }
  pending->parts[c.sequence - 1] = message.data;
  if (std::any_of(pending->parts.begin(), pending->parts.end(),
                  [](const auto& part) { return !part.has_value(); })) {
    return std::nullopt;
  }
  std::vector<uint8_t> whole;
  for (const auto& part : pending->parts) whole.insert(whole.end(), part->begin(), part->end());
  pending_.erase(pending);
  return whole;
}

std::size_t Assembler::Waiting() const {
  std::size_t count = 0;
  for (const Pending& p : pending_) {
    count += static_cast<std::size_t>(
        std::count_if(p.parts.begin(), p.parts.end(), [](const auto& part) { return part.has_value(); }));
  }
  return count;
}

}  // namespace sms
