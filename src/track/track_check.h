#pragma once
// The checks of sense a track gets, per unit, and what they find.
//
// Each check fires once while its condition lasts and again only after the
// condition has cleared: a track that is wrong the whole way gives one
// finding, not one per position. Where a position cannot be judged (no
// time, no speed, too slow to have a heading) the check's state stays as
// it was.
//
// Bounds, and why:
//   implied_speed      the geodesic distance between two consecutive sound
//                      positions over their time difference, above the
//                      bound (300 km/h, or -g:<file>:<km/h>)
//   time_backwards     navigation time earlier than the previous position's
//   time_stands_still  the same navigation time while the position moved
//                      more than 1 m (below that the two encodings of one
//                      fix may differ by their rounding)
//   zero_position      a valid fix within 0.00001 degrees (about 1 m) of
//                      0 N 0 E
//   out_of_range       latitude beyond +-90, longitude beyond +-180 or a
//                      heading of 360 degrees or more
//   speed_disagrees    over a window of the last 30 to 60 s of positions
//                      whose gaps are at most 30 s, the mean reported speed
//                      and the speed the path implies differ by more than
//                      15 km/h and by more than 25% of the larger. The
//                      window smooths the position noise (a few metres at
//                      1 s are several km/h); 30 s gaps keep the chord of a
//                      bend close to the road; 15 km/h keeps a standing unit
//                      whose fixes wander quiet; 25% catches a speed in knots
//                      (x0.54), in m/s (x0.28) or ten times too large
//   heading_disagrees  between two positions at least 30 m and at most 30 s
//                      apart, both reported at 20 km/h or more (slower, a
//                      receiver's heading is noise) and whose headings differ
//                      by at most 60 degrees, the mean of the two headings and
//                      the geodesic direction travelled differ by more than 45
//                      degrees. The chord of a turn lies between the headings
//                      at its ends, at most half the turn (30 degrees) from
//                      their mean wherever the turn happens, so turns do not
//                      fire it; a sharper turn is not judged.
//
// Sound positions are valid fixes inside the ranges and away from 0 N 0 E;
// the checks between positions read the sound ones only, since an invalid
// fix carries no position worth comparing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

enum class TrackCheck : uint8_t {
  kImpliedSpeed,
  kTimeBackwards,
  kTimeStandsStill,
  kZeroPosition,
  kOutOfRange,
  kSpeedDisagrees,
  kHeadingDisagrees,
};

constexpr std::size_t kTrackCheckCount = 7;

// "implied_speed", "time_backwards", ... (the kinds of the JSON summary).
const char* TrackCheckName(TrackCheck check);
// "WARNING" or "ERROR".
const char* TrackCheckLevel(TrackCheck check);

struct SenseBounds {
  double speedKmh = 300;  // implied_speed; -g:<file>:<km/h>
  double standsStillM = 1;
  double zeroDegrees = 0.00001;
  double windowMinS = 30;
  double windowMaxS = 60;
  double windowGapS = 30;
  double disagreeKmh = 15;
  double disagreeShare = 0.25;
  double headingSpeedKmh = 20;
  double headingStepM = 30;
  double headingGapS = 30;
  double headingTurnDeg = 60;
  double headingDeg = 45;
};

// One check that fired: its level ("WARNING", "ERROR"), kind, the unit and
// a text for people, which names the unit and the packet and record of the
// position that made it fire.
struct TrackFinding {
  std::string level;
  TrackCheck kind = TrackCheck::kImpliedSpeed;
  std::string unit;
  std::string text;
};

// How often each check fired, by TrackCheck.
using CheckCounts = std::array<uint64_t, kTrackCheckCount>;

// "<level>: <text>\n", as the log lines of every source take a message (in
// JSON mode they split the level off again).
std::string FindingLine(const TrackFinding& finding);
