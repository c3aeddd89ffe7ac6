#include "track/track_point.h"

const char* PositionKindName(PositionKind kind) {
  switch (kind) {
    case PositionKind::POS_DATA: return "EGTS_SR_POS_DATA";
    case PositionKind::TRACK_DATA: return "EGTS_SR_TRACK_DATA";
    case PositionKind::ECALL_MSD_DATA: return "EGTS_SR_ECALL_MSD_DATA";
    case PositionKind::RAW_MSD_DATA: return "EGTS_SR_RAW_MSD_DATA";
  }
  return "";
}
