#pragma once
// What the command line decides about the reports of every packet source,
// handed down once to the threads that report: the service layer (-v), the
// standard's further subrecords (-x, which implies -v) and JSON Lines (-j).

#include "service/subrecord_factory.h"

struct ReportOptions {
  bool serviceLayer = false;  // -v
  bool standard = false;      // -x
  bool json = false;          // -j

  EGTS::SubrecordSet Set() const {
    return standard ? EGTS::SubrecordSet::kStandard : EGTS::SubrecordSet::kOriginal;
  }
};
