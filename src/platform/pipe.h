#pragma once
// An anonymous pipe. Its read end can stand in for standard input, which is
// how the console input is exercised without a terminal.

#include <cstddef>
#include <memory>
#include <string_view>
#include <system_error>

#include "platform/error.h"
#include "platform/unique_fd.h"

namespace platform {

class Pipe {
 public:
  static Result<std::unique_ptr<Pipe>> Create();

  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  int ReadDescriptor() const { return readEnd_.Get(); }

  // Writes all of text (blocking while the pipe is full).
  std::error_code Write(std::string_view text);

  // The reader then sees the end of input once the pipe is drained.
  void CloseWriteEnd() { writeEnd_.Reset(); }

 private:
  Pipe(UniqueFd readEnd, UniqueFd writeEnd)
      : readEnd_(std::move(readEnd)), writeEnd_(std::move(writeEnd)) {}

  UniqueFd readEnd_;
  UniqueFd writeEnd_;
};

}  // namespace platform
