#pragma once
// Failures of the platform layer are the system's errno values, carried as
// std::error_code of the system category (value() is the errno number).
// On Windows the layer turns the system's error numbers into those errno
// values where callers tell failures apart (windows_error.h); any other
// Windows error keeps its own number. There the category is the layer's own,
// whose texts are Windows' and whose errno values compare equal to std::errc.
// An operation that makes an object returns a Result: the object, or the
// error that kept it from being made.

#include <optional>
#include <system_error>
#include <utility>

namespace platform {

// The error value of an errno number.
std::error_code SystemError(int errnoValue);

// The error value of the errno left by the call that just failed (on
// Windows: of GetLastError).
std::error_code LastError();

template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(std::error_code error) : error_(error) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }

  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T&& operator*() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

  // The failure; empty (value 0) when the result holds a value.
  const std::error_code& error() const { return error_; }

 private:
  std::optional<T> value_;
  std::error_code error_;
};

}  // namespace platform
