#pragma once
// The road of one packet, whatever its source: the transport header
// checked, the frame data parsed once, the report made (text or a JSON
// Lines object) and the positions handed to the tracks (-g:). A source
// says what it knows of the packet (bytes, reception time, how its report
// is headed) and writes the block it gets back; the parse is handed back
// for what the source does with it (confirmation, conversation). No console,
// no socket, no clock: the caller writes, sends and times.
//
// Parses: one, with the standard's subrecords when the caller, -x or -g:
// reads them, else with the original subrecords. Where the report wants the
// original subrecords (-v or -j without -x) while the caller or the tracks
// want the standard's, that one parse also gives the original view of the
// packet for the report (see ParseFrameData).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pipeline/packet_road.h"
#include "platform/system_time.h"
#include "service/packet.h"
#include "service/subrecord_factory.h"
#include "session/finding.h"
#include "track/position_extraction.h"
#include "transport/transport_header.h"

namespace pipeline {

// How the text report follows the source's own lead (its dump).
enum class TextBody : uint8_t {
  // Live sources (terminals, captures, the platform): the malformed record
  // area, the transport result, then the service layer (-v).
  kLive,
  // Files and the command line: the transport result, then (with -v) the
  // malformed record area and the service layer.
  kFile,
};

// The header check a framer made already.
struct HeaderCheck {
  uint8_t result = 0;
  TransportHeader header;
};

// What a source knows of one packet.
struct PacketIn {
  // The bytes checked and parsed (of a long file, its first 65535).
  std::span<const uint8_t> bytes;
  platform::SystemTime time;  // reception, or when we made it
  // The framer's check; without it the pipeline validates the header.
  std::optional<HeaderCheck> checked;
  // False for a part the framer gave up on: reported, never parsed.
  bool whole = true;
  // The caller reads the standard's subrecords of the parse.
  bool needsStandard = false;
  // Its JSON reports a parse with the standard's subrecords whatever -x
  // says (packets of our own, as they have always been reported).
  bool reportsStandardParse = false;
  // False for our own confirmations and answers: never handed to the tracks.
  bool carriesPositions = true;

  // JSON: the "source" and the keys that follow it.
  std::string source;
  std::vector<std::pair<std::string, std::string>> extra;
  // Text: what stands before the body (the dump), and what follows the
  // place where a long file's further bytes are written.
  std::string textLead;
  std::string textJoin;
  TextBody body = TextBody::kLive;
  const char* resultPrefix = "";  // before the transport result (the client id)
  // The reception time the service layer's times are checked against, in
  // Unix seconds, where it is not `time`'s (a capture's own clock).
  std::optional<int64_t> receivedUnix;
  // Packets we made are in text their dump alone: no body.
  bool dumpOnly = false;

  // The unit of positions without OID (-g:).
  PacketOrigin origin;

  // JSON: a spent block the caller hands back, whose memory the next line
  // takes; null: a line takes new memory.
  std::string* room = nullptr;
};

// What the road came to.
struct PacketOut {
  uint8_t transportResult = 0;
  TransportHeader header;
  bool parsed = false;
  uint8_t frameResult = 0;
  // The parse, with the standard's subrecords when asked for.
  PacketHolder holder;
  // The report, line end included. A long file's further bytes (hex) go
  // in at `split`: inside the JSON "bytes" text, or after the text lead.
  std::string block;
  std::size_t split = 0;
  // The checks of sense that fired, for the source to log as its own.
  session::Findings trackFindings;
};

class PacketPipeline {
 public:
  explicit PacketPipeline(const PacketRoad& road) : road_(road) {}

  PacketOut Take(const PacketIn& in) const;

  const PacketRoad& Road() const { return road_; }

 private:
  std::string Text(const PacketIn& in, const PacketOut& out, const PacketHolder& shown,
                   uint8_t shownResult, std::size_t& split) const;
  std::string Json(const PacketIn& in, const PacketOut& out, const PacketHolder* shown,
                   uint8_t shownResult, std::size_t& split) const;

  PacketRoad road_;
};

}  // namespace pipeline
