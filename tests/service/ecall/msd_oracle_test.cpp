// An oracle that is not our code: Erlang/OTP's ASN.1 compiler (Debian's
// erlang-asn1) compiles the MSD modules below, written from the ASN.1 of
// EN 15722 (versions 1, 2 and 3) and of the ERA-GLONASS additional data,
// encodes the same messages in unaligned PER, and its bytes must be ours.
// Erlang's encoder leaves DEFAULT values out, as our canonical form does.
// The test skips, saying so, where Erlang or its ASN.1 library is absent.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "service/ecall/msd_encoder.h"
#include "service/ecall/msd_samples.h"
#include "support/scratch_directory.h"

namespace {

using namespace EGTS::Msd;
using testing_support::ScratchDirectory;
using testing_support::WriteFile;

constexpr int kRandomMessages = 40;

std::string VehicleTypes(unsigned count) {
  std::string text;
  for (unsigned value = 1; value <= count; ++value) {
    text += "t" + std::to_string(value) + " (" + std::to_string(value) + "), ";
  }
  return text + "...";
}

// The MSD module of one version; version 1 sends the MSDMessage itself,
// later versions an OCTET STRING holding it (Erlang treats CONTAINING as a
// plain OCTET STRING, so the test encodes the inner message first).
std::string MsdModule(int version) {
  const std::string recent = version == 3 ? "" : " OPTIONAL";
  const std::string alphabet =
      "PrintableString (FROM (\"A\"..\"H\" | \"J\"..\"N\" | \"P\" | \"R\"..\"Z\" | "
      "\"0\"..\"9\"))";
  std::string propulsion;
  const unsigned kinds = PropulsionKinds(static_cast<uint8_t>(version));
  for (unsigned i = 0; i < kinds; ++i) {
    propulsion += std::string("  ") + kPropulsionNames[i] + " BOOLEAN DEFAULT FALSE,\n";
  }
  return "MSDv" + std::to_string(version) +
         " DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n"
         "ECallMessage ::= SEQUENCE {\n"
         "  msdVersion INTEGER (0..255),\n" +
         (version == 1 ? "  msd MSDMessage\n" : "  msd OCTET STRING (CONTAINING MSDMessage)\n") +
         "}\n"
         "MSDMessage ::= SEQUENCE {\n"
         "  msdStructure MSDStructure,\n"
         "  optionalAdditionalData AdditionalData OPTIONAL,\n"
         "  ...\n}\n"
         "MSDStructure ::= SEQUENCE {\n"
         "  messageIdentifier INTEGER (0..255),\n"
         "  control ControlType,\n"
         "  vehicleIdentificationNumber VIN,\n"
         "  vehiclePropulsionStorageType VehiclePropulsionStorageType,\n"
         "  timestamp INTEGER (0..4294967295),\n"
         "  vehicleLocation VehicleLocation,\n"
         "  vehicleDirection INTEGER (0..255),\n"
         "  recentVehicleLocationN1 VehicleLocationDelta" +
         recent + ",\n  recentVehicleLocationN2 VehicleLocationDelta" + recent + ",\n  " +
         PassengersName(static_cast<uint8_t>(version)) +
         " INTEGER (0..255) OPTIONAL,\n"
         "  ...\n}\n"
         "ControlType ::= SEQUENCE {\n"
         "  automaticActivation BOOLEAN,\n"
         "  testCall BOOLEAN,\n"
         "  positionCanBeTrusted BOOLEAN,\n"
         "  vehicleType VehicleType\n}\n"
         "VehicleType ::= ENUMERATED { " +
         VehicleTypes(VehicleTypeCount(static_cast<uint8_t>(version))) +
         " }\n"
         "VIN ::= SEQUENCE {\n"
         "  isowmi " +
         alphabet + " (SIZE (3)),\n  isovds " + alphabet + " (SIZE (6)),\n  isovisModelyear " +
         alphabet + " (SIZE (1)),\n  isovisSeqPlant " + alphabet +
         " (SIZE (7))\n}\n"
         "VehiclePropulsionStorageType ::= SEQUENCE {\n" +
         propulsion +
         "  ...\n}\n"
         "VehicleLocation ::= SEQUENCE {\n"
         "  positionLatitude INTEGER (-2147483648..2147483647),\n"
         "  positionLongitude INTEGER (-2147483648..2147483647)\n}\n"
         "VehicleLocationDelta ::= SEQUENCE {\n"
         "  latitudeDelta INTEGER (-512..511),\n"
         "  longitudeDelta INTEGER (-512..511)\n}\n"
         "AdditionalData ::= SEQUENCE {\n"
         "  oid RELATIVE-OID,\n"
         "  data OCTET STRING\n}\n"
         "END\n";
}

std::string EraModule(int form) {
  std::string text = "ERAv" + std::to_string(form) +
                     " DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n"
                     "ERAAdditionalData ::= SEQUENCE {\n"
                     "  crashSeverity INTEGER (0..2047) OPTIONAL,\n"
                     "  diagnosticResult DiagnosticResult OPTIONAL,\n"
                     "  crashInfo CrashInfo OPTIONAL,\n";
  if (form == 2) text += "  coordinateSystemType CoordinateSystemType DEFAULT wgs84,\n";
  text += "  ...\n}\nDiagnosticResult ::= SEQUENCE {\n";
  for (size_t i = 0; i < kDiagnosticFlags; ++i) {
    text += std::string("  ") + kDiagnosticFlagNames[i] + " BOOLEAN OPTIONAL" +
            (i + 1 < kDiagnosticFlags ? ",\n" : "\n");
  }
  text += "}\nCrashInfo ::= SEQUENCE {\n";
  for (size_t i = 0; i < kCrashFlags; ++i) {
    text += std::string("  ") + kCrashFlagNames[i] + " BOOLEAN OPTIONAL" +
            (i + 1 < kCrashFlags ? ",\n" : "\n");
  }
  text += "}\nCoordinateSystemType ::= ENUMERATED { wgs84 (1), pz90 (2) }\nEND\n";
  return text;
}

// --- Erlang terms of a message ---------------------------------------------

std::string Bool(bool value) { return value ? "true" : "false"; }

template <typename T>
std::string OrNoValue(const std::optional<T>& value, std::string (*term)(const T&)) {
  return value ? term(*value) : "asn1_NOVALUE";
}

std::string Number(const uint16_t& value) { return std::to_string(value); }
std::string Passengers(const uint8_t& value) { return std::to_string(value); }
std::string Delta(const VehicleLocationDelta& d) {
  return "{'VehicleLocationDelta'," + std::to_string(d.latitudeDelta) + "," +
         std::to_string(d.longitudeDelta) + "}";
}

template <size_t N>
std::string Flags(const char* type, const std::array<std::optional<bool>, N>& flags) {
  std::string term = std::string("{'") + type + "'";
  for (const auto& flag : flags) term += "," + (flag ? Bool(*flag) : "asn1_NOVALUE");
  return term + "}";
}
std::string Diagnostics(const std::array<std::optional<bool>, kDiagnosticFlags>& flags) {
  return Flags("DiagnosticResult", flags);
}
std::string Crash(const std::array<std::optional<bool>, kCrashFlags>& flags) {
  return Flags("CrashInfo", flags);
}

std::string Binary(const std::vector<uint8_t>& bytes) {
  std::string term = "<<";
  for (size_t i = 0; i < bytes.size(); ++i) term += (i ? "," : "") + std::to_string(bytes[i]);
  return term + ">>";
}

std::string EraBytes(const ERAAdditionalData& era, EraForm form) {
  const bool v2 = form == EraForm::kMsdV2;
  std::string term = "{'ERAAdditionalData'," + OrNoValue(era.crashSeverity, Number) + "," +
                     OrNoValue(era.diagnosticResult, Diagnostics) + "," +
                     OrNoValue(era.crashInfo, Crash);
  if (v2) {
    term += era.coordinateSystemType == CoordinateSystemType::pz90 ? ",pz90" : ",wgs84";
  }
  return std::string("E('ERAv") + (v2 ? "2" : "1") + "','ERAAdditionalData'," + term + "})";
}

std::string Additional(const AdditionalData& additional) {
  std::string arcs = RelativeOidText(additional.oid);
  for (char& c : arcs) {
    if (c == '.') c = ',';
  }
  const std::string data = additional.era ? EraBytes(*additional.era, EraFormOf(additional.oid))
                                          : Binary(additional.data);
  return "{'AdditionalData',{" + arcs + "}," + data + "}";
}

std::string Structure(const MSDStructure& s, uint8_t version) {
  const std::string& vin = s.vehicleIdentificationNumber;
  std::string propulsion = "{'VehiclePropulsionStorageType'";
  for (unsigned i = 0; i < PropulsionKinds(version); ++i) {
    propulsion += "," + Bool(s.vehiclePropulsionStorageType[i]);
  }
  return "{'MSDStructure'," + std::to_string(s.messageIdentifier) + ",{'ControlType'," +
         Bool(s.automaticActivation) + "," + Bool(s.testCall) + "," + Bool(s.positionCanBeTrusted) +
         ",t" + std::to_string(s.vehicleType) + "},{'VIN',\"" + vin.substr(0, 3) + "\",\"" +
         vin.substr(3, 6) + "\",\"" + vin.substr(9, 1) + "\",\"" + vin.substr(10, 7) + "\"}," +
         propulsion + "}," + std::to_string(s.timestamp) + ",{'VehicleLocation'," +
         std::to_string(s.positionLatitude) + "," + std::to_string(s.positionLongitude) + "}," +
         std::to_string(s.vehicleDirection) + "," + OrNoValue(s.recentVehicleLocationN1, Delta) +
         "," + OrNoValue(s.recentVehicleLocationN2, Delta) + "," +
         OrNoValue(s.numberOfPassengers, Passengers) + "}";
}

// An Erlang expression whose value is the ECallMessage's bytes.
std::string EncodingExpression(const ECallMessage& m) {
  const std::string module = "'MSDv" + std::to_string(m.msdVersion) + "'";
  const std::string message =
      "{'MSDMessage'," + Structure(m.msdStructure, m.msdVersion) + "," +
      (m.optionalAdditionalData ? Additional(*m.optionalAdditionalData) : "asn1_NOVALUE") + "}";
  const std::string msd =
      m.msdVersion == 1 ? message : "E(" + module + ",'MSDMessage'," + message + ")";
  return "E(" + module + ",'ECallMessage',{'ECallMessage'," + std::to_string(m.msdVersion) + "," +
         msd + "})";
}

bool ErlangAsn1Present() {
  return std::system(
             "command -v escript > /dev/null 2>&1 && erl -noshell -eval "
             "'case code:which(asn1ct) of non_existing -> halt(1); _ -> halt(0) end.' "
             "> /dev/null 2>&1") == 0;
}

// Runs the messages through Erlang; one hex line per message, or none when
// Erlang failed (its messages are in `errors`).
std::vector<std::string> ErlangEncodings(const std::vector<ECallMessage>& messages,
                                         const ScratchDirectory& scratch, std::string& errors) {
  std::string script =
      "#!/usr/bin/env escript\n"
      "main(_) ->\n"
      "  Dir = \"" +
      scratch.Path() +
      "\",\n"
      "  [ok = asn1ct:compile(filename:join(Dir, M), [uper, {outdir, Dir}])\n"
      "   || M <- [\"MSDv1\", \"MSDv2\", \"MSDv3\", \"ERAv1\", \"ERAv2\"]],\n"
      "  true = code:add_patha(Dir),\n"
      "  E = fun(Mod, Type, Value) -> {ok, B} = Mod:encode(Type, Value), B end,\n"
      "  Out = [\n";
  for (size_t i = 0; i < messages.size(); ++i) {
    script += "    " + EncodingExpression(messages[i]) + (i + 1 < messages.size() ? ",\n" : "\n");
  }
  script += "  ],\n  [io:format(\"HEX ~s~n\", [binary:encode_hex(B)]) || B <- Out].\n";
  for (int version = 1; version <= 3; ++version) {
    WriteFile(scratch / ("MSDv" + std::to_string(version) + ".asn"), MsdModule(version));
  }
  WriteFile(scratch / "ERAv1.asn", EraModule(1));
  WriteFile(scratch / "ERAv2.asn", EraModule(2));
  WriteFile(scratch / "oracle.escript", script);
  const std::string command =
      "cd " + scratch.Path() + " && escript oracle.escript > out.txt 2> " + "errors.txt";
  const int status = std::system(command.c_str());
  std::ifstream out(scratch / "out.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) {
    if (line.rfind("HEX ", 0) == 0) lines.push_back(line.substr(4));
  }
  std::ifstream err(scratch / "errors.txt");
  std::stringstream text;
  text << err.rdbuf();
  errors = "escript ended with " + std::to_string(status) + ": " + text.str();
  return lines;
}

TEST(MsdOracle, ErlangAsn1EncodesAsWeDo) {
  if (!ErlangAsn1Present()) {
    GTEST_SKIP() << "Erlang's ASN.1 compiler (Debian package erlang-asn1) is not installed here: "
                    "the MSD encoder is not compared with it";
  }
  std::vector<ECallMessage> messages = {msd_samples::VectorAMessage(),
                                        msd_samples::VectorBMessage()};
  ECallMessage eraV1 = msd_samples::VectorAMessage();
  ERAAdditionalData severity;
  severity.crashSeverity = 1024;
  eraV1.optionalAdditionalData = AdditionalData{EraOid(EraForm::kMsdV1), {}, severity};
  messages.push_back(eraV1);
  std::mt19937 random(15722);
  for (int i = 0; i < kRandomMessages; ++i) messages.push_back(msd_samples::RandomMessage(random));

  ScratchDirectory scratch("korvane_msd_oracle");
  std::string errors;
  const std::vector<std::string> erlang = ErlangEncodings(messages, scratch, errors);
  ASSERT_EQ(erlang.size(), messages.size()) << errors;
  for (size_t i = 0; i < messages.size(); ++i) {
    const MsdEncoding ours = EncodeMsd(messages[i]);
    ASSERT_EQ(ours.error, "");
    EXPECT_EQ(msd_samples::ToHex(ours.octets), erlang[i])
        << "message " << i << " (version " << unsigned{messages[i].msdVersion} << ")";
  }
  // Vector A is canonical: Erlang gives its published bytes.
  EXPECT_EQ(erlang[0], msd_samples::kVectorA);
}

}  // namespace
