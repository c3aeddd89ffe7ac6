#pragma once
// A korvane server for end-to-end tests: the real binary listening on
// 127.0.0.1 at a port of its own, ready once its console answers; it quits
// when the test is done.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/korvane_process.h"
#include "support/terminal.h"

namespace testing_support {

inline const char* const kPrompt = "Please type 'quit' to exit...\n";

// The server on a port of its own; quits when the test is done.
class Server {
 public:
  explicit Server(std::vector<std::string> extra = {})
      : port_(FreePort()), korvane_(Args(port_, std::move(extra))) {
    ready_ = korvane_.WaitForOutput(kPrompt) && WaitForListener();
  }
  bool Ready() const { return ready_; }
  uint16_t Port() const { return port_; }
  KorvaneProcess& Process() { return korvane_; }
  bool WaitFor(const std::string& text) { return korvane_.WaitForOutput(text); }
  std::string Quit() {
    korvane_.Write("quit\n");
    EXPECT_EQ(korvane_.WaitForExit(), 0);
    return korvane_.Output();
  }

 private:
  static std::vector<std::string> Args(uint16_t port, std::vector<std::string> extra) {
    extra.push_back("-b:127.0.0.1:" + std::to_string(port));
    return extra;
  }
  // The console answers only once the work thread is set up, so the
  // listener is up when this line is answered.
  bool WaitForListener() {
    korvane_.Write("ready?\n");
    return korvane_.WaitForOutput("\nInvalid command type. Please, type 'command' first.\n");
  }

  uint16_t port_;
  KorvaneProcess korvane_;
  bool ready_ = false;
};

}  // namespace testing_support
