// SPDX-License-Identifier: MIT
#include "data/error.hpp"

#include <new>

#include "data/messages.hpp"

namespace accelspec {

std::string userMessage(std::exception_ptr error) { return userMessage(error, msg::kOutOfMemory); }

std::string userMessage(std::exception_ptr error, std::string_view outOfMemory) {
  std::string text;
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    // The library's own text ("std::bad_alloc") means nothing to an engineer.
    text = outOfMemory;
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
    text = msg::kUnknownError;
  }
  return msg::withFullStop(text);
}

}  // namespace accelspec
