#pragma once
// The verdict of conformance runs: one report per run with the lab's
// configuration, each step with its result, reason and times, and the
// unit's identity and parameters as read. As text for the console, as JSON
// and (where libxml2 is there) as JUnit XML for CI: one test suite per run,
// one test case per step, a failure element with its reason, a skipped
// element for a step not run.

#include <map>
#include <string>
#include <vector>

#include "session/conformance_runner.h"

struct VerdictSetup {
  std::string listen;                          // addr:port
  std::string profile;                         // the unit profile's file
  std::map<std::string, std::string> expected;  // the profile's values as text
};

std::string VerdictText(const VerdictSetup& setup, const std::vector<session::RunReport>& runs);
std::string VerdictJson(const VerdictSetup& setup, const std::vector<session::RunReport>& runs);

// The JUnit XML document; false (with `error`) where it cannot be made.
bool VerdictJunit(const VerdictSetup& setup, const std::vector<session::RunReport>& runs,
                  std::string& document, std::string& error);
