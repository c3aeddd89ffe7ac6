// The Windows build has no libxml2 (Debian has no Windows form of it).
#include "app/verdict_report.h"

bool VerdictJunit(const VerdictSetup&, const std::vector<session::RunReport>&, std::string&,
                  std::string& error) {
  error = "JUnit XML can not be written by this build of Korvane (it has no libxml2)";
  return false;
}
