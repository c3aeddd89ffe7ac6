#pragma once
// MSDs for the tests: the published example MSDs of versions 1 and 2 with
// their messages, and messages made at random within every constraint.

#include <random>
#include <string>
#include <vector>

#include "service/ecall/msd.h"

namespace msd_samples {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const Bytes& bytes);

// EN 15722:2011's example, version 1, 46 bytes, with additional data.
extern const char kVectorA[];
EGTS::Msd::ECallMessage VectorAMessage();
// A published version 2 MSD, 39 bytes, every propulsion item sent.
extern const char kVectorB[];
EGTS::Msd::ECallMessage VectorBMessage();

// A valid message of a random version (1 to 3) with random content: any
// OPTIONAL item present or not, additional data absent, plain, or
// ERA-GLONASS data in the form of the OID the version takes.
EGTS::Msd::ECallMessage RandomMessage(std::mt19937& random);

}  // namespace msd_samples
