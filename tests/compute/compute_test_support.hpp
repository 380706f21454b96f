// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/error.hpp"
#include "data/plain_form.hpp"
#include "data/store.hpp"

namespace accelspec::testing {

/// A fresh working data set and form, as right after start.
struct Fixture {
  std::unique_ptr<Store> owner = makeStore();
  Store& s = *owner;
  PlainForm form;
};

/// Runs a command and returns the message it failed with ("" when it did not fail).
template <class F>
std::string failureOf(F&& command) {
  try {
    command();
  } catch (const AppError& e) {
    return e.what();
  }
  return "";
}

}  // namespace accelspec::testing
