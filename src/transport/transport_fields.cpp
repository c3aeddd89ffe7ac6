#include "transport/transport_fields.h"


namespace {

using Shown = TransportField::Shown;
using Read = TransportField::Read;
using Route = TransportField::Route;

constexpr const char* kPriorityNames[] = {"the highest", "high", "middle", "low"};

constexpr TransportField kFields[] = {
    {"PRV", "Protocol Version", [](const TransportHeader& h) -> uint32_t { return h.PRV; },
     Shown::kDecimal, Read::kFlags},
    {"SKID", "Security Key ID", [](const TransportHeader& h) -> uint32_t { return h.SKID; },
     Shown::kDecimal, Read::kFlags},
    {{}, "Flags", [](const TransportHeader& h) -> uint32_t { return h.flags; },
     Shown::kFlags, Read::kFlags},
    {"PRF", "     Prefix", [](const TransportHeader& h) -> uint32_t { return h.PRF(); },
     Shown::kBits, Read::kFlags, Route::kEither, 0, 2},
    {"RTE", "     Route", [](const TransportHeader& h) -> uint32_t { return h.RTE() ? 1 : 0; },
     Shown::kBits, Read::kFlags, Route::kEither, 2, 1},
    {"ENA", "     Encryption Alg", [](const TransportHeader& h) -> uint32_t { return h.ENA(); },
     Shown::kBits, Read::kFlags, Route::kEither, 3, 2},
    {"CMP", "     Compression", [](const TransportHeader& h) -> uint32_t { return h.CMP() ? 1 : 0; },
     Shown::kBits, Read::kFlags, Route::kEither, 5, 1},
    {"PR", "     Priority", [](const TransportHeader& h) -> uint32_t { return h.PR(); },
     Shown::kBits, Read::kFlags, Route::kEither, 6, 2, kPriorityNames},
    {"HL", "Header Length", [](const TransportHeader& h) -> uint32_t { return h.HL; }},
    {"HE", "Header Encoding", [](const TransportHeader& h) -> uint32_t { return h.HE; }},
    {"FDL", "Frame Data Length", [](const TransportHeader& h) -> uint32_t { return h.FDL; }},
    {"PID", "Packet ID", [](const TransportHeader& h) -> uint32_t { return h.PID; }},
    {"PT", nullptr, [](const TransportHeader& h) -> uint32_t { return h.PT; }},
    {"PRA", "Peer Address", [](const TransportHeader& h) -> uint32_t { return h.PRA; },
     Shown::kDecimal, Read::kAll, Route::kRouted},
    {"RCA", "Recipient Address", [](const TransportHeader& h) -> uint32_t { return h.RCA; },
     Shown::kDecimal, Read::kAll, Route::kRouted},
    {"TTL", "TTL", [](const TransportHeader& h) -> uint32_t { return h.TTL; }, Shown::kDecimal,
     Read::kAll, Route::kRouted},
    {{}, "No route info", [](const TransportHeader&) -> uint32_t { return 0; },
     Shown::kNothing, Read::kAll, Route::kUnrouted},
    {"HCS", "Header Check Sum", [](const TransportHeader& h) -> uint32_t { return h.HCS; },
     Shown::kHex, Read::kAll},
};

// The JSON writes the keys as they are.
constexpr bool LettersOnly(std::string_view name) {
  for (const char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}
constexpr bool KeysLettersOnly() {
  for (const TransportField& field : kFields) {
    if (!LettersOnly(field.name)) return false;
  }
  return true;
}
static_assert(KeysLettersOnly());

}  // namespace

std::span<const TransportField> TransportFields() { return kFields; }

