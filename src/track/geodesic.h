#pragma once
// Distances and directions on the WGS-84 ellipsoid (GeographicLib's
// geodesics, accurate to nanometres; no formula of our own).

struct GeodesicStep {
  double distanceM = 0;
  // Forward azimuths in degrees clockwise from north, -180..180: at the
  // start of the step and at its end.
  double azimuthStart = 0;
  double azimuthEnd = 0;
};

// The shortest path between two positions in decimal degrees.
GeodesicStep StepBetween(double latitude1, double longitude1, double latitude2,
                         double longitude2);
