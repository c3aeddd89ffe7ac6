#include "track/geodesic.h"

#include <GeographicLib/Geodesic.hpp>

GeodesicStep StepBetween(double latitude1, double longitude1, double latitude2,
                         double longitude2) {
  GeodesicStep step;
  GeographicLib::Geodesic::WGS84().Inverse(latitude1, longitude1, latitude2, longitude2,
                                           step.distanceM, step.azimuthStart,
                                           step.azimuthEnd);
  return step;
}
