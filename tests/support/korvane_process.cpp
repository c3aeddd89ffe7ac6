#include "support/korvane_process.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

using Clock = std::chrono::steady_clock;

KorvaneProcess::KorvaneProcess(const std::vector<std::string>& args) {
  std::signal(SIGPIPE, SIG_IGN);
  int in[2];
  int out[2];
  if (::pipe(in) != 0) return;
  if (::pipe(out) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
    std::string program = KORVANE_BINARY;
    std::vector<std::string> copies = args;
    std::vector<char*> argv{program.data()};
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_fd_ = out[0];
}

KorvaneProcess::~KorvaneProcess() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  CloseInput();
  if (output_fd_ >= 0) ::close(output_fd_);
}

void KorvaneProcess::Write(const std::string& text) {
  size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    const ssize_t n = ::write(input_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void KorvaneProcess::CloseInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

void KorvaneProcess::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

bool KorvaneProcess::ReadSome(std::chrono::milliseconds limit) {
  if (output_fd_ < 0) return false;
  pollfd p{output_fd_, POLLIN, 0};
  const int ready = ::poll(&p, 1, static_cast<int>(limit.count()));
  if (ready <= 0) return false;
  char buffer[4096];
  const ssize_t n = ::read(output_fd_, buffer, sizeof buffer);
  if (n <= 0) {
    ::close(output_fd_);
    output_fd_ = -1;
    return false;
  }
  output_.append(buffer, static_cast<size_t>(n));
  return true;
}

bool KorvaneProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (output_.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || output_fd_ < 0) return false;
    ReadSome(left);
  }
  return true;
}

bool KorvaneProcess::WaitForCount(const std::string& text, std::size_t count,
                                  std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  // Counted as the output grows: each byte is searched once.
  std::size_t found = 0;
  std::size_t from = 0;
  auto occurrences = [&] {
    for (size_t at = output_.find(text, from); at != std::string::npos;
         at = output_.find(text, at + 1)) {
      ++found;
      from = at + 1;
    }
    if (output_.size() >= text.size()) from = std::max(from, output_.size() - text.size() + 1);
    return found;
  };
  while (occurrences() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || output_fd_ < 0) return false;
    ReadSome(left);
  }
  return true;
}

int KorvaneProcess::WaitForExit(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (output_fd_ >= 0 && Clock::now() < deadline) ReadSome(std::chrono::milliseconds(100));
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exited_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (Clock::now() >= deadline) return -1;
    ::usleep(20000);
  }
}

}  // namespace testing_support
