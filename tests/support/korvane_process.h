#pragma once
// The built korvane binary as a child process with pipes on its standard
// input, output and error, for end-to-end tests that talk to it while it
// runs. Standard output and standard error are collected apart.

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

class KorvaneProcess {
 public:
  explicit KorvaneProcess(const std::vector<std::string>& args);
  ~KorvaneProcess();
  KorvaneProcess(const KorvaneProcess&) = delete;
  KorvaneProcess& operator=(const KorvaneProcess&) = delete;

  void Write(const std::string& text);
  void CloseInput();
  void Signal(int signal);

  // Reads output until it contains `text` or the time runs out; true when
  // found.
  bool WaitForOutput(const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(10));
  // The same for standard error.
  bool WaitForErrors(const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(10));
  // The same until the output contains `text` at least `count` times.
  bool WaitForCount(const std::string& text, std::size_t count,
                    std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads the rest of the output and waits for the exit; the exit code, or
  // -1 when the process did not end in time (it is then killed).
  int WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(15));

  const std::string& Output() const { return output_; }
  const std::string& Errors() const { return errors_; }

 private:
  // Reads what is ready on either pipe, waiting up to `limit`; both are
  // drained so that a child writing much to one never blocks on it.
  void ReadSome(std::chrono::milliseconds limit);
  bool WaitFor(const std::string& text, const std::string& collected, const int& fd,
               std::chrono::milliseconds limit);

  int pid_ = -1;
  int input_ = -1;
  int output_fd_ = -1;
  int errors_fd_ = -1;
  std::string output_;
  std::string errors_;
  bool exited_ = false;
};

}  // namespace testing_support
