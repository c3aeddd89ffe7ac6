#pragma once
// The track files: GeoJSON (RFC 7946) and GPX 1.1. Each writes one whole
// document to `out` from the units' summaries (unit i of `units` is unit i
// of the store) and their stored positions; false with `error` set when the
// store cannot be read or the XML library refuses.
//
// GeoJSON: a FeatureCollection; per unit a LineString through its valid
// positions in the order they came (left out below two of them, which RFC
// 7946 does not allow), whose properties are the unit's summary, then a
// Point per position with its properties (unit, time, valid, kind, PID, RN,
// speed_kmh, heading, altitude_m, fix, source_event, satellites, hdop, vdop,
// pdop, recent; those that are known).
//
// GPX: per unit one trk named after it, with its summary as desc, and one
// trkseg of every position as a trkpt: ele, time, desc (PID, RN, subrecord,
// source event), fix ("none" for an invalid fix, else 2d or 3d where known),
// sat, hdop, vdop, pdop, and speed (m/s) and course in Garmin's
// TrackPointExtension v2, which map programs read.

#include <ostream>
#include <string>
#include <vector>

#include "track/point_store.h"
#include "track/unit_summary.h"

bool WriteGeoJson(const std::vector<UnitSummary>& units, PointStore& store, std::ostream& out,
                  std::string& error);
bool WriteGpx(const std::vector<UnitSummary>& units, PointStore& store, std::ostream& out,
              std::string& error);

// Whether a file name asks for GPX: it ends in ".gpx", in any case.
bool IsGpxName(const std::string& name);
