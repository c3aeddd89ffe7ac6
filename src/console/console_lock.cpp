#include "console/console_lock.h"

std::recursive_mutex& ConsoleLock() {
  static std::recursive_mutex lock;
  return lock;
}
