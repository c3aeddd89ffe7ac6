#pragma once
// Internal to the platform layer: the one place where a system call that a
// signal interrupted (EINTR) is repeated. A call whose arguments depend on
// the time left (poll) recomputes them inside the callable.

#include <cerrno>

namespace platform {

template <class Call>
auto RetryOnEintr(Call call) {
  for (;;) {
    const auto result = call();
    if (!(result == -1 && errno == EINTR)) return result;
  }
}

}  // namespace platform
