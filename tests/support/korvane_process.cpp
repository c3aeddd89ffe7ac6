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
  int err[2];
  if (::pipe(in) != 0) return;
  if (::pipe(out) != 0) {
    for (int fd : {in[0], in[1]}) ::close(fd);
    return;
  }
  if (::pipe(err) != 0) {
    for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    std::string program = KORVANE_BINARY;
    std::vector<std::string> copies = args;
    std::vector<char*> argv{program.data()};
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  for (int fd : {in[0], out[1], err[1]}) ::close(fd);
  input_ = in[1];
  output_fd_ = out[0];
  errors_fd_ = err[0];
}

KorvaneProcess::~KorvaneProcess() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  CloseInput();
  for (int fd : {output_fd_, errors_fd_}) {
    if (fd >= 0) ::close(fd);
  }
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

void KorvaneProcess::ReadSome(std::chrono::milliseconds limit) {
  pollfd polled[2] = {{output_fd_, POLLIN, 0}, {errors_fd_, POLLIN, 0}};
  if (output_fd_ < 0 && errors_fd_ < 0) return;
  if (::poll(polled, 2, static_cast<int>(limit.count())) <= 0) return;
  int* fds[2] = {&output_fd_, &errors_fd_};
  std::string* texts[2] = {&output_, &errors_};
  for (int i = 0; i < 2; ++i) {
    if (polled[i].fd < 0 || polled[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(*fds[i], buffer, sizeof buffer);
    if (n <= 0) {
      ::close(*fds[i]);
      *fds[i] = -1;
      continue;
    }
    texts[i]->append(buffer, static_cast<size_t>(n));
  }
}

bool KorvaneProcess::WaitFor(const std::string& text, const std::string& collected,
                             const int& fd, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (collected.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || fd < 0) return false;
    ReadSome(left);
  }
  return true;
}

bool KorvaneProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  return WaitFor(text, output_, output_fd_, limit);
}

bool KorvaneProcess::WaitForErrors(const std::string& text, std::chrono::milliseconds limit) {
  return WaitFor(text, errors_, errors_fd_, limit);
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
  while ((output_fd_ >= 0 || errors_fd_ >= 0) && Clock::now() < deadline) {
    ReadSome(std::chrono::milliseconds(100));
  }
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
