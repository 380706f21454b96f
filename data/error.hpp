#pragma once

#include <stdexcept>
#include <string>

namespace accelspec {

/// The one error type of the program. what() is the exact text the user sees (before the
/// full stop that the error report may append). Any command may throw it; the window catches it
/// in one place and shows it.
class AppError : public std::runtime_error {
 public:
  explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

/// An input/output error with the operating-system style code it was raised for.
class IoError : public AppError {
 public:
  IoError(int code, const std::string& message) : AppError(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace accelspec
