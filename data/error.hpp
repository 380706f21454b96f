// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace accelspec {

/// The one error type of the program. what() is the exact text the user sees (before the
/// full stop that the error report may append). Any command may throw it; the window catches it
/// in one place and shows it.
class AppError : public std::runtime_error {
 public:
  explicit AppError(std::string_view message) : std::runtime_error(std::string(message)) {}
};

/// An input/output error with the operating-system style code it was raised for.
class IoError : public AppError {
 public:
  IoError(int code, const std::string& message) : AppError(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

/// The text the user sees for any error a command threw, full stop included: what() of the
/// program's own errors, `outOfMemory` for an allocation that failed ("Out of memory." as the
/// window says it; the command-line tool's own commands pass their Russian text). The window's
/// error box, the report preview and the command-line tool all show this. Never throws but
/// std::bad_alloc while building the text.
std::string userMessage(std::exception_ptr error, std::string_view outOfMemory);
std::string userMessage(std::exception_ptr error);

}  // namespace accelspec
