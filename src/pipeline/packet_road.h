#pragma once
// What the command line decides about the road of every packet, made once
// by the entry and handed to each packet source when it is made: what is
// reported (-v, -x, -j), how terminals are talked to (-r) and where the
// positions go (-g:).

#include "console/report_options.h"
#include "session/talk_options.h"

class TrackSink;

struct PacketRoad {
  ReportOptions report;
  TalkOptions talk;
  // The run's tracks (-g:); null without. Owned by the entry, alive until
  // the process ends; Record after the tracks are finished is dropped.
  TrackSink* tracks = nullptr;
};
