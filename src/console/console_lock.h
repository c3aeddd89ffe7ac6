#pragma once
// The one lock that serialises console output of all threads. It is
// recursive so that a log line can be written inside a longer block of
// output that its caller already holds. It exists for the whole process,
// so nothing can use it before it is ready.

#include <mutex>

std::recursive_mutex& ConsoleLock();
