#pragma once
// The JSON Lines objects of -j: one packet, received or made, and one log
// line. Each function returns one line of JSON without its line end; any
// byte in the inputs (texts from packets, file names, peer texts) still
// gives valid UTF-8 and valid JSON. Pure functions: callable from any
// thread; they may throw std::bad_alloc only.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/system_time.h"
#include "service/packet.h"
#include "transport/transport_header.h"

// What the caller knows of one packet. The pointers are borrowed for the
// duration of the call only.
struct PacketJson {
  // "file", "stdin", "tcp", "incoming", "platform", "response", "command".
  std::string source;
  // Keys that follow `source`, in this order: ("file", name),
  // ("client", id), ("peer", "a.b.c.d:port")... (borrowed, as the pointers).
  std::span<const std::pair<std::string, std::string>> extra;
  // When the packet was received or made; also the reception time the
  // subrecords' times are checked against.
  platform::SystemTime time;
  std::span<const uint8_t> bytes;
  // ValidateTransportHeader's result and the header it filled.
  uint8_t transportResult = 0;
  TransportHeader header;
  // ParseFrameData's result and the packet it filled; read only when the
  // transport result is below 128 and `holder` is not null.
  uint8_t frameResult = 0;
  const PacketHolder* holder = nullptr;
  // The record area ended inside a record ("Incorrect Record Data format").
  bool malformed = false;
  // -x: subrecords are named after the standard's table where it has a row.
  bool standard = false;
};

// The description of a packet received or made now: its header checked
// (code, header) and, when `holder` is not null, its frame data parsed
// (parsed, holder; the malformed flag is taken from the parse).
PacketJson PacketObjectOf(const char* source, std::span<const uint8_t> bytes, uint8_t code,
                          const TransportHeader& header, const PacketHolder* holder,
                          uint8_t parsed, bool standard);

// {"type":"packet","source":...,<extra>,"time":...,"bytes":...,
//  "transport":{...},"frame":{...}}
// With `bytesEnd`, the offset where the hexadecimal text of "bytes" ends
// (its closing quote) is stored there: a long file's further bytes are
// written in at that place. The line is written into `room`'s memory (a
// spent line's) when it has any.
std::string PacketJsonLine(const PacketJson& packet, std::size_t* bytesEnd = nullptr,
                           std::string room = {});

// {"type":"log","time":...,"source":...,"level":...,"text":...}; `source`
// is "Main" or a client id, `level` INFO, WARNING or ERROR, `text` the
// message without its level prefix and line end.
std::string LogJsonLine(const platform::SystemTime& time, const std::string& source,
                        const std::string& level, const std::string& text);

// What a capture showed of one connection (-p:), for its summary.
struct CaptureSideCounts {
  uint64_t packets = 0;
  uint64_t records = 0;
};
struct CaptureConnectionSummary {
  std::string name;                    // "a.b.c.d:port -> e.f.g.h:port"
  CaptureSideCounts terminal;          // terminal -> platform
  CaptureSideCounts platform;          // platform -> terminal
  std::map<unsigned, uint64_t> codes;  // every result code other than 0 seen, how often
  int authorizationResult = -1;        // -1: not answered in the capture
  std::map<std::string, uint64_t> findings;  // kinds of findings (numbers as '#'), how often
  uint64_t gaps = 0;
  uint64_t bytesLost = 0;
  std::string ending;
};

// {"type":"summary","connection":...,"terminal_to_platform":{"packets","records"},
//  "platform_to_terminal":{...},"authorization_result":n|null,"codes":[{"code","text","count"}],
//  "findings":[{"kind","count"}],"gaps":n,"bytes_lost":n,"ended":...}
std::string CaptureSummaryJsonLine(const CaptureConnectionSummary& summary);

// What a whole capture (-p:) showed, after its connections' summaries.
struct CaptureTotalsSummary {
  std::string capture;  // the file
  uint64_t records = 0;
  uint64_t connections = 0;
  uint64_t connectionsSummarized = 0;  // the others count in these totals only
  CaptureSideCounts terminal;
  CaptureSideCounts platform;
  uint64_t gaps = 0;
  uint64_t bytesLost = 0;
  uint64_t findings = 0;
  uint64_t framesCut = 0;  // by the snap length
  int snapLength = 0;
  uint64_t fragments = 0;  // IP fragments, not put back together
  uint64_t malformedFrames = 0;
  bool damaged = false;
};

// {"type":"summary","capture":...,"records":n,"connections":n,"connections_summarized":n,
//  "terminal_to_platform":{...},"platform_to_terminal":{...},"gaps":n,"bytes_lost":n,
//  "findings":n,"frames_cut":n,"snap_length":n,"ip_fragments":n,"malformed_frames":n,
//  "damaged":bool}
std::string CaptureTotalsJsonLine(const CaptureTotalsSummary& totals);

// "yyyy-mm-ddThh:mm:ss.mmmZ".
std::string IsoSystemTimeText(const platform::SystemTime& time);
